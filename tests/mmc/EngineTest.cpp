// The engine itself: failures, unit attentions, cancel and clean-up, long operations.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/DiscQueries.h"
#include "burnlib/mmc/MmcDevice.h"
#include "tests/mmc/Replies.h"
#include "tests/mmc/ScriptedDrive.h"

using namespace burnlib;
using namespace burnlib::mmc;
using mmctest::Deliver;
using mmctest::ScriptedDrive;

namespace {


// Answers one command from a queue of results, the last one repeated.
ScriptedDrive::Handler Sequence(std::deque<ScsiResult> results) {
    auto queue = std::make_shared<std::deque<ScsiResult>>(std::move(results));
    return [queue](const ScsiRequest&) {
        const ScsiResult r = queue->front();
        if (queue->size() > 1) queue->pop_front();
        return r;
    };
}

const ScsiResult kGood = ScsiResult::Ok(0);
const ScsiResult kLongWrite = ScsiResult::Check(0x02, 0x04, 0x08);
const ScsiResult kInProgress = ScsiResult::Check(0x02, 0x04, 0x07);

struct SleepLog {
    std::vector<uint32_t> sleeps;
    uint64_t Total() const {
        uint64_t t = 0;
        for (uint32_t s : sleeps) t += s;
        return t;
    }
};

}  // namespace

TEST(EngineCommands, RetriesUnitAttentionsAFewTimesOnly) {
    ScriptedDrive drive;
    int attentions = 1;
    drive.On(kOpTestUnitReady, [&](const ScsiRequest&) {
        return attentions-- > 0 ? ScsiResult::Check(0x06, 0x28, 0x00) : ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    EXPECT_TRUE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 2u);

    drive.Refuse(kOpTestUnitReady, 0x06, 0x29, 0x00);
    EXPECT_FALSE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 2u + 4u);
    EXPECT_EQ(device.LastFailure().outcome, Outcome::CheckCondition);
}

TEST(EngineCommands, AUnitAttentionAfterTheMediumWasWrittenEndsTheOperation) {
    ScriptedDrive drive;
    drive.Answer(kOpWrite10, {});
    drive.Refuse(kOpTestUnitReady, 0x06, 0x28, 0x00);
    MmcDevice device(drive.Open());
    const std::vector<uint8_t> block(2048, 0x5A);

    device.BeginOperation();
    ASSERT_TRUE(device.ExecuteWrite(MakeWrite10(0, 1), block.data(), 2048));
    EXPECT_FALSE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 1u);  // not retried: the disc may be another one
    EXPECT_EQ(device.LastFailure().senseKey, 0x06);
    EXPECT_EQ(device.LastFailure().asc, 0x28);
    device.EndOperation();

    // A reset reported on the first WRITE itself: the page set up for it is gone.
    drive.Refuse(kOpWrite10, 0x06, 0x29, 0x00);
    device.BeginOperation();
    EXPECT_FALSE(device.ExecuteWrite(MakeWrite10(0, 1), block.data(), 2048));
    EXPECT_EQ(drive.Count(kOpWrite10), 2u);
    device.EndOperation();

    // The next operation has written nothing: its unit attentions are events again.
    drive.On(kOpTestUnitReady, Sequence({ScsiResult::Check(0x06, 0x28, 0x00), kGood}));
    device.BeginOperation();
    EXPECT_TRUE(TestUnitReady(device));
    device.EndOperation();
}

TEST(EngineCommands, DescribesFailuresWithCommandAndSense) {
    ScriptedDrive drive;
    drive.Refuse(kOpReadTrackInformation, 0x05, 0x24, 0x00);
    MmcDevice device(drive.Open());
    TrackInformation t;
    EXPECT_FALSE(ReadTrackInformation(device, kTrackAddressNumber, 1, &t));
    const CommandFailure& f = device.LastFailure();
    EXPECT_EQ(f.text, "READ TRACK INFORMATION failed: sense 05/24/00 (invalid field in CDB)");
    EXPECT_EQ(f.cdb[0], kOpReadTrackInformation);
    EXPECT_EQ(f.cdbLength, 10);
    EXPECT_EQ(f.senseKey, 0x05);
    EXPECT_EQ(f.asc, 0x24);
    EXPECT_EQ(f.senseLength, 18);
    EXPECT_FALSE(f.deferred);

    drive.On(kOpInquiry, [](const ScsiRequest&) { return ScsiResult::SystemFailure(31); });
    InquiryData id;
    EXPECT_FALSE(Identify(device, &id));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::SystemError);
    EXPECT_EQ(device.LastFailure().systemError, 31u);
    EXPECT_EQ(device.LastFailure().text, "INQUIRY failed: system error 31");
}

