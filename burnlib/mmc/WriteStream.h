// What the write flows share between the image and the WRITE commands: the image as a stream of
// 2048-byte user blocks, the reader that hands them out in the sizes the commands need, and the
// progress reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "burnlib/mmc/AlignedBuffer.h"
#include "burnlib/mmc/MmcDevice.h"

namespace burnlib::mmc {

constexpr uint32_t kUserBlockSize = 2048;

// The image, read ahead of the writer (the library's image stream behind it; a test's memory).
class BlockSource {
public:
    virtual ~BlockSource() = default;
    // The image's size in 2048-byte blocks, the last one padded with zeros.
    virtual uint64_t Blocks() const = 0;
    virtual void Start(uint32_t chunkBytes, uint64_t ringBytes) = 0;
    // The next chunk in order, a multiple of 2048 bytes; false at the end, after Stop() or on a
    // failure.
    virtual bool Acquire(const uint8_t** data, uint32_t* bytes) = 0;
    virtual void Release() = 0;
    virtual bool Failed() const = 0;
    virtual std::string Error() const = 0;
    virtual uint32_t SystemError() const = 0;
    // Any thread: wakes a waiting Acquire.
    virtual void Stop() = 0;
};

using ProgressFunction = std::function<void(uint64_t doneBytes, uint64_t totalBytes)>;

// Reports the image bytes written: at the first call, then at most every kInterval, and once
// more at the end with done = total.
class ProgressReporter {
public:
    ProgressReporter(ProgressFunction report, uint64_t totalBytes);
    void Update(uint64_t doneBytes);
    // The last figure again, once kInterval has passed: while the drive finishes, the report
    // still comes.
    void Repeat();
    void Finish();

    static constexpr std::chrono::milliseconds kInterval{250};

private:
    ProgressFunction m_report;
    uint64_t m_total;
    bool m_reported = false;
    uint64_t m_done = 0;
    std::chrono::steady_clock::time_point m_last;
};

// Hands out the image's user blocks in runs of the sizes the commands need: straight from the
// source's chunk when the run lies inside it, else gathered into a buffer of its own. Past the
// image's end, up to paddedBlocks, the blocks are zeros. The memory a run points at stays valid
// until the next Take.
class UserBlockReader {
public:
    // maxRun: the most blocks one Take asks for. The source is read in chunks of whole runs, about
    // a mebibyte each, so the reader thread and the writer meet once per chunk, not per command.
    UserBlockReader(MmcDevice& device, BlockSource& source, uint32_t maxRun, uint64_t ringBytes,
                    uint64_t paddedBlocks);
    ~UserBlockReader();
    UserBlockReader(const UserBlockReader&) = delete;
    UserBlockReader& operator=(const UserBlockReader&) = delete;

    // False with the device's failure set: the image could not be read, ended early, or the
    // operation was cancelled.
    bool Take(uint32_t blocks, const uint8_t** data);
    uint64_t ImageBlocks() const { return m_imageBlocks; }
    // Image blocks handed out so far (padding excluded).
    uint64_t ImageBlocksTaken() const { return m_imageTaken; }

private:
    bool NextChunk();
    bool Fail();
    void ReleaseChunk();

    MmcDevice& m_device;
    BlockSource& m_source;
    uint32_t m_maxRun;
    uint64_t m_imageBlocks;
    uint64_t m_paddedBlocks;
    uint64_t m_taken = 0;       // blocks handed out, padding included
    uint64_t m_imageTaken = 0;
    const uint8_t* m_chunk = nullptr;
    uint32_t m_chunkBytes = 0;
    uint32_t m_chunkOffset = 0;
    AlignedBuffer m_gather;
};

// WRITE(10) of `blocks` user blocks from startLba on, `perWrite` blocks a command, reporting
// progress as it goes.
bool WriteUserBlocks(MmcDevice& device, UserBlockReader& reader, int32_t startLba,
                     uint64_t blocks, uint32_t perWrite, ProgressReporter& progress);

// Sets a failure that belongs to no command (the image, the disc's space, an argument).
void FailOperation(MmcDevice& device, Outcome outcome, std::string text,
                   uint32_t systemError = 0);

// The drive's transfer limit in whole blocks of blockSize, at most what WRITE(10) can name.
uint32_t BlocksPerTransfer(const MmcDevice& device, uint32_t blockSize);

}  // namespace burnlib::mmc
