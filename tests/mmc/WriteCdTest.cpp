// CD write flows against a scripted recorder: the page 05h each method sets, the cue sheet, the
// addresses and the bytes of the WRITE commands, what ends each flow.
#include <gtest/gtest.h>

#include <cstring>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/mmc/Cdb.h"
#include "burnlib/mmc/WriteFlow.h"
#include "burnlib/mmc/WriteFlows.h"
#include "tests/mmc/WriteScript.h"
#include "tests/support/Sha1.h"

using namespace burnlib;
using namespace burnlib::mmc;
using namespace mmctest;

namespace {

// The image followed by zero blocks up to `blocks` blocks.
std::vector<uint8_t> Padded(std::vector<uint8_t> image, size_t blocks) {
    image.resize(blocks * 2048, 0);
    return image;
}

// Consecutive writes from `first`, none longer than `most` blocks; their total.
uint64_t CheckContiguous(const std::vector<std::pair<int32_t, uint32_t>>& writes, int32_t first,
                         uint32_t most) {
    int64_t next = first;
    uint64_t total = 0;
    for (auto [lba, blocks] : writes) {
        EXPECT_EQ(lba, next);
        EXPECT_GE(blocks, 1u);
        EXPECT_LE(blocks, most);
        next = int64_t{lba} + blocks;
        total += blocks;
    }
    return total;
}

}  // namespace

TEST(CdTrackAtOnce, SetsPage05WritesFromTheNextWritableAddressAndLeavesTheTrackOpen) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.discStatus = 1;  // appendable: a second track after one already there
    disc.nextTrack = 2;
    disc.nextWritable = 23456;
    disc.freeBlocks = 300000;
    ScriptWriter(drive, disc);
    const std::vector<uint8_t> image = PatternImage(400 * 2048 + 100);
    MemorySource source(image);

    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;

    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[0], 0x05);
    EXPECT_EQ(page[2], 0x40 | 0x01);  // BUFE kept, no test write, write type 1 (TAO)
    EXPECT_EQ(page[3], 0x04);         // multi-session 00b, track mode 4 (data)
    EXPECT_EQ(page[4] & 0x0F, 0x08);  // Mode 1, 2048 bytes
    EXPECT_EQ(page[8], 0x00);         // CD-ROM session

    // The next writable address depends on the write type: it is read after the page is set.
    size_t lastSelect = 0, lastTrackInfo = 0, firstWrite = 0;
    for (size_t i = 0; i < drive.Sent().size(); ++i) {
        const uint8_t op = drive.Sent()[i].cdb[0];
        if (firstWrite != 0) break;
        if (op == kOpModeSelect10) lastSelect = i;
        if (op == kOpReadTrackInformation) lastTrackInfo = i;
        if (op == kOpWrite10) firstWrite = i;
    }
    EXPECT_LT(lastSelect, lastTrackInfo);
    EXPECT_LT(lastTrackInfo, firstWrite);

    // 64 KiB transfers hold 32 blocks; 401 blocks, the last one padded.
    EXPECT_EQ(CheckContiguous(Writes(drive), 23456, 32), 401u);
    EXPECT_EQ(WrittenBytes(drive), Padded(image, 401));

    // The cache is written out after the last WRITE; the track stays open for CloseSession.
    const std::vector<SentCommand>& sent = drive.Sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(SentWith(drive, kOpSynchronizeCache)[0].cdb[1] & 0x02, 0x02);  // Immed
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 0u);
    EXPECT_TRUE(run.left.open);
    EXPECT_EQ(run.left.trackNumber, 2);
    EXPECT_FALSE(run.left.multisession);

    // Progress counts the image's bytes, padded to whole blocks, and ends at the total.
    ASSERT_FALSE(run.progress.empty());
    EXPECT_EQ(run.progress.front().first, 0u);
    EXPECT_EQ(run.progress.back(), std::make_pair(uint64_t{401 * 2048}, uint64_t{401 * 2048}));
}

TEST(CdTrackAtOnce, AShortImageIsPaddedToFourSecondsAndTestWriteAndMultisessionReachThePage) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    const std::vector<uint8_t> image = PatternImage(10 * 2048);
    MemorySource source(image);
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.testWrite = true;
    options.multisession = true;

    const WriteRun run = RunWrite(drive, options, source);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[2], 0x40 | 0x10 | 0x01);  // BUFE, Test Write, TAO
    EXPECT_EQ(page[3], 0xC0 | 0x04);         // multi-session 11b
    EXPECT_EQ(CheckContiguous(Writes(drive), 0, 32), 300u);
    EXPECT_EQ(WrittenBytes(drive), Padded(image, 300));
    // A simulated track leaves nothing to close.
    EXPECT_FALSE(run.left.open);
    EXPECT_EQ(run.progress.back(), std::make_pair(uint64_t{10 * 2048}, uint64_t{10 * 2048}));
}

