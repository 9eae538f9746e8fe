// Whole burns through the real wizard sheet and the real library onto virtual recorders, driven
// from a second thread: what the burning page shows, what lands on the disc, and how every
// cancel and failure ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/PSQuillfire.h"
#include "burn/BurnSession.h"
#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/gui/WizardRun.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

constexpr int kSummaryPage = 6;
constexpr int kBurningPage = 7;
constexpr int kFinishPage = 8;

Rows LogRows(WizardDriver& driver) {
    return driver.ListRows(IDC_BURN_LOG, 2);
}

// A recorder whose commands fail, or wait, while the burn is at one step: the worker sets the
// row text before each step and runs the step's commands on the same thread, so the text read
// here is the step the command belongs to.
class StepTarget : public burnlib::ScsiTarget {
public:
    explicit StepTarget(std::shared_ptr<burnlib::VirtualRecorder> recorder)
        : m_recorder(std::move(recorder)) {}

    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        if (!m_failAt.empty() && g_logText == m_failAt)
            return burnlib::ScsiResult::Check(burnlib::kSenseHardwareError, 0x44, 0x00);
        if (!m_slowAt.empty() && g_logText == m_slowAt) ::Sleep(m_slowMs);
        return m_recorder->Execute(request);
    }
    bool ClaimExclusive(const void* owner) override { return m_recorder->ClaimExclusive(owner); }
    void ReleaseExclusive(const void* owner) override { m_recorder->ReleaseExclusive(owner); }

    std::string m_failAt;  // every command fails (hardware error 04/44/00) during this step
    std::string m_slowAt;  // every command takes m_slowMs longer during this step
    DWORD m_slowMs = 0;

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
};

// The wizard opened on the summary page with the choices the earlier pages would have stored.
class BurnWizard : public CPSQuillfire {
public:
    BurnWizard(const std::string& image, int32_t method, bool opc, bool test, uint32_t speed)
        : CPSQuillfire("Quillfire Wizard", nullptr, kSummaryPage) {
        m_selectedDevice.m_accessKind = kAccessByName;
        std::strcpy(m_selectedDevice.m_deviceName, "CdRom0");
        std::strcpy(m_selectedDevice.m_product, "CD-RW CRX230E");
        std::strcpy(m_selectedDevice.m_vendor, "SONY");
        std::strcpy(m_imagePath, image.c_str());
        m_burningMode = method;
        m_sendOpc = opc;
        m_testMode = test;
        m_burningSpeed = static_cast<int32_t>(speed);
        m_speedText = "test speed";
    }
    void ShowHelp() override {}
};

class Burn : public ::testing::Test {
protected:
    void SetUp() override {
        m_recorder = std::make_shared<burnlib::VirtualRecorder>(
            *burnlib::DriveModelByName("cdrw-writer"), *burnlib::MediumByName("cd-r-blank"));
        m_target = std::make_shared<StepTarget>(m_recorder);
        burnlib::SetDeviceProvider(burnlib::MakeTargetDeviceProvider({m_target}));
        burnlib::ApiStatistics::Reset();
        m_image = MakeImage("qf-burn-image.iso", 600);
        // Paced at the drive's fastest CD speed, a raw write (lead-in included) lasts seconds.
        const auto& speeds = m_recorder->Model().cdWriteSpeeds;
        m_pacedSpeed = speeds.empty() ? 0xFFFF : *std::max_element(speeds.begin(), speeds.end());
    }
    void TearDown() override {
        // A failed burn leaves the library started; the next test starts afresh.
        StarBurn_DownShut();
        burnlib::SetDeviceProvider(nullptr);
        ::DeleteFileA(m_image.c_str());
    }

