#include "burnlib/virtual/RawWriteCheck.h"

#include <cstring>

#include "burnlib/virtual/RawDecoderText.h"

namespace burnlib {

using namespace rawdecoder;
using rawdecoder::detail::Hex;

namespace {

using Result = rawdecoder::Check;

constexpr int32_t kPregapStart = -150;
constexpr int32_t kFirstLeadInLba = -45150;  // 90:00:00, where lead-in times begin

std::string PointName(uint8_t point) {
    return point >= kPointFirstTrack ? Hex(point) : Hex(static_cast<uint8_t>((point / 10) << 4 | (point % 10)));
}

std::string TnoName(uint8_t tno) {
    return tno == kLeadOutTno ? "AA" : Hex(static_cast<uint8_t>((tno / 10) << 4 | (tno % 10)));
}

Result Expect(const char* what, const Msf& got, const Msf& want) {
    if (got == want) return Result::Pass();
    return Result::Fail(std::string(what) + " is " + ToString(got) + ", expected " + ToString(want));
}

Result ExpectTnoIndex(const QFrame& q, uint8_t tno, uint8_t index) {
    if (q.tno != tno) return Result::Fail("Q TNO is " + TnoName(q.tno) + ", expected " + TnoName(tno));
    if (q.indexOrPoint != index)
        return Result::Fail("Q INDEX is " + TnoName(q.indexOrPoint) + ", expected " + TnoName(index));
    return Result::Pass();
}

Result ExpectZeroUser(const Sector& sector, const char* region) {
    auto user = sector.User();
    uint64_t any = 0;
    for (size_t i = 0; i < user.size(); i += sizeof any) {
        uint64_t word;
        std::memcpy(&word, user.data() + i, sizeof word);
        any |= word;
    }
    if (any == 0) return Result::Pass();
    for (size_t i = 0; i < user.size(); ++i)
        if (user[i] != 0)
            return Result::Fail(std::string("user data of a ") + region + " block is not zero (byte " +
                                std::to_string(i) + ")");
    return Result::Pass();
}

RawVerdict Refusal(uint8_t asc, uint8_t ascq, std::string reason) {
    return RawVerdict{0x05, asc, ascq, std::move(reason)};
}

constexpr uint8_t kAscInvalidField = 0x26;       // INVALID FIELD IN PARAMETER LIST
constexpr uint8_t kAscAddress = 0x21;            // LBA OUT OF RANGE / INVALID ADDRESS FOR WRITE
constexpr uint8_t kAscqInvalidWriteAddress = 0x02;

}  // namespace

RawDiscChecker::RawDiscChecker(int32_t leadInStart, uint8_t dataBlockType)
    : m_first(leadInStart),
      m_blockSize(dataBlockType == 1                          ? kPqBlockSize
                  : dataBlockType == 2 || dataBlockType == 3 ? kPwBlockSize
                                                              : 0),
      m_lba(leadInStart) {}

uint32_t RawDiscChecker::BlockSize() const { return m_blockSize; }
bool RawDiscChecker::LayoutKnown() const { return m_seenA2; }
int32_t RawDiscChecker::LeadOutStart() const { return m_seenA2 ? m_leadOutStart : 0; }
uint8_t RawDiscChecker::TrackControl() const { return m_control; }

int32_t RawDiscChecker::LeadOutBlocksWritten() const {
    return m_seenA2 && m_lba > m_leadOutStart ? m_lba - m_leadOutStart : 0;
}

bool RawDiscChecker::Complete() const {
    return m_failure.Ok() && LeadOutBlocksWritten() >= kFirstSessionLeadOutBlocks;
}

RawVerdict RawDiscChecker::Check(int32_t lba, const uint8_t* block, uint8_t* userData, bool* isUserBlock) {
    if (isUserBlock) *isUserBlock = false;
    if (!m_failure.Ok()) return m_failure;
    const auto where = [lba] { return "LBA " + std::to_string(lba) + ": "; };
    if (m_blockSize == 0) return Refusal(kAscInvalidField, 0, where() + "the data block type carries no sub-channel");
    if (block == nullptr) return Refusal(kAscInvalidField, 0, where() + "no block data");
    if (m_first >= kPregapStart || m_first < kFirstLeadInLba)
        return Refusal(kAscAddress, kAscqInvalidWriteAddress,
                       where() + "the write starts " + (m_first >= kPregapStart ? "after" : "before") +
                           " the lead-in (lead-in start " + std::to_string(m_first) + ")");
    if (lba != m_lba)
        return Refusal(kAscAddress, kAscqInvalidWriteAddress,
                       where() + "out of order, the next block of the write is LBA " + std::to_string(m_lba));
    if (Result c = CheckBlock(block); !c) {
        m_failure = Refusal(kAscInvalidField, 0, where() + c.reason);
        return m_failure;
    }
    if (m_lba >= 0 && m_lba < m_leadOutStart) {
        if (isUserBlock) *isUserBlock = true;
        if (userData) std::memcpy(userData, m_block.sector.User().data(), kUserSize);
    }
    ++m_lba;
    return {};
}

Result RawDiscChecker::CheckBlock(const uint8_t* raw) {
    if (Result c = DecodeBlock(std::span<const uint8_t>(raw, m_blockSize), &m_block); !c) return c;

    const QFrame& q = m_block.q;
    if (!m_haveFirstQ) {
        m_haveFirstQ = true;
        m_control = q.control;
        m_crcInverted = q.crcInverted;
        if ((m_control & 0x4) == 0 || (m_control & 0x8) != 0)
            return Result::Fail("Q control " + std::to_string(q.control) + " is not a two-channel data track");
    }
    if (q.control != m_control)
        return Result::Fail("Q control " + std::to_string(q.control) + " differs from the first block's " +
                            std::to_string(m_control));
    if (q.crcInverted != m_crcInverted) return Result::Fail("Q CRC inversion differs from the first block's");

    if (m_lba < kPregapStart) return CheckLeadIn(m_block);
    if (m_lba == kPregapStart) {
        const std::pair<bool, const char*> items[] = {
            {m_seenPoint01, "01"}, {m_seenA0, "A0"}, {m_seenA1, "A1"}, {m_seenA2, "A2"}};
        for (const auto& [seen, name] : items)
            if (!seen) return Result::Fail(std::string("the lead-in never carried TOC item ") + name);
    }
    if (m_lba < 0) return CheckPregap(m_block);
    if (m_lba < m_leadOutStart) return CheckTrack(m_block);
    return CheckLeadOut(m_block);
}

// Sources differ on whether the lead-in counts the absolute time of its address (97:26:65...)
// or from 00:00:00 at its first block; either is taken, then kept to the end of the lead-in.
Result RawDiscChecker::CheckRunningTime(const Msf& got, int* convention, const char* what) {
    const Msf choices[2] = {MsfOfLba(m_lba), MsfOfFrames(m_lba - m_first)};
    if (*convention < 0) {
        for (int i = 0; i < 2; ++i)
            if (got == choices[i]) *convention = i;
        if (*convention < 0)
            return Result::Fail(std::string(what) + " is " + ToString(got) + ", expected " + ToString(choices[0]) +
                                " or " + ToString(choices[1]));
        return Result::Pass();
    }
    return Expect(what, got, choices[*convention]);
}

Result RawDiscChecker::CheckLeadIn(const Block& b) {
    const QFrame& q = b.q;
    if (q.tno != 0) return Result::Fail("Q TNO is " + TnoName(q.tno) + " in the lead-in, expected 00");
    if (Result c = CheckRunningTime(b.sector.header, &m_headerConvention, "header address"); !c) return c;
    if (Result c = CheckRunningTime(q.relative, &m_runningConvention, "Q running time"); !c) return c;
    if (q.p) return Result::Fail("P flag set in the lead-in");
    if (Result c = ExpectZeroUser(b.sector, "lead-in"); !c) return c;

    const uint8_t point = q.indexOrPoint;
    const std::string item = "TOC item " + PointName(point);
    switch (point) {
    case 1:
        if (Result c = Expect((item + " start").c_str(), q.absolute, Msf{0, 2, 0}); !c) return c;
        m_seenPoint01 = true;
        break;
    case kPointFirstTrack:
    case kPointLastTrack:
        if (Result c = Expect((item + " PMIN/PSEC/PFRAME").c_str(), q.absolute, Msf{1, 0, 0}); !c) return c;
        (point == kPointFirstTrack ? m_seenA0 : m_seenA1) = true;
        break;
    case kPointLeadOut: {
        int32_t start = q.absolute.Frames() - 150;
        if (start <= 0)
            return Result::Fail(item + " puts the lead-out at " + ToString(q.absolute) + ", before any data");
        if (m_seenA2 && start != m_leadOutStart)
            return Result::Fail(item + " lead-out " + ToString(q.absolute) + " differs from the earlier " +
                                ToString(MsfOfLba(m_leadOutStart)));
        m_leadOutStart = start;
        m_seenA2 = true;
        break;
    }
    default:
        return Result::Fail("lead-in carries POINT " + PointName(point) + ", not a TOC item of one data track");
    }

    // Each TOC item stands in three consecutive blocks; only the lead-in's last run may be cut short.
    if (m_lba > m_first && point == m_lastPoint) {
        if (++m_pointRun > 3) return Result::Fail(item + " repeated more than 3 times in a row");
    } else {
        if (m_lba > m_first && m_pointRun != 3)
            return Result::Fail("TOC item " + PointName(m_lastPoint) + " given " + std::to_string(m_pointRun) +
                                " times in a row, expected 3");
        m_lastPoint = point;
        m_pointRun = 1;
    }
    return Result::Pass();
}

// The pregap's relative time counts down to the track; sources differ on whether it reaches
// 00:00:00 at its last block or at the track's first, so either is taken, then kept.
Result RawDiscChecker::CheckPregap(const Block& b) {
    const QFrame& q = b.q;
    if (Result c = ExpectTnoIndex(q, 1, 0); !c) return c;
    if (Result c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Result c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    const Msf choices[2] = {MsfOfFrames(-m_lba), MsfOfFrames(-m_lba - 1)};
    if (m_pregapConvention < 0) {
        for (int i = 0; i < 2; ++i)
            if (q.relative == choices[i]) m_pregapConvention = i;
        if (m_pregapConvention < 0)
            return Result::Fail("Q relative time is " + ToString(q.relative) + ", expected " + ToString(choices[0]) +
                                " or " + ToString(choices[1]));
    } else if (Result c = Expect("Q relative time", q.relative, choices[m_pregapConvention]); !c) {
        return c;
    }
    if (!q.p) return Result::Fail("P flag clear in the pregap");
    return ExpectZeroUser(b.sector, "pregap");
}

Result RawDiscChecker::CheckTrack(const Block& b) {
    const QFrame& q = b.q;
    if (Result c = ExpectTnoIndex(q, 1, 1); !c)
        return Result::Fail(c.reason + " (TOC item A2 puts the lead-out at LBA " + std::to_string(m_leadOutStart) +
                            ")");
    if (Result c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Result c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    if (Result c = Expect("Q relative time", q.relative, MsfOfFrames(m_lba)); !c) return c;
    // Some writers raise P in the last two seconds before the lead-out.
    if (q.p && m_lba < m_leadOutStart - 150) return Result::Fail("P flag set inside the track");
    return Result::Pass();
}

Result RawDiscChecker::CheckLeadOut(const Block& b) {
    const QFrame& q = b.q;
    if (Result c = ExpectTnoIndex(q, kLeadOutTno, 1); !c)
        return Result::Fail(c.reason + " (TOC item A2 puts the lead-out here)");
    if (Result c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Result c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    if (Result c = Expect("Q relative time", q.relative, MsfOfFrames(m_lba - m_leadOutStart)); !c) return c;
    return ExpectZeroUser(b.sector, "lead-out");
}

}  // namespace burnlib
