// What a write guards: refusals before the first WRITE, the hold on the drive given back on every
// path, a cancel or a failing image ending the write with the cache still synchronised; and the
// calls around a write (buffer-underrun protection, power calibration, eject).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "burnlib/mmc/Cdb.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/WriteFlow.h"
#include "burnlib/mmc/WriteSetup.h"
#include "tests/mmc/WriteScript.h"

using namespace burnlib;
using namespace burnlib::mmc;
using namespace mmctest;

namespace {

DiscScript Medium(uint16_t profile) {
    DiscScript d;
    d.profile = profile;
    d.freeBlocks = profile == 0x0009 ? 359849 : 2295104;
    d.backgroundFormat = 3;
    return d;
}

// Nothing that changes the disc or its drive's set-up went out.
void ExpectUntouched(const ScriptedDrive& drive) {
    for (uint8_t op : {kOpModeSelect10, kOpWrite10, kOpSendCueSheet, kOpSynchronizeCache,
                       kOpCloseTrackSession, kOpFormatUnit})
        EXPECT_EQ(drive.Count(op), 0u) << "opcode " << int{op};
}

}  // namespace

TEST(WriteRefusals, TestWritesOnMediaThatCannotSimulateAreRefusedBeforeAnything) {
    // DVD+R, DVD+R DL, DVD+RW, DVD-RAM, DVD-RW restricted overwrite, BD-R.
    for (uint16_t profile : {0x001B, 0x002B, 0x001A, 0x0012, 0x0013, 0x0041}) {
        SCOPED_TRACE(profile);
        ScriptedDrive drive;
        ScriptWriter(drive, Medium(profile));
        MemorySource source(PatternImage(64 * 2048));
        WriteOptions options = Options(WriteMethod::TrackAtOnce);
        options.testWrite = true;
        const WriteRun run = RunWrite(drive, options, source);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.outcome, Outcome::NotSupported);
        EXPECT_NE(run.text.find("test write"), std::string::npos) << run.text;
        ExpectUntouched(drive);
    }
}

TEST(WriteRefusals, ADriveWithoutTestWriteForTheMethodIsRefused) {
    ScriptedDrive drive;
    DiscScript disc = Medium(0x0009);
    disc.features = {{0x002D, {0x40, 0, 0x01, 0x0A}}, {0x002E, {0x6D, 0, 0xFF, 0xFF}}};
    ScriptWriter(drive, disc);
    MemorySource source(PatternImage(64 * 2048));
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.testWrite = true;
    EXPECT_FALSE(RunWrite(drive, options, source).ok);  // 002Dh has no Test Write bit
    ExpectUntouched(drive);

    options.method = WriteMethod::SessionAtOnce;  // 002Eh has one
    MemorySource again(PatternImage(64 * 2048));
    EXPECT_TRUE(RunWrite(drive, options, again).ok);
}

TEST(WriteRefusals, EmptyOrOversizedImagesAndDiscAtOnceOnDvdTouchNothing) {
    {
        ScriptedDrive drive;
        ScriptWriter(drive, Medium(0x0009));
        MemorySource empty(std::vector<uint8_t>{});
        const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), empty);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.outcome, Outcome::InvalidParameter);
        EXPECT_TRUE(drive.Sent().empty());
    }
    {
        // 1000 blocks free; 999 blocks and a byte need 1000 blocks and fit, one more does not.
        DiscScript disc = Medium(0x0009);
        disc.freeBlocks = 1000;
        ScriptedDrive fits;
        ScriptWriter(fits, disc);
        MemorySource exact(PatternImage(999 * 2048 + 1));
        EXPECT_TRUE(RunWrite(fits, Options(WriteMethod::TrackAtOnce), exact).ok);
        ScriptedDrive drive;
        ScriptWriter(drive, disc);
        MemorySource big(PatternImage(1000 * 2048 + 1));
        const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), big);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.outcome, Outcome::InvalidParameter);
        EXPECT_NE(run.text.find("does not fit"), std::string::npos) << run.text;
        ExpectUntouched(drive);
    }
    {
        // DVD-R packets: 993 blocks pad to 1008, more than 1000 free.
        DiscScript disc = Medium(0x0011);
        disc.freeBlocks = 1000;
        ScriptedDrive drive;
        ScriptWriter(drive, disc);
        MemorySource source(PatternImage(993 * 2048));
        EXPECT_FALSE(RunWrite(drive, Options(WriteMethod::TrackAtOnce), source).ok);
        ExpectUntouched(drive);
    }
    for (WriteMethod method : {WriteMethod::DiscAtOncePq, WriteMethod::DiscAtOnceRawPw}) {
        ScriptedDrive drive;
        ScriptWriter(drive, Medium(0x001B));
        MemorySource source(PatternImage(64 * 2048));
        const WriteRun run = RunWrite(drive, Options(method), source);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.outcome, Outcome::NotSupported);
        ExpectUntouched(drive);
    }
}