    // An image of `blocks` 2048-byte blocks, each block different.
    std::string MakeImage(const char* name, uint32_t blocks) {
        char dir[MAX_PATH] = {};
        ::GetTempPathA(sizeof dir, dir);
        std::string path = std::string(dir) + name;
        m_imageBytes.assign(size_t{blocks} * 2048, 0);
        for (size_t i = 0; i < m_imageBytes.size(); ++i)
            m_imageBytes[i] = static_cast<uint8_t>((i / 2048) * 7 + i * 13 + 1);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_imageBytes.data()),
                   static_cast<std::streamsize>(m_imageBytes.size()));
        return path;
    }

    static bool StartBurn(WizardDriver& driver, CPSQuillfire& sheet) {
        if (!driver.WaitForPage(sheet.GetPage(kSummaryPage)->m_hWnd)) return false;
        driver.Press(PSBTN_NEXT);
        return PollUntil([&] {
            HWND page = sheet.GetPage(kBurningPage)->m_hWnd;
            return page && driver.ActivePage() == page && ::IsWindowVisible(page);
        });
    }
    // The percentage shows from the page's activation to the burn's end; the wizard buttons
    // alone could still be the summary's, their change being posted.
    static bool Ended(WizardDriver& driver) {
        return !::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT)) &&
               driver.IsButtonEnabled(kButtonNext) && !driver.IsButtonEnabled(kButtonBack);
    }
    static bool WaitForLastRow(WizardDriver& driver, const std::string& text,
                               DWORD timeoutMs = kDefaultTimeoutMs) {
        return PollUntil([&] {
            Rows rows = LogRows(driver);
            return !rows.empty() && rows.back()[1] == text;
        }, timeoutMs);
    }
    // Cancel, the question answered Yes; true once the burn has ended.
    bool ConfirmCancel(WizardDriver& driver) const {
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForDialogOfThread(m_uiThread);
        if (box == nullptr) return false;
        PressDialogButton(box, IDYES);
        return PollUntil([&] { return Ended(driver); }, 30000);
    }
    // Next after the end; the completion page's result text.
    static std::string ResultText(WizardDriver& driver, CPSQuillfire& sheet) {
        driver.Press(PSBTN_NEXT);
        if (!PollUntil([&] {
                HWND page = sheet.GetPage(kFinishPage)->m_hWnd;
                return page && driver.ActivePage() == page && ::IsWindowVisible(page);
            }))
            return "(no completion page)";
        return driver.ControlText(IDC_FINISH_RESULT);
    }
    uint64_t Calls(const char* name) const { return burnlib::ApiStatistics::Get().Calls(name); }

    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
    std::shared_ptr<StepTarget> m_target;
    std::string m_image;
    std::vector<uint8_t> m_imageBytes;
    uint32_t m_pacedSpeed = 0;
    DWORD m_uiThread = ::GetCurrentThreadId();
};

bool IsTime(const std::string& text) {
    return std::regex_match(text, std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
}

// "T text" for a timed row, "- text" for an untimed one.
std::vector<std::string> Describe(const Rows& rows, size_t first = 0) {
    std::vector<std::string> out;
    for (size_t i = first; i < rows.size(); ++i)
        out.push_back((rows[i][0].empty() ? "- " : IsTime(rows[i][0]) ? "T " : "? ") + rows[i][1]);
    return out;
}

bool Contains(const std::vector<std::string>& rows, const std::string& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

// STARBURN_ERROR_NOT_STARTED once the library has been shut down.
uint32_t FindDevices() {
    return StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, [](uint32_t, void*, void*, void*) {},
                               nullptr);
}

HWND FindWaitDialog() {
    for (HWND window : WindowsOfProcess(::GetCurrentProcessId())) {
        char caption[64] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        if (::IsWindowVisible(window) && std::string(caption) == "Cancel burning") return window;
    }
    return nullptr;
}

}  // namespace