TEST(CdTrackAtOnce, ADriveThatNamesThePregapAsNextWritableIsWrittenFromTheTrackStart) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    std::vector<uint8_t> reply(36, 0);
    reply[1] = 34;
    reply[2] = 1;
    reply[3] = 1;
    reply[5] = 0x04;
    reply[6] = 0x41;
    reply[7] = 0x01;
    PutBe32(reply.data() + 8, 0);                                // track start
    PutBe32(reply.data() + 12, static_cast<uint32_t>(-150));     // next writable address
    PutBe32(reply.data() + 16, 359849);
    drive.Answer(kOpReadTrackInformation, reply);
    MemorySource source(PatternImage(300 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    ASSERT_TRUE(run.ok) << run.text;
    ASSERT_FALSE(Writes(drive).empty());
    EXPECT_EQ(Writes(drive).front().first, 0);
}

TEST(CdSessionAtOnce, TheCueSheetOfOneDataTrackIsTheOneMmcDescribes) {
    // 300000 blocks: the lead-out at 66:42:00, in binary.
    const std::vector<uint8_t> expected = {
        0x41, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00,
        0x41, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,
        0x41, 0x01, 0x01, 0x10, 0x00, 0x00, 0x02, 0x00,
        0x41, 0xAA, 0x01, 0x14, 0x00, 0x42, 0x2A, 0x00,
    };
    EXPECT_EQ(SingleTrackCueSheet(300000, 4), expected);
}

TEST(CdSessionAtOnce, SendsTheCueSheetThenThePregapFromMinus150ThenTheTrack) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    const std::vector<uint8_t> image = PatternImage(500 * 2048);
    MemorySource source(image);
    WriteOptions options = Options(WriteMethod::SessionAtOnce);
    options.multisession = true;

    const WriteRun run = RunWrite(drive, options, source);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[2], 0x40 | 0x02);  // SAO
    EXPECT_EQ(page[3] & 0xC0, 0xC0);  // the drive leaves room for a next session

    const std::vector<SentCommand> cues = SentWith(drive, kOpSendCueSheet);
    ASSERT_EQ(cues.size(), 1u);
    const std::vector<uint8_t> cdb = {0x5D, 0, 0, 0, 0, 0, 0, 0, 0x20, 0};
    EXPECT_EQ(cues[0].cdb, cdb);
    ASSERT_EQ(cues[0].dataOut.size(), 32u);
    // Lead-out at block 500 = 00:08:50 (650 frames).
    const uint8_t leadOut[8] = {0x41, 0xAA, 0x01, 0x14, 0x00, 0x00, 0x08, 0x32};
    EXPECT_EQ(std::memcmp(cues[0].dataOut.data() + 24, leadOut, 8), 0);

    // The cue sheet comes before every WRITE; the pregap's 150 zero blocks from -150.
    size_t cueAt = 0, firstWrite = 0;
    for (size_t i = 0; i < drive.Sent().size(); ++i) {
        if (drive.Sent()[i].cdb[0] == kOpSendCueSheet) cueAt = i;
        if (drive.Sent()[i].cdb[0] == kOpWrite10 && firstWrite == 0) firstWrite = i;
    }
    EXPECT_LT(cueAt, firstWrite);
    EXPECT_EQ(CheckContiguous(Writes(drive), -150, 32), 650u);
    std::vector<uint8_t> expected(150 * 2048, 0);
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_EQ(WrittenBytes(drive), expected);
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 0u);  // the drive closes a SAO session itself
    EXPECT_FALSE(run.left.open);
}

TEST(CdSessionAtOnce, RefusesADiscThatAlreadyHoldsASessionBeforeWriting) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.discStatus = 1;
    disc.nextWritable = 11400;
    ScriptWriter(drive, disc);
    MemorySource source(PatternImage(500 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::SessionAtOnce), source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::NotSupported);
    EXPECT_EQ(drive.Count(kOpWrite10), 0u);
    EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
}

