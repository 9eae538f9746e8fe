#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/WizardMessages.h"
#include "burn/BurnSession.h"
#include "tests/burn/FakeLibrary.h"

namespace {

constexpr UINT kCloseFakePage = WM_USER + 100;

struct Row {
    WPARAM kind;
    std::string text;
    bool operator==(const Row& other) const { return kind == other.kind && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << "{" << row.kind << ", \"" << row.text << "\"}";
}

// Stands in for the burning page: records what the worker sends and answers as the page does.
class FakePage {
public:
    FakePage() {
        static const ATOM kClass = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "QuillfireFakeBurningPage";
            return ::RegisterClassA(&wc);
        }();
        (void)kClass;
        m_hwnd = ::CreateWindowExA(0, "QuillfireFakeBurningPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~FakePage() {
        if (m_hwnd) ::DestroyWindow(m_hwnd);
    }

    HWND m_hwnd = nullptr;
    std::vector<Row> m_rows;
    bool m_finished = false;
    bool m_fatal = false;
    size_t m_callsAtWriting = 0;  // library calls made when the write was announced
    int m_percentAtWriting = -1;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakePage*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (!self) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        switch (msg) {
        case WM_BURN_LOG:
            self->m_rows.push_back({wParam, g_logText});
            if (wParam == LOG_FATAL) {
                self->m_fatal = true;
                ReleaseBurnDrive(g_burnParams);
            }
            return 1;
        case WM_BURN_WRITING: {
            self->m_callsAtWriting = fakelib::Calls().size();
            CScopedLock lock(g_progressLock);
            self->m_percentAtWriting = g_burnPercent;
            ::SetEvent(g_burnParams.m_hBurnEvent);
            return 1;
        }
        case WM_BURN_FINISHED:
            self->m_finished = true;
            return 0;
        case kCloseFakePage:
            ::DestroyWindow(hwnd);
            self->m_hwnd = nullptr;
            return 1;
        default:
            return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }
};

struct Settings {
    int32_t method = 2;
    bool opc = true;
    bool test = false;
    int32_t accessKind = kAccessByName;
};

const char kImage[] = "C:\\images\\disc one.iso";

class BurnSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakelib::Reset();
        m_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override { ::CloseHandle(m_event); }

    // Runs one burn to its end while serving the worker's messages; returns the worker's result.
    UINT Burn(const Settings& settings, FakePage& page) {
        ::ResetEvent(m_event);
        {
            CScopedLock lock(g_progressLock);
            g_burnPercent = 0;
        }
        g_burnParams.m_hBurnEvent = m_event;
        g_burnParams.Reset();
        EXPECT_EQ(g_burnParams.m_hBurnEvent, m_event);
        g_burnParams.m_hPageWnd = page.m_hwnd;
        g_burnParams.m_sendOpc = settings.opc;
        g_burnParams.m_burningMode = settings.method;
        g_burnParams.m_testMode = settings.test;
        g_burnParams.m_device.m_accessKind = settings.accessKind;
        const uint8_t address[5] = {9, 1, 2, 3, 4};
        std::memcpy(g_burnParams.m_device.m_address, address, sizeof address);
        std::strcpy(g_burnParams.m_device.m_deviceName, "CdRom3");
        g_burnParams.m_burningSpeed = 7056;
        std::strcpy(g_burnParams.m_imagePath, kImage);

        std::atomic<bool> done{false};
        UINT result = 99;
        std::thread worker([&] {
            result = BurnThreadProc(&g_burnParams);
            done = true;
        });
        DWORD start = ::GetTickCount();
        // The success notice is not waited for by the worker: serve until it has arrived too.
        while (!(done && (page.m_finished || result != 1)) && ::GetTickCount() - start < 10000) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
            ::Sleep(1);
        }
        worker.join();
        return result;
    }

    HANDLE m_event = nullptr;
};

std::vector<Row> Timed(std::initializer_list<const char*> texts) {
    std::vector<Row> rows;
    for (const char* text : texts) rows.push_back({LOG_TIMED, text});
    return rows;
}

const fakelib::Call* Find(const std::vector<fakelib::Call>& calls, const std::string& name) {
    for (const auto& call : calls)
        if (call.name == name) return &call;
    return nullptr;
}

}  // namespace