TEST(WriteHold, ExclusiveAccessAndTheTrayLockAreTakenAndGivenBack) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    drive.exclusive = ScriptedDrive::Exclusive::Granted;
    MemorySource source(PatternImage(64 * 2048));
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.lockTray = true;
    ASSERT_TRUE(RunWrite(drive, options, source).ok);
    EXPECT_EQ(drive.exclusiveTaken, 1);
    EXPECT_EQ(drive.exclusiveReleased, 1);
    const std::vector<SentCommand> locks = SentWith(drive, kOpPreventAllowMediumRemoval);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].cdb[4], 0x01);
    EXPECT_EQ(locks[1].cdb[4], 0x00);
    // The tray is locked before the first WRITE and unlocked after the last command.
    EXPECT_EQ(drive.Sent().back().cdb[0], kOpPreventAllowMediumRemoval);

    // lockTray 0: no lock.
    ScriptedDrive unlocked;
    ScriptWriter(unlocked, Medium(0x0009));
    MemorySource again(PatternImage(64 * 2048));
    ASSERT_TRUE(RunWrite(unlocked, Options(WriteMethod::TrackAtOnce), again).ok);
    EXPECT_EQ(unlocked.Count(kOpPreventAllowMediumRemoval), 0u);
}

TEST(WriteHold, ADriveHeldByAnotherProgramIsRefusedUntouched) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    drive.exclusive = ScriptedDrive::Exclusive::HeldByAnother;
    MemorySource source(PatternImage(64 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::SystemError);
    ExpectUntouched(drive);
    EXPECT_EQ(drive.Count(kOpPreventAllowMediumRemoval), 0u);
}

TEST(WriteFailures, AWriteErrorStillSynchronisesUnlocksAndReleases) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    drive.exclusive = ScriptedDrive::Exclusive::Granted;
    int writes = 0;
    drive.On(kOpWrite10, [&](const ScsiRequest&) {
        return ++writes == 3 ? ScsiResult::Check(0x03, 0x0C, 0x00) : ScsiResult::Ok(0);
    });
    MemorySource source(PatternImage(400 * 2048));
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.lockTray = true;
    const WriteRun run = RunWrite(drive, options, source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::CheckCondition);
    EXPECT_EQ(drive.Count(kOpWrite10), 3u);
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(SentWith(drive, kOpPreventAllowMediumRemoval).back().cdb[4], 0x00);
    EXPECT_EQ(drive.exclusiveReleased, 1);
    EXPECT_FALSE(run.left.open);
    // The progress never claims the whole image.
    for (auto [done, total] : run.progress) EXPECT_LT(done, total);
}

TEST(WriteFailures, AnImageThatFailsMidWayEndsTheWriteAsAFailure) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0011));
    MemorySource source(PatternImage(3000 * 2048));
    source.failAt = 1536 * 2048;  // the read fails after the first chunks, well before the end
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.outcome, Outcome::SystemError);
    EXPECT_NE(run.text.find("read error in image.iso"), std::string::npos) << run.text;
    // Everything read before the failure was written, and nothing more.
    uint64_t written = 0;
    for (auto [lba, blocks] : Writes(drive)) written += blocks;
    EXPECT_GT(written, 0u);
    EXPECT_LE(written * 2048, *source.failAt);
    EXPECT_EQ(written * 2048, uint64_t{source.chunkBytes} * static_cast<uint64_t>(source.acquired));
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(source.acquired, source.released);
}