TEST_F(Burn, DiscAtOnceWithPowerCalibrationWritesTheImageAndEjects) {
    BurnWizard sheet(m_image, 2, true, false, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        EXPECT_EQ(Describe(LogRows(driver)),
                  (std::vector<std::string>{
                      "T Creating CD/DVD/Blu-Ray/HD-DVD from image", "T Source File:",
                      "- " + m_image, "T Destination device: CD-RW CRX230E SONY",
                      "T Requested burning speed: test speed", "T Write Method: Disc-At-Once",
                      "T Started", "T Getting BUP (Buffer Underrun Protection) support...",
                      "T BUP successfully got", "T Enabling BUP (Buffer Underrun Protection)...",
                      "T BUP enabled successfully",
                      "T Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                      "T Speed successfully set", "T Sending OPC (Optimum Power Calibration)...",
                      "T Burning Completed", "T Eject"}));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_TRUE(m_recorder->TrayOpen());
    EXPECT_EQ(m_recorder->ReadUserData(0, 600), m_imageBytes);
    EXPECT_EQ(Calls("StarBurn_DownShut"), 1u);
    EXPECT_EQ(FindDevices(), STARBURN_ERROR_NOT_STARTED);
}

TEST_F(Burn, TrackAtOnceInTestModeLeavesTheDiscBlankAndLogsTheSessionClosed) {
    BurnWizard sheet(m_image, 0, false, true, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        std::vector<std::string> rows = Describe(LogRows(driver), 6);
        EXPECT_EQ(rows, (std::vector<std::string>{
                            "T Started", "T Getting BUP (Buffer Underrun Protection) support...",
                            "T BUP successfully got",
                            "T Enabling BUP (Buffer Underrun Protection)...",
                            "T BUP enabled successfully",
                            "T Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                            "T Speed successfully set", "T Writing data to the CD/DVD disc",
                            "T Session closed", "T Burning Completed", "T Eject"}));
        EXPECT_FALSE(Contains(rows, "T Closing session..."));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_EQ(m_recorder->CurrentMedium().state, burnlib::DiscState::Blank);
    EXPECT_TRUE(m_recorder->CurrentMedium().tracks.empty());
}

TEST_F(Burn, TrackAtOnceClosesTheSessionOfARealWrite) {
    BurnWizard sheet(m_image, 0, true, false, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 4),
                  (std::vector<std::string>{"T Closing session...", "T Session closed",
                                            "T Burning Completed", "T Eject"}));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_EQ(m_recorder->CurrentMedium().state, burnlib::DiscState::Closed);
    EXPECT_EQ(m_recorder->ReadUserData(0, 600), m_imageBytes);
}

TEST_F(Burn, AFailureAtAFatalStepEndsWithItsTextAndTheErrorResult) {
    struct Case {
        const char* name;
        int32_t method;
        const char* failAt;   // the step whose commands fail; null: see below
        const char* lastRow;
    };
    const Case cases[] = {
        {"create", 2, nullptr, "CANNOT CREATE CDVDBURNERGRABBER"},
        {"bup", 2, "Getting BUP (Buffer Underrun Protection) support...", "GETTING BUP FAILED"},
        {"speeds", 2, "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...", "SETTING SPEEDS ERROR"},
        {"write", 2, nullptr, "BURNING ERROR"},
        {"close", 0, "Closing session...", "Could not close session"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.failAt) m_target->m_failAt = c.failAt;
        BurnWizard sheet(m_image, c.method, false, false, 0xFFFF);
        if (std::string(c.name) == "create") std::strcpy(sheet.m_selectedDevice.m_deviceName, "CdRom7");
        if (std::string(c.name) == "write") m_recorder->InjectWriteError(300);
        RunWizard(sheet, [&](WizardDriver& driver) {
            ASSERT_TRUE(StartBurn(driver, sheet));
            ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
            Rows rows = LogRows(driver);
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(Describe(rows, rows.size() - 1), (std::vector<std::string>{std::string("- ") + c.lastRow}));
            EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has finished with error.");
        });
        // The library stays started; the page released the drive object it had.
        EXPECT_EQ(Calls("StarBurn_DownShut"), 0u);
        EXPECT_EQ(FindDevices(), STARBURN_OK);
        EXPECT_EQ(Calls("StarBurn_Destroy"), std::string(c.name) == "create" ? 0u : 1u);
        EXPECT_EQ(Calls("StarBurn_CdvdBurnerGrabber_Eject"), 0u);
    }
}

TEST_F(Burn, BufferProtectionAndPowerCalibrationFailuresAreLoggedAndTheBurnGoesOn) {
    m_target->m_failAt = "Enabling BUP (Buffer Underrun Protection)...";
    m_recorder->InjectOpcError();
    BurnWizard sheet(m_image, 2, true, false, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        std::vector<std::string> rows = Describe(LogRows(driver), 6);
        EXPECT_EQ(rows, (std::vector<std::string>{
                            "T Started", "T Getting BUP (Buffer Underrun Protection) support...",
                            "T BUP successfully got",
                            "T Enabling BUP (Buffer Underrun Protection)...",
                            "T ENABLING BUP FAILED",
                            "T Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                            "T Speed successfully set",
                            "T Sending OPC (Optimum Power Calibration)...",
                            "T Sending OPC bError", "T Burning Completed", "T Eject"}));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_EQ(m_recorder->ReadUserData(0, 600), m_imageBytes);
}

TEST_F(Burn, CancelBeforeTheWriteClosesTheWizardWithoutAQuestion) {
    m_target->m_slowAt = "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...";
    m_target->m_slowMs = 300;
    {
        BurnWizard sheet(m_image, 2, false, false, 0xFFFF);
        RunWizard(sheet, [&](WizardDriver& driver) {
            ASSERT_TRUE(StartBurn(driver, sheet));
            ASSERT_TRUE(WaitForLastRow(driver, m_target->m_slowAt));
            driver.Press(PSBTN_CANCEL);
            EXPECT_TRUE(PollUntil([&] { return !driver.IsOpen(); }));
        });
    }
    // The closed wizard's worker has ended and let go of the drive; nothing was written.
    EXPECT_EQ(Calls("StarBurn_Destroy"), 1u);
    EXPECT_TRUE(m_recorder->CurrentMedium().tracks.empty());
}

TEST_F(Burn, CancelConfirmedDuringTheWriteEndsAsCancelled) {
    m_recorder->SetWriteSpeedPacing(true);
    BurnWizard sheet(m_image, 2, false, false, m_pacedSpeed);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }, 30000));
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForDialogOfThread(m_uiThread);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ReadMessageBox(box).text, "Burning is not completed. Do you want to cancel it?");
        PressDialogButton(box, IDYES);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 30000));
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() == nullptr; }));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 3),
                  (std::vector<std::string>{"T Cancelling", "- BURNING ERROR", "T Burning cancelled"}));
        EXPECT_EQ(ResultText(driver, sheet), "Burning  was cancelled by user.");
    });
    EXPECT_EQ(Calls("StarBurn_CdvdBurnerGrabber_Cancel"), 1u);
    EXPECT_EQ(Calls("StarBurn_Destroy"), 1u);
    EXPECT_EQ(Calls("StarBurn_DownShut"), 0u);
}