TEST_F(BurnSessionTest, DiscAtOnceWithPowerCalibrationRunsTheWholeSequence) {
    FakePage page;
    EXPECT_EQ(Burn({}, page), 1u);
    EXPECT_EQ(page.m_rows, Timed({"Started", "Getting BUP (Buffer Underrun Protection) support...",
                                  "BUP successfully got",
                                  "Enabling BUP (Buffer Underrun Protection)...",
                                  "BUP enabled successfully",
                                  "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                                  "Speed successfully set",
                                  "Sending OPC (Optimum Power Calibration)...", "Burning Completed",
                                  "Eject"}));
    EXPECT_TRUE(page.m_finished);
    EXPECT_EQ(fakelib::CallNames(),
              (std::vector<std::string>{"CreateEx", "GetBUP", "SetBUP", "SetSpeeds", "GetSpeeds",
                                        "SendOPC", "SetCDTextItem", "DiscAtOncePQFromFile",
                                        "Eject", "Destroy", "DownShut"}));
    auto calls = fakelib::Calls();
    // A drive object for burning (probing 0), reached by name, reporting progress.
    EXPECT_EQ(calls[0].text, "CdRom3");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{0}));
    EXPECT_TRUE(calls[0].hadCallback);
    EXPECT_EQ(Find(calls, "SetBUP")->args, (std::vector<uint64_t>{1}));
    EXPECT_EQ(Find(calls, "SetSpeeds")->args, (std::vector<uint64_t>{0xFFFF, 7056}));
    const auto* cdText = Find(calls, "SetCDTextItem");
    EXPECT_EQ(cdText->args, (std::vector<uint64_t>{0, 1024}));
    EXPECT_EQ(cdText->text, "StarBurnImageCD|CD-Text");
    EXPECT_EQ(Find(calls, "DiscAtOncePQFromFile")->args,
              (std::vector<uint64_t>{0, 0, 0, 0, 1, 5}));
    // The write waits for the page: announced after the CD-Text call, before the write call.
    EXPECT_EQ(page.m_callsAtWriting, 7u);
    EXPECT_EQ(page.m_percentAtWriting, 0);
    EXPECT_EQ(g_burnParams.m_burnGrabber, nullptr);

    // The disc layout: one entry, the path at byte 12, every other byte zero.
    auto layout = fakelib::LastLayout();
    ASSERT_EQ(layout.size(), 27504u);
    EXPECT_EQ(layout[0], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(&layout[12]), kImage);
    size_t nonZero = 0;
    for (size_t i = 0; i < layout.size(); ++i)
        if (layout[i] && (i < 12 || i >= 12 + sizeof kImage - 1) && i != 0) ++nonZero;
    EXPECT_EQ(nonZero, 0u);
}

