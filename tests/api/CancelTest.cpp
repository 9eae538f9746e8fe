#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/api/Session.h"

using namespace burnlib;
using apitest::Errors;
using apitest::Recorder;
using apitest::Session;
using namespace std::chrono_literals;

namespace {

// Waits (with a deadline) until the recorder has seen more than `count` commands.
bool WaitForCommands(const VirtualRecorder& recorder, uint64_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (recorder.CommandCount() <= count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(Cancel, FromAnotherThreadEndsTheRunningCallWithinOneCommand) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);

    // The uncancelled call, for comparison: setting the write speed alone reads the profile,
    // the capabilities and the current read speed before it sets both.
    uint64_t before = recorder->CommandCount();
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_SetSpeeds(g, e.text, sizeof e.text, &e.systemError,
                                                   &e.failure, STARBURN_SPEED_UNCHANGED, 706),
              STARBURN_OK);
    const uint64_t fullProbe = recorder->CommandCount() - before;
    ASSERT_GE(fullProbe, 4u);

    recorder->SetCommandLatency(200ms);
    before = recorder->CommandCount();
    std::atomic<uint32_t> result{0xFFFFFFFF};
    Errors workerErrors;
    std::thread worker([&] {
        result = StarBurn_CdvdBurnerGrabber_SetSpeeds(
            g, workerErrors.text, sizeof workerErrors.text, &workerErrors.systemError,
            &workerErrors.failure, STARBURN_SPEED_UNCHANGED, 706);
    });
    ASSERT_TRUE(WaitForCommands(*recorder, before));
    const uint64_t atCancel = recorder->CommandCount();
    StarBurn_CdvdBurnerGrabber_Cancel(g);
    worker.join();

    EXPECT_EQ(result.load(), STARBURN_ERROR_CANCELLED);
    EXPECT_LE(recorder->CommandCount(), atCancel + 1);
    EXPECT_LT(recorder->CommandCount() - before, fullProbe);
    EXPECT_NE(std::string(workerErrors.text).find("cancelled"), std::string::npos)
        << workerErrors.text;

    // The cancel was spent on that call: the next one runs.
    recorder->SetCommandLatency(0ms);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_OK)
        << e.text;
    StarBurn_Destroy(&g);
}

TEST(Cancel, DestroyingADriveObjectEndsItsRunningCallAndInvalidatesTheHandle) {
    auto recorder = Recorder("dvd-dl-writer", "dvd+r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    const STARBURN_GRABBER stale = g;
    recorder->SetCommandLatency(100ms);
    const uint64_t before = recorder->CommandCount();
    std::atomic<uint32_t> result{0xFFFFFFFF};
    std::thread worker([&] {
        Errors we;
        uint32_t s[4];
        result = StarBurn_CdvdBurnerGrabber_GetSpeeds(stale, we.text, sizeof we.text,
                                                      &we.systemError, &we.failure, &s[0], &s[1],
                                                      &s[2], &s[3]);
    });
    ASSERT_TRUE(WaitForCommands(*recorder, before));
    const uint64_t atDestroy = recorder->CommandCount();
    StarBurn_Destroy(&g);
    EXPECT_EQ(g, nullptr);
    worker.join();
    EXPECT_EQ(result.load(), STARBURN_ERROR_CANCELLED);
    EXPECT_LE(recorder->CommandCount(), atDestroy + 1);
    recorder->SetCommandLatency(0ms);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(stale, e.text, sizeof e.text,
                                                       &e.systemError, &e.failure),
              STARBURN_ERROR_INVALID_PARAMETER);
}

TEST(Cancel, CancelRacingCreateAndDestroyIsSafe) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "cd-r-blank")}));
    std::atomic<STARBURN_GRABBER> current{nullptr};
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        while (!stop) StarBurn_CdvdBurnerGrabber_Cancel(current.load());
    });
    for (int i = 0; i < 200; ++i) {
        Errors e;
        STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
        ASSERT_NE(g, nullptr) << e.text;
        current = g;
        const uint32_t r = StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text,
                                                                    &e.systemError, &e.failure);
        EXPECT_TRUE(r == STARBURN_OK || r == STARBURN_ERROR_CANCELLED) << r;
        StarBurn_Destroy(&g);
        EXPECT_EQ(g, nullptr);
    }
    stop = true;
    canceller.join();
}

namespace {

STARBURN_GRABBER OpenForBurning(const char* name, Errors* e) {
    STARBURN_GRABBER g = nullptr;
    StarBurn_CdvdBurnerGrabber_CreateEx(&g, e->text, sizeof e->text, &e->systemError, &e->failure,
                                        nullptr, nullptr, name, 0);
    return g;
}

uint32_t Ready(STARBURN_GRABBER g, Errors* e) {
    return StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e->text, sizeof e->text, &e->systemError,
                                                    &e->failure);
}

}  // namespace

TEST(Cancel, WhileNoCallRunsItDoesNotFailTheNextCallOfAProbingObject) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "cd-r-blank")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    StarBurn_CdvdBurnerGrabber_Cancel(g);
    EXPECT_EQ(Ready(g, &e), STARBURN_OK) << e.text;
    StarBurn_Destroy(&g);
}

TEST(Cancel, ABurnsCancelBetweenTwoCallsHoldsForEveryLaterCall) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = OpenForBurning("CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;
    ASSERT_EQ(Ready(g, &e), STARBURN_OK) << e.text;

    StarBurn_CdvdBurnerGrabber_Cancel(g);
    const uint64_t before = recorder->CommandCount();
    EXPECT_EQ(Ready(g, &e), STARBURN_ERROR_CANCELLED);
    EXPECT_EQ(Ready(g, &e), STARBURN_ERROR_CANCELLED);
    uint32_t speeds[4];
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetSpeeds(g, e.text, sizeof e.text, &e.systemError,
                                                   &e.failure, &speeds[0], &speeds[1], &speeds[2],
                                                   &speeds[3]),
              STARBURN_ERROR_CANCELLED);
    EXPECT_EQ(recorder->CommandCount(), before) << "a cancelled burn sent a command";
    // Even a call that needs no command does not pass as done.
    char v[STARBURN_ID_TEXT_SIZE], p[STARBURN_ID_TEXT_SIZE], r[STARBURN_ID_TEXT_SIZE];
    uint32_t kb = 0;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, v, p, r, &kb),
              STARBURN_ERROR_CANCELLED);
    StarBurn_Destroy(&g);
}

TEST(Cancel, ACallWaitingForADestroyedObjectFailsInsteadOfRunning) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    const STARBURN_GRABBER stale = g;
    recorder->SetCommandLatency(150ms);
    const uint64_t before = recorder->CommandCount();
    std::atomic<uint32_t> first{0xFFFFFFFF}, second{0xFFFFFFFF};
    std::thread running([&] {
        Errors we;
        first = StarBurn_CdvdBurnerGrabber_SetSpeeds(stale, we.text, sizeof we.text,
                                                     &we.systemError, &we.failure,
                                                     STARBURN_SPEED_UNCHANGED, 706);
    });
    ASSERT_TRUE(WaitForCommands(*recorder, before));
    // The second call looks the handle up now and then waits for the first to finish.
    std::thread waiting([&] {
        Errors we;
        second = Ready(stale, &we);
    });
    std::this_thread::sleep_for(50ms);
    StarBurn_Destroy(&g);
    running.join();
    waiting.join();
    EXPECT_NE(first.load(), STARBURN_OK);
    EXPECT_NE(second.load(), STARBURN_OK);
}
