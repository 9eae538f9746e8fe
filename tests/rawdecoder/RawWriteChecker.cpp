#include <array>

#include "tests/rawdecoder/RawDecoder.h"

namespace rawdecoder {

namespace {

uint8_t DataBlockTypeOf(size_t blockSize) {
    return blockSize == kPqBlockSize ? 1 : blockSize == kPwBlockSize ? 3 : 0;
}

}  // namespace

RawWriteChecker::RawWriteChecker(int32_t first, size_t blockSize, RawWriteOptions options, UserDataSink sink)
    : m_blockSize(blockSize),
      m_options(options),
      m_sink(std::move(sink)),
      m_disc(first, DataBlockTypeOf(blockSize)) {}

Check RawWriteChecker::Fail(const std::string& why) {
    m_failure = Check::Fail(why);
    return m_failure;
}

Check RawWriteChecker::Feed(std::span<const uint8_t> raw) {
    if (!m_failure) return m_failure;
    const std::string where = "LBA " + std::to_string(m_disc.NextLba()) + ": ";
    if (m_disc.BlockSize() == 0)
        return Fail(where + "block size " + std::to_string(m_blockSize) + " is not a raw block with sub-channel");
    if (raw.size() != m_blockSize)
        return Fail(where + "block of " + std::to_string(raw.size()) + " bytes, expected " +
                    std::to_string(m_blockSize));
    std::array<uint8_t, kUserSize> user;
    bool isUser = false;
    const int32_t lba = m_disc.NextLba();
    burnlib::RawVerdict verdict = m_disc.Check(lba, raw.data(), user.data(), &isUser);
    if (!verdict.Ok()) return Fail(verdict.reason);
    if (isUser && m_sink) m_sink(lba, user);
    return Check::Pass();
}

Check RawWriteChecker::Finish() {
    if (!m_failure) return m_failure;
    const std::string where = "LBA " + std::to_string(m_disc.NextLba()) + ": ";
    if (!m_disc.LayoutKnown() || m_disc.LeadOutBlocksWritten() == 0)
        return Fail(where + "the write ends before the lead-out");
    uint32_t leadOut = static_cast<uint32_t>(m_disc.LeadOutBlocksWritten());
    if (leadOut < m_options.minLeadOutBlocks)
        return Fail(where + "the lead-out has " + std::to_string(leadOut) + " blocks, at least " +
                    std::to_string(m_options.minLeadOutBlocks) + " expected");
    return Check::Pass();
}

}  // namespace rawdecoder