TEST_F(BurnSessionTest, EachWriteMethodMakesItsOwnCallWithItsArguments) {
    struct Case {
        int32_t method;
        bool test;
        const char* call;
        std::vector<uint64_t> args;
    };
    const Case cases[] = {
        {1, false, "SessionAtOnce", {0, 0, 0, 1, 5}},
        {2, true, "DiscAtOncePQFromFile", {0, 1, 0, 0, 1, 5}},
        {3, false, "DiscAtOnceRawPWFromFile", {0, 0, 0, 0, 1, 5}},
        {3, true, "DiscAtOnceRawPWFromFile", {0, 1, 0, 0, 1, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        fakelib::Reset();
        FakePage page;
        Settings settings;
        settings.method = c.method;
        settings.test = c.test;
        EXPECT_EQ(Burn(settings, page), 1u);
        auto calls = fakelib::Calls();
        const auto* write = Find(calls, c.call);
        ASSERT_NE(write, nullptr);
        EXPECT_EQ(write->args, c.args);
        EXPECT_EQ(Find(calls, "CloseSession"), nullptr);
        auto layout = fakelib::LastLayout();
        size_t offset = c.method == 1 ? 19 : 12;
        EXPECT_EQ(layout.size(), c.method == 1 ? 29108u : 27504u);
        EXPECT_EQ(layout[0], 1);
        EXPECT_STREQ(reinterpret_cast<const char*>(&layout[offset]), kImage);
    }
}

TEST_F(BurnSessionTest, TrackAtOnceClosesTheSessionExceptInTestMode) {
    {
        FakePage page;
        Settings settings;
        settings.method = 0;
        EXPECT_EQ(Burn(settings, page), 1u);
        auto calls = fakelib::Calls();
        const auto* write = Find(calls, "TrackAtOnceFromFile");
        ASSERT_NE(write, nullptr);
        EXPECT_EQ(write->text, kImage);
        EXPECT_EQ(write->args, (std::vector<uint64_t>{0, 0, 0, 1, 5}));
        ASSERT_NE(Find(calls, "CloseSession"), nullptr);
        std::vector<Row> tail(page.m_rows.end() - 4, page.m_rows.end());
        EXPECT_EQ(tail, Timed({"Closing session...", "Session closed", "Burning Completed", "Eject"}));
    }
    fakelib::Reset();
    {
        FakePage page;
        Settings settings;
        settings.method = 0;
        settings.test = true;
        EXPECT_EQ(Burn(settings, page), 1u);
        auto calls = fakelib::Calls();
        EXPECT_EQ(Find(calls, "TrackAtOnceFromFile")->args, (std::vector<uint64_t>{0, 1, 0, 1, 5}));
        EXPECT_EQ(Find(calls, "CloseSession"), nullptr);
        std::vector<Row> tail(page.m_rows.end() - 3, page.m_rows.end());
        EXPECT_EQ(tail, Timed({"Session closed", "Burning Completed", "Eject"}));
    }
}

TEST_F(BurnSessionTest, WithoutPowerCalibrationTheWriteIsAnnouncedInstead) {
    FakePage page;
    Settings settings;
    settings.opc = false;
    EXPECT_EQ(Burn(settings, page), 1u);
    ASSERT_GE(page.m_rows.size(), 8u);
    EXPECT_EQ(page.m_rows[6], (Row{LOG_TIMED, "Speed successfully set"}));
    EXPECT_EQ(page.m_rows[7], (Row{LOG_TIMED, "Writing data to the CD/DVD disc"}));
    EXPECT_EQ(page.m_rows[8], (Row{LOG_TIMED, "Burning Completed"}));
    EXPECT_EQ(Find(fakelib::Calls(), "SendOPC"), nullptr);
}

TEST_F(BurnSessionTest, ADriveReachedByAddressIsCreatedFromItsAddressBytes) {
    FakePage page;
    Settings settings;
    settings.accessKind = kAccessByAddress;
    EXPECT_EQ(Burn(settings, page), 1u);
    auto calls = fakelib::Calls();
    ASSERT_EQ(calls[0].name, "Create");
    // Bytes 1 to 4 of the address (port, bus, target, LUN), then 0: a drive object for burning.
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{1, 2, 3, 4, 0}));
    EXPECT_TRUE(calls[0].hadCallback);
}

