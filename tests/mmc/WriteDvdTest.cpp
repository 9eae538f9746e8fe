// DVD write flows and session closing against a scripted recorder: page 05h for incremental
// writing, where each medium starts, packet padding, FORMAT UNIT for DVD+RW and the CLOSE
// functions each medium needs.
#include <gtest/gtest.h>

#include "burnlib/mmc/Cdb.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/WriteFlow.h"
#include "tests/mmc/WriteScript.h"

using namespace burnlib;
using namespace burnlib::mmc;
using namespace mmctest;

namespace {

uint64_t WrittenBlocks(const ScriptedDrive& drive, int32_t first, uint32_t multiple) {
    int64_t next = first;
    uint64_t total = 0;
    for (auto [lba, blocks] : Writes(drive)) {
        EXPECT_EQ(lba, next);
        EXPECT_EQ(blocks % multiple, 0u) << "at " << lba;
        next = int64_t{lba} + blocks;
        total += blocks;
    }
    return total;
}

// The CLOSE TRACK/SESSION commands as {function, track number}.
std::vector<std::pair<uint8_t, uint16_t>> Closes(const ScriptedDrive& drive) {
    std::vector<std::pair<uint8_t, uint16_t>> out;
    for (const SentCommand& c : SentWith(drive, kOpCloseTrackSession)) {
        EXPECT_EQ(c.cdb[1] & 0x01, 0x01);  // Immed, then polled
        out.emplace_back(c.cdb[2] & 0x07, GetBe16(c.cdb.data() + 4));
    }
    return out;
}

bool Close(ScriptedDrive& drive, OpenTrack open) {
    MmcDevice device(drive.Open());
    device.SetSleep([](uint32_t) {});
    device.BeginOperation();
    const bool ok = CloseSession(device, &open);
    device.EndOperation();
    if (ok) {
        EXPECT_FALSE(open.open);
    }
    return ok;
}

}  // namespace

TEST(DvdIncremental, SetsFixedPacketsOf16AndWritesWholePacketsFromTheNextWritableAddress) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x0011;  // DVD-R sequential
    disc.nextWritable = 4096;
    disc.nextTrack = 2;
    disc.discStatus = 1;
    disc.freeBlocks = 2000000;
    ScriptWriter(drive, disc);
    const std::vector<uint8_t> image = PatternImage(100 * 2048 + 5);
    MemorySource source(image);
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.multisession = true;

    // 80 KiB of transfer: two packets a command.
    const WriteRun run = RunWrite(drive, options, source, 80 * 1024);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[2], 0x40 | 0x20 | 0x00);  // BUFE kept, LS_V, incremental
    EXPECT_EQ(page[3], 0xC0 | 0x20 | 0x05);  // multi-session 11b, FP, track mode 5
    EXPECT_EQ(page[4] & 0x0F, 0x08);
    EXPECT_EQ(page[5], 16);                  // link size
    EXPECT_EQ(GetBe32(page.data() + 10), 16u);  // packet size

    // 101 blocks make 7 packets: 112 blocks, zeros after the image.
    EXPECT_EQ(WrittenBlocks(drive, 4096, 16), 112u);
    for (auto [lba, blocks] : Writes(drive)) EXPECT_LE(blocks, 32u);
    std::vector<uint8_t> expected = image;
    expected.resize(112 * 2048, 0);
    EXPECT_EQ(WrittenBytes(drive), expected);
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 0u);
    ASSERT_TRUE(run.left.open);
    EXPECT_EQ(run.left.trackNumber, 2);
    EXPECT_EQ(run.progress.back(), std::make_pair(uint64_t{101 * 2048}, uint64_t{101 * 2048}));

    // CloseSession: the page keeps 11b, then close track 2 and close the session.
    ScriptedDrive closing;
    ScriptWriter(closing, disc);
    ASSERT_TRUE(Close(closing, run.left));
    EXPECT_EQ(Closes(closing), (std::vector<std::pair<uint8_t, uint16_t>>{{1, 2}, {2, 0}}));
    EXPECT_EQ(closing.Count(kOpSynchronizeCache), 1u);
}

TEST(DvdIncremental, ATransferLimitBelowOnePacketIsRefusedBeforeWriting) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x0014;  // DVD-RW sequential
    disc.freeBlocks = 2000000;
    ScriptWriter(drive, disc);
    MemorySource source(PatternImage(64 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source, 16 * 1024);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::NotSupported);
    EXPECT_EQ(drive.Count(kOpWrite10), 0u);
}

TEST(DvdPlusR, WritesFromTheNextWritableAddressWithoutPage05AndClosesAsAsked) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x001B;
    disc.nextWritable = 0;
    disc.freeBlocks = 2295104;
    ScriptWriter(drive, disc);
    const std::vector<uint8_t> image = PatternImage(70 * 2048);
    MemorySource source(image);
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;
    EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
    EXPECT_EQ(WrittenBytes(drive), image);
    ASSERT_TRUE(run.left.open);

    // Closed for good: close track 1, then finalize (110b).
    ScriptedDrive closing;
    ScriptWriter(closing, disc);
    ASSERT_TRUE(Close(closing, run.left));
    EXPECT_EQ(Closes(closing), (std::vector<std::pair<uint8_t, uint16_t>>{{1, 1}, {6, 0}}));

    // Left appendable: close track 1, then close the session (010b).
    OpenTrack appendable = run.left;
    appendable.multisession = true;
    ScriptedDrive again;
    ScriptWriter(again, disc);
    ASSERT_TRUE(Close(again, appendable));
    EXPECT_EQ(Closes(again), (std::vector<std::pair<uint8_t, uint16_t>>{{1, 1}, {2, 0}}));
}

