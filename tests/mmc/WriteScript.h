// A scripted recorder for the write-flow tests: a disc described by a few fields, a drive that
// takes every write command, and an image held in memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "burnlib/mmc/WriteFlow.h"
#include "burnlib/mmc/WriteStream.h"
#include "tests/mmc/Replies.h"
#include "tests/mmc/ScriptedDrive.h"

namespace mmctest {

struct DiscScript {
    uint16_t profile = 0x0009;     // CD-R
    uint8_t discStatus = 0;        // blank
    uint8_t backgroundFormat = 0;
    uint16_t nextTrack = 1;        // the invisible track's number
    int32_t nextWritable = 0;
    int32_t freeBlocks = 359849;   // an 80-minute CD-R
    bool bufe = true;              // page 05h BUFE as the drive has it
    std::vector<FeatureBytes> features;  // empty: the writer features of the profile's family
};

// The features a CD or DVD writer reports: BUF and Test Write everywhere, SAO and raw on CD.
std::vector<FeatureBytes> WriterFeatures(uint16_t profile);

// Answers TEST UNIT READY, GET CONFIGURATION, READ DISC/TRACK INFORMATION, MODE SENSE (05h,
// 2Ah), READ TOC (ATIP) and READ FORMAT CAPACITIES for the disc, and takes MODE SELECT, WRITE,
// SYNCHRONIZE CACHE, CLOSE, SEND CUE SHEET, SEND OPC, FORMAT UNIT, PREVENT ALLOW and START STOP.
void ScriptWriter(ScriptedDrive& drive, const DiscScript& disc);

std::vector<SentCommand> SentWith(const ScriptedDrive& drive, uint8_t opcode);
// The WRITE(10) commands' LBAs (signed) and block counts, in order.
std::vector<std::pair<int32_t, uint32_t>> Writes(const ScriptedDrive& drive);
// Every byte the WRITE commands carried, in order.
std::vector<uint8_t> WrittenBytes(const ScriptedDrive& drive);
// The page 05h of the last MODE SELECT (from its page code byte on).
std::vector<uint8_t> LastWritePage(const ScriptedDrive& drive);

// An image of `bytes` bytes whose every byte tells its position.
std::vector<uint8_t> PatternImage(size_t bytes);

// An image in memory, handed out in the chunks the writer asks for; it can fail to read from a
// given byte on, as a file that shrinks or a disk that fails.
class MemorySource : public burnlib::mmc::BlockSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint64_t Blocks() const override { return (m_bytes.size() + 2047) / 2048; }
    void Start(uint32_t chunkBytes, uint64_t ringBytes) override;
    bool Acquire(const uint8_t** data, uint32_t* bytes) override;
    void Release() override { ++released; }
    bool Failed() const override { return m_failed; }
    std::string Error() const override { return "read error in image.iso"; }
    uint32_t SystemError() const override { return m_failed ? 23 : 0; }
    void Stop() override { stopped = true; }

    std::optional<size_t> failAt;  // Acquire fails once the image is read up to here
    uint32_t chunkBytes = 0;
    uint64_t ringBytes = 0;
    int acquired = 0;
    int released = 0;
    std::atomic<bool> stopped{false};

private:
    std::vector<uint8_t> m_bytes;
    std::vector<uint8_t> m_chunk;
    size_t m_offset = 0;
    bool m_failed = false;
};

struct WriteRun {
    bool ok = false;
    burnlib::mmc::OpenTrack left;
    std::vector<std::pair<uint64_t, uint64_t>> progress;  // done, total
    burnlib::mmc::Outcome outcome = burnlib::mmc::Outcome::Ok;
    std::string text;
};

// One WriteImage as one library call, waits made instant.
WriteRun RunWrite(ScriptedDrive& drive, const burnlib::mmc::WriteOptions& options,
                  burnlib::mmc::BlockSource& source, uint32_t maxTransfer = 65536);
burnlib::mmc::WriteOptions Options(burnlib::mmc::WriteMethod method);

}  // namespace mmctest