TEST(EngineCommands, RecordsTheCommandAsSentWhenItsAnswerMakesNoSense) {
    ScriptedDrive drive;
    drive.Answer(kOpReadDiscInformation, mmctest::DiscInfo(2, 0x00));
    // A table whose second track starts before the first: 812 bytes arrive, all of them used.
    std::vector<std::pair<uint8_t, int32_t>> entries = {{1, 5000}, {2, 100}};
    for (uint8_t n = 3; n <= 100; ++n) entries.push_back({n, 200000 + n});
    entries.push_back({0xAA, 300000});
    std::vector<uint8_t> toc = mmctest::TocReply(entries, 4);
    ASSERT_EQ(toc.size(), 812u);
    drive.Answer(kOpReadToc, toc);
    MmcDevice device(drive.Open());
    TableOfContents t;
    EXPECT_FALSE(ReadTableOfContents(device, true, &t));
    const CommandFailure& f = device.LastFailure();
    EXPECT_EQ(f.outcome, Outcome::BadResponse);
    EXPECT_EQ(f.cdb[0], kOpReadToc);
    EXPECT_EQ(GetBe16(f.cdb + 7), 812);
    EXPECT_NE(f.text.find("(812 bytes)"), std::string::npos) << f.text;

    // A capabilities page too short for its fixed fields: the MODE SENSE that fetched it.
    std::vector<uint8_t> page = mmctest::CapabilitiesReply(true, 0, 0);
    page[1] = 8 + 12 - 2;
    page[9] = 10;
    page.resize(8 + 12);
    drive.Answer(kOpModeSense10, page);
    Capabilities caps;
    EXPECT_FALSE(ReadCapabilities(device, &caps));
    EXPECT_EQ(device.LastFailure().cdb[0], kOpModeSense10);
    EXPECT_EQ(device.LastFailure().cdb[2], kPageCapabilities);
    EXPECT_EQ(GetBe16(device.LastFailure().cdb + 7), drive.Sent().back().allocation);
    EXPECT_NE(device.LastFailure().text.find("(20 bytes)"), std::string::npos);
}

TEST(EngineCommands, NeverBelievesATransferLargerThanTheBuffer) {
    ScriptedDrive drive;
    drive.On(kOpInquiry, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(r.dataLength, 'A');
        reply[0] = 0x05;
        reply[4] = 0xFF;
        ScsiResult result = Deliver(r, reply);
        result.transferred = 1u << 30;
        return result;
    });
    MmcDevice device(drive.Open());
    InquiryData id;
    ASSERT_TRUE(Identify(device, &id));
    EXPECT_EQ(id.vendor, "AAAAAAAA");
}

TEST(EngineCancel, StopsTheRunningOperationBeforeItsNextCommand) {
    ScriptedDrive drive;
    drive.Answer(kOpTestUnitReady, {});
    drive.On(kOpGetConfiguration, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(64, 0);
        reply[3] = 60;
        return Deliver(r, reply);
    });
    MmcDevice device(drive.Open());

    // Cancelled while the drive answers the header: the second read is never sent, and no
    // later command of the operation either.
    device.BeginOperation();
    drive.beforeEach = [&] { device.Cancel(); };
    Configuration c;
    EXPECT_FALSE(ReadConfiguration(device, &c));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 1u);
    drive.beforeEach = nullptr;
    EXPECT_FALSE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 0u);
    device.EndOperation();

    device.BeginOperation();
    EXPECT_TRUE(TestUnitReady(device));
    device.EndOperation();
}

TEST(EngineCancel, ACancelWhileNothingRunsDoesNotFailTheNextOperation) {
    ScriptedDrive drive;
    drive.Answer(kOpTestUnitReady, {});
    MmcDevice device(drive.Open());
    device.Cancel();
    EXPECT_TRUE(TestUnitReady(device));  // a command outside any operation (creating the drive)
    device.BeginOperation();
    EXPECT_TRUE(TestUnitReady(device));
    device.EndOperation();

    // A cancel the operation never acted on ends with it.
    device.BeginOperation();
    device.Cancel();
    device.EndOperation();
    device.BeginOperation();
    EXPECT_TRUE(TestUnitReady(device));
    device.EndOperation();
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 3u);
}

TEST(EngineCleanup, SendsCleanupCommandsAfterACancelAndKeepsTheFirstFailure) {
    ScriptedDrive drive;
    drive.Answer(kOpTestUnitReady, {});
    drive.Answer(kOpSynchronizeCache, {});
    drive.Refuse(kOpCloseTrackSession, 0x05, 0x2C, 0x00);
    MmcDevice device(drive.Open());

    device.BeginOperation();
    device.Cancel();
    EXPECT_FALSE(TestUnitReady(device));
    {
        MmcDevice::CleanupScope cleanup(device);
        EXPECT_TRUE(device.Execute(MakeSynchronizeCache(false), DataDirection::None, nullptr, 0));
        EXPECT_FALSE(device.Execute(MakeCloseTrackSession(false, 2, 0), DataDirection::None,
                                    nullptr, 0));
    }
    EXPECT_EQ(drive.Count(kOpSynchronizeCache), 1u);
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 1u);
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    // Outside the scope the cancel holds again.
    EXPECT_FALSE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 0u);
    device.EndOperation();

    // Without an earlier failure, a failing clean-up command is the operation's failure.
    device.BeginOperation();
    {
        MmcDevice::CleanupScope cleanup(device);
        device.Execute(MakeCloseTrackSession(false, 2, 0), DataDirection::None, nullptr, 0);
    }
    EXPECT_EQ(device.LastFailure().asc, 0x2C);
    device.EndOperation();
}