TEST(DvdPlusR, SessionAtOnceIsTheMediumsOwnWriteClosedByTheCallItself) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x002B;  // DVD+R DL
    disc.freeBlocks = 4173824;
    ScriptWriter(drive, disc);
    MemorySource source(PatternImage(40 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::SessionAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;
    EXPECT_EQ(Closes(drive), (std::vector<std::pair<uint8_t, uint16_t>>{{1, 1}, {6, 0}}));
    EXPECT_FALSE(run.left.open);
}

TEST(DvdPlusRw, AnUnformattedDiscIsFormattedInTheBackgroundThenWrittenFromZero) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x001A;
    disc.backgroundFormat = 0;
    disc.freeBlocks = 0;  // the track says nothing before formatting
    ScriptWriter(drive, disc);
    const std::vector<uint8_t> image = PatternImage(50 * 2048);
    MemorySource source(image);
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;

    const std::vector<SentCommand> formats = SentWith(drive, kOpFormatUnit);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].cdb[1], 0x11);
    const std::vector<uint8_t> list = {0x00, 0x02, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40,
                                       0x98, 0x00, 0x00, 0x00};
    EXPECT_EQ(formats[0].dataOut, list);  // 2295104 blocks, type 26h, not a restart
    EXPECT_EQ(WrittenBlocks(drive, 0, 1), 50u);
    EXPECT_EQ(WrittenBytes(drive), image);
    EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
}

TEST(DvdPlusRw, ASuspendedFormatIsRestartedAndARunningOneEndsWithACompatibleClose) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.profile = 0x001A;
    disc.backgroundFormat = 1;
    ScriptWriter(drive, disc);
    MemorySource source(PatternImage(50 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<SentCommand> formats = SentWith(drive, kOpFormatUnit);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].dataOut[11], 0x01);  // Restart

    DiscScript running = disc;
    running.backgroundFormat = 2;
    ScriptedDrive closing;
    ScriptWriter(closing, running);
    ASSERT_TRUE(Close(closing, run.left));
    EXPECT_EQ(Closes(closing), (std::vector<std::pair<uint8_t, uint16_t>>{{2, 0}}));

    DiscScript complete = disc;
    complete.backgroundFormat = 3;
    ScriptedDrive done;
    ScriptWriter(done, complete);
    ASSERT_TRUE(Close(done, run.left));
    EXPECT_TRUE(Closes(done).empty());
}

TEST(DvdWrittenInPlace, RestrictedOverwriteAndDvdRamStartAtZero) {
    for (uint16_t profile : {uint16_t{0x0013}, uint16_t{0x0012}}) {
        SCOPED_TRACE(profile);
        ScriptedDrive drive;
        DiscScript disc;
        disc.profile = profile;
        disc.discStatus = 2;  // such discs report themselves complete
        disc.freeBlocks = 2295104;
        ScriptWriter(drive, disc);
        const std::vector<uint8_t> image = PatternImage(20 * 2048);
        MemorySource source(image);
        const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
        ASSERT_TRUE(run.ok) << run.text;
        // Restricted overwrite takes whole 32 KiB blocks; DVD-RAM any block.
        const uint64_t blocks = WrittenBlocks(drive, 0, profile == 0x0013 ? 16 : 1);
        EXPECT_EQ(blocks, profile == 0x0013 ? 32u : 20u);
        EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
        ScriptedDrive closing;
        ScriptWriter(closing, disc);
        ASSERT_TRUE(Close(closing, run.left));
        EXPECT_TRUE(Closes(closing).empty());
    }
}

TEST(CdCloseSession, ClosesTheTrackThenTheSessionWithThePagesMultiSessionField) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    ASSERT_TRUE(Close(drive, OpenTrack{true, 0x0009, 1, true}));
    EXPECT_EQ(Closes(drive), (std::vector<std::pair<uint8_t, uint16_t>>{{1, 1}, {2, 0}}));
    // The scripted page says 00b; the session must stay open for another one.
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 4u);
    EXPECT_EQ(page[3] & 0xC0, 0xC0);

    // A writer that will not close a TAO track alone still gets its session closed.
    ScriptedDrive refusing;
    ScriptWriter(refusing, DiscScript{});
    refusing.On(kOpCloseTrackSession, [](const ScsiRequest& r) {
        return (r.cdb[2] & 0x07) == 1 ? ScsiResult::Check(0x05, 0x24, 0x00) : ScsiResult::Ok(0);
    });
    ASSERT_TRUE(Close(refusing, OpenTrack{true, 0x0009, 1, false}));
    EXPECT_EQ(Closes(refusing).back(), std::make_pair(uint8_t{2}, uint16_t{0}));
}

TEST(CdCloseSession, NothingOpenOrAnotherDiscIsRefusedWithoutClosing) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    EXPECT_FALSE(Close(drive, OpenTrack{}));
    EXPECT_FALSE(Close(drive, OpenTrack{true, 0x001B, 1, false}));  // a CD-R is in the drive
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 0u);
}
