#include "burnlib/mmc/WriteStream.h"

#include <algorithm>
#include <cstring>

namespace burnlib::mmc {

namespace {
constexpr uint32_t kChunkTargetBytes = 1u << 20;
}  // namespace

void FailOperation(MmcDevice& device, Outcome outcome, std::string text, uint32_t systemError) {
    CommandFailure failure;
    failure.outcome = outcome;
    failure.text = std::move(text);
    failure.systemError = systemError;
    device.SetFailure(failure);
}

uint32_t BlocksPerTransfer(const MmcDevice& device, uint32_t blockSize) {
    return std::min<uint32_t>(device.MaxTransferLength() / blockSize, 0xFFFF);
}

ProgressReporter::ProgressReporter(ProgressFunction report, uint64_t totalBytes)
    : m_report(std::move(report)), m_total(totalBytes) {}

void ProgressReporter::Update(uint64_t doneBytes) {
    if (!m_report) return;
    const auto now = std::chrono::steady_clock::now();
    if (m_reported && now - m_last < kInterval) return;
    m_reported = true;
    m_last = now;
    m_done = std::min(doneBytes, m_total);
    m_report(m_done, m_total);
}

void ProgressReporter::Repeat() {
    if (m_reported) Update(m_done);
}

void ProgressReporter::Finish() {
    if (!m_report) return;
    m_reported = true;
    m_last = std::chrono::steady_clock::now();
    m_done = m_total;
    m_report(m_total, m_total);
}

UserBlockReader::UserBlockReader(MmcDevice& device, BlockSource& source, uint32_t maxRun,
                                 uint64_t ringBytes, uint64_t paddedBlocks)
    : m_device(device),
      m_source(source),
      m_maxRun(std::max<uint32_t>(maxRun, 1)),
      m_imageBlocks(std::min(source.Blocks(), paddedBlocks)),
      m_paddedBlocks(paddedBlocks),
      m_gather(size_t{m_maxRun} * kUserBlockSize) {
    const uint32_t runBytes = m_maxRun * kUserBlockSize;
    const uint32_t chunk = runBytes * std::max<uint32_t>(1, kChunkTargetBytes / runBytes);
    m_source.Start(chunk, std::max<uint64_t>(ringBytes, uint64_t{2} * chunk));
}

UserBlockReader::~UserBlockReader() {
    ReleaseChunk();
    m_source.Stop();
}

void UserBlockReader::ReleaseChunk() {
    if (m_chunk == nullptr) return;
    m_source.Release();
    m_chunk = nullptr;
    m_chunkBytes = m_chunkOffset = 0;
}

bool UserBlockReader::Fail() {
    if (m_device.CancelRequested()) {
        FailOperation(m_device, Outcome::Cancelled, "the write was cancelled");
    } else if (m_source.Failed()) {
        FailOperation(m_device, Outcome::SystemError,
                      "reading the image failed after " + std::to_string(m_imageTaken) + " of " +
                          std::to_string(m_imageBlocks) + " blocks: " + m_source.Error(),
                      m_source.SystemError());
    } else {
        FailOperation(m_device, Outcome::SystemError,
                      "the image ended after " + std::to_string(m_imageTaken) + " of " +
                          std::to_string(m_imageBlocks) + " blocks");
    }
    return false;
}

bool UserBlockReader::NextChunk() {
    ReleaseChunk();
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    if (!m_source.Acquire(&data, &bytes)) return Fail();
    m_chunk = data;
    m_chunkBytes = bytes - bytes % kUserBlockSize;
    if (m_chunkBytes == 0) {
        ReleaseChunk();
        return Fail();
    }
    return true;
}

bool UserBlockReader::Take(uint32_t blocks, const uint8_t** data) {
    *data = nullptr;
    if (blocks == 0) return true;
    if (blocks > m_maxRun || m_taken + blocks > m_paddedBlocks) {
        FailOperation(m_device, Outcome::InvalidParameter,
                      "internal error: a write asked for blocks outside the image");
        return false;
    }
    if (m_device.CancelRequested()) return Fail();
    if (m_chunk != nullptr && m_chunkOffset == m_chunkBytes) ReleaseChunk();

    const uint64_t imageLeft = m_imageBlocks - m_imageTaken;
    if (imageLeft >= blocks) {
        if (m_chunk == nullptr && !NextChunk()) return false;
        if ((m_chunkBytes - m_chunkOffset) / kUserBlockSize >= blocks) {
            *data = m_chunk + m_chunkOffset;
            m_chunkOffset += blocks * kUserBlockSize;
            m_taken += blocks;
            m_imageTaken += blocks;
            return true;
        }
    }

    uint8_t* out = m_gather.data();
    uint32_t filled = 0;
    while (filled < blocks) {
        const uint64_t left = m_imageBlocks - m_imageTaken;
        if (left == 0) {
            std::memset(out + size_t{filled} * kUserBlockSize, 0,
                        size_t{blocks - filled} * kUserBlockSize);
            break;
        }
        if ((m_chunk == nullptr || m_chunkOffset == m_chunkBytes) && !NextChunk()) return false;
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(
            {(m_chunkBytes - m_chunkOffset) / kUserBlockSize, blocks - filled, left}));
        std::memcpy(out + size_t{filled} * kUserBlockSize, m_chunk + m_chunkOffset,
                    size_t{n} * kUserBlockSize);
        m_chunkOffset += n * kUserBlockSize;
        filled += n;
        m_imageTaken += n;
    }
    m_taken += blocks;
    *data = out;
    return true;
}

bool WriteUserBlocks(MmcDevice& device, UserBlockReader& reader, int32_t startLba,
                     uint64_t blocks, uint32_t perWrite, ProgressReporter& progress) {
    for (uint64_t done = 0; done < blocks;) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(perWrite, blocks - done));
        const uint8_t* data = nullptr;
        if (!reader.Take(n, &data)) return false;
        const int32_t lba = static_cast<int32_t>(startLba + static_cast<int64_t>(done));
        if (!device.ExecuteWrite(MakeWrite10(lba, static_cast<uint16_t>(n)), data,
                                 n * kUserBlockSize))
            return false;
        done += n;
        progress.Update(reader.ImageBlocksTaken() * kUserBlockSize);
    }
    return true;
}

}  // namespace burnlib::mmc