TEST_F(Burn, AnsweringNoLetsTheBurnFinish) {
    m_recorder->SetWriteSpeedPacing(true);
    BurnWizard sheet(m_image, 2, false, false, m_pacedSpeed);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }, 30000));
        Rows before = LogRows(driver);
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForDialogOfThread(m_uiThread);
        ASSERT_NE(box, nullptr);
        PressDialogButton(box, IDNO);
        ASSERT_TRUE(PollUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(LogRows(driver), before);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_EQ(m_recorder->ReadUserData(0, 600), m_imageBytes);
    EXPECT_EQ(Calls("StarBurn_CdvdBurnerGrabber_Cancel"), 0u);
}

TEST_F(Burn, CancelDuringTheSessionCloseEndsAsCancelled) {
    m_target->m_slowAt = "Closing session...";
    m_target->m_slowMs = 400;
    BurnWizard sheet(m_image, 0, false, false, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(WaitForLastRow(driver, "Closing session...", 60000));
        ASSERT_TRUE(ConfirmCancel(driver));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 3),
                  (std::vector<std::string>{"T Cancelling", "- Could not close session",
                                            "T Burning cancelled"}));
        EXPECT_EQ(ResultText(driver, sheet), "Burning  was cancelled by user.");
    });
}

TEST_F(Burn, CancelAfterTheLastCallThatCanFailEndsAsASuccess) {
    m_target->m_slowAt = "Eject";
    m_target->m_slowMs = 400;
    BurnWizard sheet(m_image, 2, false, false, 0xFFFF);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(WaitForLastRow(driver, "Eject", 60000));
        ASSERT_TRUE(ConfirmCancel(driver));
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() == nullptr; }));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(driver.Sheet()) != FALSE; }));
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
    EXPECT_EQ(Calls("StarBurn_DownShut"), 1u);
    EXPECT_EQ(m_recorder->ReadUserData(0, 600), m_imageBytes);
}

TEST_F(Burn, TheTitleBarCloseWhileWritingIsRefusedAndTheBurnGoesOn) {
    m_recorder->SetWriteSpeedPacing(true);
    BurnWizard sheet(m_image, 2, false, false, m_pacedSpeed);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }, 30000));
        // The low four bits of a system command are the system's own; they change nothing.
        for (UINT command : {UINT{SC_CLOSE}, UINT{SC_CLOSE | 2}}) {
            SCOPED_TRACE(command);
            driver.SendSystemCommand(command);
            HWND box = WaitForDialogOfThread(m_uiThread);
            ASSERT_NE(box, nullptr);
            MessageBoxInfo info = ReadMessageBox(box);
            EXPECT_EQ(info.text,
                      "Sorry, cannot close application now. Please wait for burning completion");
            EXPECT_EQ(info.caption, AfxGetApp()->GetAppName());
            EXPECT_EQ(info.buttons, (std::vector<int>{IDOK}));
            EXPECT_FALSE(info.hasIcon);
            PressDialogButton(box, IDOK);
            ASSERT_TRUE(PollUntil([&] { return !::IsWindow(box); }));
            EXPECT_TRUE(driver.IsOpen());
        }
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }, 60000));
        EXPECT_TRUE(driver.IsOpen());
        EXPECT_EQ(ResultText(driver, sheet), "Quillfire Wizard has successfully finished!");
    });
}
