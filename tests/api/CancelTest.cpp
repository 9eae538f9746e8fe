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