TEST(EngineLongOperations, ResendsAWriteWhileTheDriveIsBusyWritingForABoundedTime) {
    ScriptedDrive drive;
    drive.On(kOpWrite10, Sequence({kLongWrite, kLongWrite, kGood}));
    MmcDevice device(drive.Open());
    SleepLog log;
    device.SetSleep([&](uint32_t ms) { log.sleeps.push_back(ms); });
    const std::vector<uint8_t> blocks(16 * 2048, 1);
    const Cdb write = MakeWrite10(1000, 16);

    device.BeginOperation();
    ASSERT_TRUE(device.ExecuteWrite(write, blocks.data(), static_cast<uint32_t>(blocks.size())));
    ASSERT_EQ(drive.Count(kOpWrite10), 3u);
    for (const auto& sent : drive.Sent()) {
        EXPECT_EQ(sent.cdb, std::vector<uint8_t>(write.bytes, write.bytes + 10));
        EXPECT_EQ(sent.dataOut, blocks);
    }
    EXPECT_EQ(log.sleeps.size(), 2u);
    device.EndOperation();

    // A drive that never drains its buffer: given up after the limit.
    drive.On(kOpWrite10, Sequence({kLongWrite}));
    log.sleeps.clear();
    device.BeginOperation();
    EXPECT_FALSE(device.ExecuteWrite(write, blocks.data(), static_cast<uint32_t>(blocks.size())));
    EXPECT_EQ(log.Total(), MmcDevice::kLongWriteLimitMs);
    EXPECT_EQ(device.LastFailure().ascq, 0x08);
    device.EndOperation();

    // Other errors are not resent.
    drive.Refuse(kOpWrite10, 0x03, 0x0C, 0x09);
    const size_t before = drive.Count(kOpWrite10);
    device.BeginOperation();
    EXPECT_FALSE(device.ExecuteWrite(write, blocks.data(), static_cast<uint32_t>(blocks.size())));
    EXPECT_EQ(drive.Count(kOpWrite10), before + 1);
    device.EndOperation();
}

TEST(EngineLongOperations, WaitsUntilNeitherTheUnitNorTheDiscIsBusy) {
    ScriptedDrive drive;
    // Still busy with the cache, then ready while the disc information still says "writing".
    drive.On(kOpSynchronizeCache, Sequence({kGood}));
    drive.On(kOpTestUnitReady, Sequence({kInProgress, kInProgress, kLongWrite, kGood}));
    drive.On(kOpReadDiscInformation, [&, calls = 0](const ScsiRequest& r) mutable {
        return ++calls == 1 ? kLongWrite : Deliver(r, mmctest::DiscInfo(1, 0));
    });
    MmcDevice device(drive.Open());
    SleepLog log;
    device.SetSleep([&](uint32_t ms) { log.sleeps.push_back(ms); });

    device.BeginOperation();
    ASSERT_TRUE(device.ExecuteImmediate(MakeSynchronizeCache(true), 60));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 5u);
    EXPECT_EQ(drive.Count(kOpReadDiscInformation), 2u);
    EXPECT_EQ(log.sleeps.size(), 5u);
    device.EndOperation();

    // A CLOSE refused because the drive is still busy is sent again.
    drive.On(kOpCloseTrackSession, Sequence({kInProgress, kGood}));
    device.BeginOperation();
    EXPECT_TRUE(device.ExecuteImmediate(MakeCloseTrackSession(true, 2, 0), 60));
    EXPECT_EQ(drive.Count(kOpCloseTrackSession), 2u);
    device.EndOperation();

    // Busy for longer than allowed.
    drive.On(kOpTestUnitReady, Sequence({kInProgress}));
    log.sleeps.clear();
    device.BeginOperation();
    EXPECT_FALSE(device.WaitWhileBusy(2));
    EXPECT_EQ(log.Total(), 2000u);
    EXPECT_NE(device.LastFailure().text.find("busy"), std::string::npos);
    device.EndOperation();

    // The medium taken out ends the wait at once.
    drive.Refuse(kOpTestUnitReady, 0x02, 0x3A, 0x00);
    log.sleeps.clear();
    device.BeginOperation();
    EXPECT_FALSE(device.WaitWhileBusy(60));
    EXPECT_EQ(log.sleeps.size(), 1u);
    device.EndOperation();
}