TEST_F(BurnSessionTest, AFatalStepEndsTheBurnWithItsTextAndNothingAfterIt) {
    struct Case {
        const char* failing;
        const char* lastRow;
        size_t callsMade;  // including the failing one
    };
    const Case cases[] = {
        {"CreateEx", "CANNOT CREATE CDVDBURNERGRABBER", 1},
        {"GetBUP", "GETTING BUP FAILED", 2},
        {"SetSpeeds", "SETTING SPEEDS ERROR", 4},
        {"GetSpeeds", "SETTING SPEEDS ERROR", 5},
        {"SetCDTextItem", "SETTING CD-TEXT INFORMATION FOR THE DISC ERROR", 7},
        {"DiscAtOncePQFromFile", "BURNING ERROR", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        fakelib::Reset();
        fakelib::Fail(c.failing);
        FakePage page;
        EXPECT_EQ(Burn({}, page), 0u);
        ASSERT_FALSE(page.m_rows.empty());
        EXPECT_EQ(page.m_rows.back(), (Row{LOG_FATAL, c.lastRow}));
        EXPECT_FALSE(page.m_finished);
        auto names = fakelib::CallNames();
        // The worker neither releases nor shuts down: the page released the drive object (when
        // one was made) while the worker waited on its last row.
        ASSERT_GE(names.size(), c.callsMade);
        EXPECT_EQ(names[c.callsMade - 1], c.failing);
        if (c.callsMade > 1) {
            ASSERT_EQ(names.size(), c.callsMade + 1);
            EXPECT_EQ(names.back(), "Destroy");
        } else {
            EXPECT_EQ(names.size(), 1u);
        }
        EXPECT_EQ(Find(fakelib::Calls(), "DownShut"), nullptr);
        // The write is never announced after a failure before it.
        if (std::string(c.failing) != "DiscAtOncePQFromFile") {
            EXPECT_EQ(page.m_callsAtWriting, 0u);
        }
    }
}

TEST_F(BurnSessionTest, SessionCloseFailureIsFatal) {
    fakelib::Fail("CloseSession");
    FakePage page;
    Settings settings;
    settings.method = 0;
    EXPECT_EQ(Burn(settings, page), 0u);
    EXPECT_EQ(page.m_rows.back(), (Row{LOG_FATAL, "Could not close session"}));
    EXPECT_EQ(page.m_rows[page.m_rows.size() - 2], (Row{LOG_TIMED, "Closing session..."}));
    EXPECT_EQ(Find(fakelib::Calls(), "Eject"), nullptr);
}

TEST_F(BurnSessionTest, BufferProtectionAndPowerCalibrationFailuresAreLoggedAndTheBurnGoesOn) {
    fakelib::Fail("SetBUP");
    fakelib::Fail("SendOPC");
    FakePage page;
    EXPECT_EQ(Burn({}, page), 1u);
    EXPECT_EQ(page.m_rows, Timed({"Started", "Getting BUP (Buffer Underrun Protection) support...",
                                  "BUP successfully got",
                                  "Enabling BUP (Buffer Underrun Protection)...",
                                  "ENABLING BUP FAILED",
                                  "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                                  "Speed successfully set",
                                  "Sending OPC (Optimum Power Calibration)...",
                                  "Sending OPC bError", "Burning Completed", "Eject"}));
    // The failures' descriptions are cleared before the write.
    EXPECT_TRUE(Find(fakelib::Calls(), "DiscAtOncePQFromFile")->errorsZeroed);
    EXPECT_TRUE(page.m_finished);
}

TEST_F(BurnSessionTest, EjectFailureStillEndsAsASuccess) {
    fakelib::Fail("Eject");
    FakePage page;
    EXPECT_EQ(Burn({}, page), 1u);
    EXPECT_TRUE(page.m_finished);
    EXPECT_EQ(fakelib::CallNames().back(), "DownShut");
}

TEST_F(BurnSessionTest, AMethodOutsideTheFourIsRefusedBeforeTheDriveIsTouched) {
    for (int32_t method : {-1, 4}) {
        SCOPED_TRACE(method);
        fakelib::Reset();
        FakePage page;
        Settings settings;
        settings.method = method;
        EXPECT_EQ(Burn(settings, page), 0u);
        EXPECT_EQ(page.m_rows, (std::vector<Row>{{LOG_TIMED, "Started"}, {LOG_FATAL, "BURNING ERROR"}}));
        EXPECT_TRUE(fakelib::Calls().empty());
        EXPECT_FALSE(page.m_finished);
    }
}

TEST_F(BurnSessionTest, AWorkerWhosePageIsGoneReleasesTheDriveAndEnds) {
    // The wizard closes while the drive object is being made: the next row finds no page.
    FakePage page;
    HWND window = page.m_hwnd;
    fakelib::OnCall("CreateEx", [window] { ::SendMessageA(window, kCloseFakePage, 0, 0); });
    EXPECT_EQ(Burn({}, page), 0u);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(page.m_rows.size() == 1u && page.m_rows[0].text == "Started");
    EXPECT_EQ(fakelib::CallNames(), (std::vector<std::string>{"CreateEx", "Destroy"}));
    EXPECT_EQ(g_burnParams.m_burnGrabber, nullptr);
}

TEST(BurnProgress, PercentageTruncatesAndIgnoresAnEmptyTotalAndOtherReasons) {
    auto report = [](uint32_t reason, int64_t total, int64_t done) {
        BurnProgressCallback(reason, nullptr, &total, &done);
        CScopedLock lock(g_progressLock);
        return g_burnPercent;
    };
    {
        CScopedLock lock(g_progressLock);
        g_burnPercent = 0;
    }
    EXPECT_EQ(report(12, 1000, 999), 99);
    EXPECT_EQ(report(12, 1000, 1000), 100);
    EXPECT_EQ(report(12, 0, 0), 100);     // no total: the last figure stands
    EXPECT_EQ(report(10, 1000, 10), 100); // not a progress report
    // Sizes past 4 GB are counted in 64 bits.
    EXPECT_EQ(report(12, 8547991552LL, 4273995776LL), 50);
    EXPECT_EQ(report(12, 8547991552LL, 85479915LL), 0);
}