TEST(WriteFailures, ACancelEndsTheWriteWithinOneTransferAndTheCleanUpStillRuns) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    drive.exclusive = ScriptedDrive::Exclusive::Granted;
    MmcDevice device(drive.Open());
    device.SetSleep([](uint32_t) {});
    size_t writes = 0;
    drive.beforeEach = [&] {
        if (!drive.Sent().empty() && drive.Sent().back().cdb[0] == kOpWrite10 && ++writes == 4)
            device.Cancel();
    };
    MemorySource source(PatternImage(1000 * 2048));
    WriteOptions options = Options(WriteMethod::TrackAtOnce);
    options.lockTray = true;
    device.BeginOperation();
    OpenTrack left;
    EXPECT_FALSE(WriteImage(device, options, source, {}, &left));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    device.EndOperation();
    EXPECT_TRUE(source.stopped.load());  // a wait for the image would have ended too
    EXPECT_LE(drive.Count(kOpWrite10), 5u);
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(SentWith(drive, kOpPreventAllowMediumRemoval).back().cdb[4], 0x00);
    EXPECT_EQ(drive.exclusiveReleased, 1);
    EXPECT_FALSE(left.open);

    // The drive takes the next operation.
    drive.beforeEach = nullptr;
    MemorySource next(PatternImage(64 * 2048));
    device.BeginOperation();
    EXPECT_TRUE(WriteImage(device, Options(WriteMethod::TrackAtOnce), next, {}, &left));
    device.EndOperation();
}

TEST(BufferUnderrunProtection, ReadFromTheFeaturesAndBufeSetThroughPage05) {
    ScriptedDrive drive;
    DiscScript disc = Medium(0x0009);
    disc.bufe = false;
    ScriptWriter(drive, disc);
    MmcDevice device(drive.Open());
    bool supported = false, enabled = true;
    ASSERT_TRUE(ReadBufferUnderrunProtection(device, &supported, &enabled));
    EXPECT_TRUE(supported);
    EXPECT_FALSE(enabled);
    ASSERT_TRUE(SetBufferUnderrunProtection(device, true));
    const std::vector<uint8_t> page = LastWritePage(drive);
    ASSERT_GE(page.size(), 3u);
    EXPECT_EQ(page[2], 0x40 | 0x01);  // BUFE on, the rest as it was

    // No BUF bit anywhere: supported 0, and switching it on fails.
    ScriptedDrive plain;
    DiscScript none = Medium(0x0009);
    none.features = {{0x002D, {0x04, 0, 0x01, 0x0A}}, {0x002E, {0x2D, 0, 0xFF, 0xFF}}};
    ScriptWriter(plain, none);
    MmcDevice other(plain.Open());
    ASSERT_TRUE(ReadBufferUnderrunProtection(other, &supported, &enabled));
    EXPECT_FALSE(supported);
    EXPECT_FALSE(SetBufferUnderrunProtection(other, true));
    EXPECT_EQ(other.LastFailure().outcome, Outcome::NotSupported);
    EXPECT_EQ(plain.Count(kOpModeSelect10), 0u);
}

TEST(PowerCalibration, SendsDoOpcAndReportsADriveWithoutItAsNotSupported) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    MmcDevice device(drive.Open());
    ASSERT_TRUE(SendOpc(device));
    const std::vector<uint8_t> cdb = {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SentWith(drive, kOpSendOpcInformation)[0].cdb, cdb);

    for (uint8_t asc : {uint8_t{0x20}, uint8_t{0x24}}) {
        drive.Refuse(kOpSendOpcInformation, 0x05, asc, 0x00);
        EXPECT_FALSE(SendOpc(device));
        EXPECT_EQ(device.LastFailure().outcome, Outcome::NotSupported);
    }
    drive.Refuse(kOpSendOpcInformation, 0x03, 0x73, 0x03);  // calibration failed
    EXPECT_FALSE(SendOpc(device));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::CheckCondition);
}