TEST(EngineLongOperations, ADeferredErrorFailsTheOperationItBelongsTo) {
    ScriptedDrive drive;
    drive.Answer(kOpSynchronizeCache, {});
    // The buffered data could not be written: reported on the first poll after the Immed SYNC.
    drive.On(kOpTestUnitReady,
             Sequence({mmctest::DeferredCheck(0x03, 0x0C, 0x00), kGood}));
    MmcDevice device(drive.Open());
    device.SetSleep([](uint32_t) {});
    device.BeginOperation();
    EXPECT_FALSE(device.ExecuteImmediate(MakeSynchronizeCache(true), 60));
    const CommandFailure& f = device.LastFailure();
    EXPECT_TRUE(f.deferred);
    EXPECT_EQ(f.senseKey, 0x03);
    EXPECT_EQ(f.asc, 0x0C);
    EXPECT_NE(f.text.find("deferred"), std::string::npos);
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 1u);
    device.EndOperation();

    // A deferred unit attention is an error of an earlier command, not an event to retry.
    drive.On(kOpTestUnitReady, Sequence({mmctest::DeferredCheck(0x06, 0x28, 0x00), kGood}));
    device.BeginOperation();
    EXPECT_FALSE(TestUnitReady(device));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 2u);
    device.EndOperation();
}

TEST(EngineLongOperations, ACancelEndsTheWaitUnlessItIsPartOfTheCleanup) {
    ScriptedDrive drive;
    drive.On(kOpTestUnitReady, Sequence({kInProgress, kInProgress, kGood}));
    drive.Answer(kOpReadDiscInformation, mmctest::DiscInfo(1, 0));
    MmcDevice device(drive.Open());
    device.SetSleep([&](uint32_t) { device.Cancel(); });
    device.BeginOperation();
    EXPECT_FALSE(device.WaitWhileBusy(60));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 0u);
    {
        MmcDevice::CleanupScope cleanup(device);
        EXPECT_TRUE(device.WaitWhileBusy(60));
    }
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 3u);
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    device.EndOperation();
}

// A drive still finishing a close or a background format answers other commands "in progress":
// they are asked again after growing pauses, for a bounded time, and a cancel ends the wait.
TEST(EngineLongOperations, AsksAgainWhileTheDriveIsBusyWithEarlierWork) {
    ScriptedDrive drive;
    drive.On(kOpModeSense10, Sequence({kInProgress, kLongWrite, kInProgress, kGood}));
    MmcDevice device(drive.Open());
    SleepLog log;
    device.SetSleep([&](uint32_t ms) { log.sleeps.push_back(ms); });
    std::vector<uint8_t> page(8, 0xEE);
    device.BeginOperation();
    EXPECT_TRUE(device.Execute(MakeModeSense10(0x05, 0, 8), DataDirection::In, page.data(), 8));
    EXPECT_EQ(drive.Count(kOpModeSense10), 4u);
    EXPECT_EQ(log.sleeps, (std::vector<uint32_t>{MmcDevice::kFirstPollMs, 2 * MmcDevice::kFirstPollMs,
                                                 4 * MmcDevice::kFirstPollMs}));
    device.EndOperation();

    // TEST UNIT READY is how "are you still busy" is asked: its answer goes to the caller.
    drive.On(kOpTestUnitReady, Sequence({kInProgress, kGood}));
    device.BeginOperation();
    EXPECT_FALSE(device.Execute(MakeTestUnitReady(), DataDirection::None, nullptr, 0));
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 1u);
    device.EndOperation();

    // Busy for good: the wait ends, bounded, with the reason.
    drive.On(kOpModeSense10, Sequence({kInProgress}));
    log.sleeps.clear();
    device.BeginOperation();
    EXPECT_FALSE(device.Execute(MakeModeSense10(0x05, 0, 8), DataDirection::In, page.data(), 8));
    EXPECT_NE(device.LastFailure().text.find("stayed busy"), std::string::npos);
    EXPECT_GE(log.Total(), MmcDevice::kLongWriteLimitMs);
    EXPECT_LT(log.Total(), MmcDevice::kLongWriteLimitMs + MmcDevice::kPollIntervalMs + 1);
    device.EndOperation();

    // The user cancels while the drive is busy: the command is not sent again.
    const uint64_t before = drive.Count(kOpModeSense10);
    device.SetSleep([&](uint32_t) { device.Cancel(); });
    device.BeginOperation();
    EXPECT_FALSE(device.Execute(MakeModeSense10(0x05, 0, 8), DataDirection::In, page.data(), 8));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    EXPECT_EQ(drive.Count(kOpModeSense10), before + 1);
    device.EndOperation();
}