TEST(CdDiscAtOnceRaw, WritesEveryBlockFromTheLeadInWithPqSubchannel) {
    ScriptedDrive drive;
    DiscScript disc;
    disc.nextWritable = -11635;  // the drive reports the lead-in start in raw mode
    ScriptWriter(drive, disc);
    std::vector<uint8_t> image = PatternImage(400 * 2048);
    std::fill(image.begin(), image.begin() + 2048, uint8_t{0});  // block 0: zeros
    MemorySource source(image);

    const WriteRun run = RunWrite(drive, Options(WriteMethod::DiscAtOncePq), source);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[2] & 0x1F, 0x03);  // raw, no test write
    EXPECT_EQ(page[3] & 0xC0, 0x00);  // closed
    EXPECT_EQ(page[4] & 0x0F, 0x01);  // 2352 + 16

    // Lead-in from -11635, the 150-block pregap, 400 track blocks, 6750 lead-out blocks; 64 KiB
    // transfers hold 27 blocks of 2368 bytes.
    const auto writes = Writes(drive);
    EXPECT_EQ(CheckContiguous(writes, -11635, 27), uint64_t{11635 + 400 + 6750});
    const std::vector<SentCommand> sent = SentWith(drive, kOpWrite10);
    for (const SentCommand& w : sent) EXPECT_EQ(w.dataOut.size() % 2368, 0u);

    // Block 0 holds 2048 zero bytes: its scrambled sector is the ECMA-130 one, and its Q says
    // track 1, index 1, relative 00:00:00, absolute 00:02:00.
    const std::vector<uint8_t> all = WrittenBytes(drive);
    const size_t at = size_t{11635} * 2368;
    ASSERT_GE(all.size(), at + 2368);
    EXPECT_EQ(Sha1Hex(std::span<const uint8_t>(all.data() + at, 2352)),
              "5d6926fd53a6c19a5898806069460996b0e37904");
    const uint8_t q[10] = {0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    EXPECT_EQ(std::memcmp(all.data() + at + 2352, q, 10), 0);
    EXPECT_EQ(all[at + 2352 + 15] & 0x80, 0);  // P off in the track
    EXPECT_EQ(drive.Count(kOpSendCueSheet), 0u);
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(run.progress.back(), std::make_pair(uint64_t{400 * 2048}, uint64_t{400 * 2048}));
}

TEST(CdDiscAtOnceRaw, TakesTheLeadInFromTheAtipWhenTheDriveGivesNoneAndPwBlocksOf2448) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});  // next writable address 0: not a lead-in
    MemorySource source(PatternImage(100 * 2048));
    WriteOptions options = Options(WriteMethod::DiscAtOnceRawPw);
    options.copyPermitted = true;
    const WriteRun run = RunWrite(drive, options, source);
    ASSERT_TRUE(run.ok) << run.text;
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 16u);
    EXPECT_EQ(page[4] & 0x0F, 0x03);  // 2352 + 96, raw P-W
    // ATIP lead-in 97:26:65 = -11635; the track padded to 300 blocks; 26 blocks of 2448 fit.
    EXPECT_EQ(CheckContiguous(Writes(drive), -11635, 26), uint64_t{11635 + 300 + 6750});
    for (const SentCommand& w : SentWith(drive, kOpWrite10)) EXPECT_EQ(w.dataOut.size() % 2448, 0u);
}

TEST(CdDiscAtOnceRaw, RefusesALeadInTooShortForTheTableOfContentsBeforeAnyWrite) {
    // An ATIP lead-in start of 99:59:70 (block -155) leaves 5 blocks: not even one round of the
    // four TOC items, three blocks each. Writing it would give a disc without a TOC.
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    drive.On(kOpReadToc, [](const ScsiRequest& r) {
        std::vector<uint8_t> atip = AtipReply(false);
        atip[8] = 99, atip[9] = 59, atip[10] = 70;
        return Deliver(r, (r.cdb[2] & 0x0F) == 4 ? atip : std::vector<uint8_t>{});
    });
    MemorySource source(PatternImage(100 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::DiscAtOncePq), source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::NotSupported);
    EXPECT_EQ(drive.Count(kOpWrite10), 0u);
}

TEST(CdDiscAtOnceRaw, RefusesAnAppendableResultBeforeAnythingIsSent) {
    ScriptedDrive drive;
    ScriptWriter(drive, DiscScript{});
    MemorySource source(PatternImage(100 * 2048));
    WriteOptions options = Options(WriteMethod::DiscAtOncePq);
    options.multisession = true;
    const WriteRun run = RunWrite(drive, options, source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::NotSupported);
    EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
    EXPECT_EQ(drive.Count(kOpWrite10), 0u);
}