TEST(EjectTray, AllowsRemovalThenOpensTheTray) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    MmcDevice device(drive.Open());
    ASSERT_TRUE(Eject(device));
    ASSERT_EQ(drive.Sent().size(), 2u);
    EXPECT_EQ(drive.Sent()[0].cdb, (std::vector<uint8_t>{0x1E, 0, 0, 0, 0x00, 0}));
    EXPECT_EQ(drive.Sent()[1].cdb, (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x02, 0}));
}

TEST(WriteProgress, KeepsComingWhileTheDriveFinishesAndEndsAtTheTotal) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    // After the SYNCHRONIZE CACHE the drive stays busy for six polls.
    int busyPolls = 0;
    drive.On(kOpSynchronizeCache, [&](const ScsiRequest&) {
        busyPolls = 6;
        return ScsiResult::Ok(0);
    });
    drive.On(kOpTestUnitReady, [&](const ScsiRequest&) {
        return busyPolls-- > 0 ? ScsiResult::Check(0x02, 0x04, 0x08) : ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    // Each poll takes 100 ms of real time, so the six take longer than the report interval.
    device.SetSleep([](uint32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(100)); });
    MemorySource source(PatternImage(64 * 2048));
    std::vector<std::pair<uint64_t, uint64_t>> reports;
    size_t reportsAtSync = 0;
    drive.beforeEach = [&] {
        if (!drive.Sent().empty() && drive.Sent().back().cdb[0] == kOpWrite10)
            reportsAtSync = reports.size();
    };
    device.BeginOperation();
    OpenTrack left;
    ASSERT_TRUE(WriteImage(device, Options(WriteMethod::TrackAtOnce), source,
                           [&](uint64_t done, uint64_t total) { reports.emplace_back(done, total); },
                           &left));
    device.EndOperation();
    // Reports while the drive was busy, then the final one with done = total.
    ASSERT_GE(reports.size(), reportsAtSync + 2);
    EXPECT_EQ(reports.back(), std::make_pair(uint64_t{64 * 2048}, uint64_t{64 * 2048}));
}

// A drive still finishing earlier work (a close, a long write) answers TEST UNIT READY "in
// progress" (02/04/07, 02/04/08); mmc-facts: keep polling. A write or a close started then waits.
TEST(DriveStillBusy, AWriteAndACloseStartedWhileTheDriveFinishesWaitForIt) {
    for (uint8_t ascq : {0x07, 0x08}) {
        SCOPED_TRACE(int{ascq});
        ScriptedDrive drive;
        ScriptWriter(drive, Medium(0x0009));
        int busyAnswers = 3;
        drive.On(kOpTestUnitReady, [&](const ScsiRequest&) {
            return busyAnswers-- > 0 ? ScsiResult::Check(0x02, 0x04, ascq) : ScsiResult::Ok(0);
        });
        MemorySource source(PatternImage(64 * 2048));
        const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
        ASSERT_TRUE(run.ok) << run.text;
        EXPECT_GT(drive.Count(kOpWrite10), 0u);

        busyAnswers = 3;
        MmcDevice device(drive.Open());
        device.SetSleep([](uint32_t) {});
        device.BeginOperation();
        OpenTrack open = run.left;
        EXPECT_TRUE(CloseSession(device, &open)) << device.LastFailure().text;
        device.EndOperation();
        EXPECT_GT(drive.Count(kOpCloseTrackSession), 0u);
    }
}

TEST(DriveStillBusy, ADriveWithoutADiscIsNotWaitedFor) {
    ScriptedDrive drive;
    ScriptWriter(drive, Medium(0x0009));
    drive.On(kOpTestUnitReady,
             [](const ScsiRequest&) { return ScsiResult::Check(0x02, 0x3A, 0x00); });
    MemorySource source(PatternImage(64 * 2048));
    const WriteRun run = RunWrite(drive, Options(WriteMethod::TrackAtOnce), source);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 1u);
    ExpectUntouched(drive);
}
