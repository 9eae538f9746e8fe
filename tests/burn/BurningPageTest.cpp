// The burning and completion pages in a real wizard sheet, driven from a second thread, with the
// library scripted (tests/burn/FakeLibrary) so that every phase of a burn can be held open.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "app/WizardPage.h"
#include "burn/BurnSession.h"
#include "burn/PPFinish.h"
#include "burn/WBurning.h"
#include "res/resource.h"
#include "tests/burn/FakeLibrary.h"
#include "tests/gui/WizardRun.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The last three steps of the wizard: a page standing in for the summary, burning, completion.
class BurnWizard : public CWizardSheet {
public:
    BurnWizard() : CWizardSheet("Quillfire Wizard") {
        static const bool kControls = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
            return ::InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)kControls;
        AddPage(&m_summary);
        AddPage(&m_pageBurning);
        AddPage(&m_pageFinish);
        m_psh.dwFlags |= PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_HASHELP;
        m_psh.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
        m_psh.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
        std::strcpy(m_imagePath, "C:\\images\\backup 2026.iso");
        std::strcpy(m_selectedDevice.m_product, "DVDRW SH-S223");
        std::strcpy(m_selectedDevice.m_vendor, "TSSTcorp");
        std::strcpy(m_selectedDevice.m_deviceName, "CdRom0");
        m_selectedDevice.m_accessKind = kAccessByName;
        m_speedText = "40x (7056 KB/sec)";
        m_burningSpeed = 7056;
        m_burningMode = 2;
        m_sendOpc = true;
    }
    void ShowHelp() override {}

    CWizardPage m_summary{IDD_SUMMARY, IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE};
    CWBurning m_pageBurning;
    CPPFinish m_pageFinish;
};

// Next from the stand-in summary: the burn starts as the burning page becomes active.
bool StartBurn(WizardDriver& driver, BurnWizard& sheet) {
    if (!driver.WaitForPage(sheet.m_summary.m_hWnd)) return false;
    driver.Press(PSBTN_NEXT);
    return PollUntil([&] {
        HWND page = sheet.m_pageBurning.m_hWnd;
        return page && driver.ActivePage() == page && ::IsWindowVisible(page);
    });
}

// Next after the end: the completion page's window exists from its first activation on.
bool NextToFinish(WizardDriver& driver, BurnWizard& sheet) {
    driver.Press(PSBTN_NEXT);
    return PollUntil([&] {
        HWND page = sheet.m_pageFinish.m_hWnd;
        return page && driver.ActivePage() == page && ::IsWindowVisible(page);
    });
}

Rows LogRows(WizardDriver& driver) {
    return driver.ListRows(IDC_BURN_LOG, 2);
}

bool LogEndsWith(WizardDriver& driver, const std::string& text) {
    Rows rows = LogRows(driver);
    return !rows.empty() && rows.back()[1] == text;
}

bool IsTime(const std::string& text) {
    return std::regex_match(text, std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
}

// The texts of the rows from `first` on, with "T" for a timed row and "-" for an untimed one.
std::vector<std::string> Describe(const Rows& rows, size_t first = 0) {
    std::vector<std::string> out;
    for (size_t i = first; i < rows.size(); ++i) {
        const std::string& time = rows[i][0];
        out.push_back((time.empty() ? "- " : IsTime(time) ? "T " : "? ") + rows[i][1]);
    }
    return out;
}

const std::vector<std::string> kHeader = {
    "T Creating CD/DVD/Blu-Ray/HD-DVD from image",
    "T Source File:",
    "- C:\\images\\backup 2026.iso",
    "T Destination device: DVDRW SH-S223 TSSTcorp",
    "T Requested burning speed: 40x (7056 KB/sec)",
    "T Write Method: Disc-At-Once",
};

// The please-wait dialog of a cancel: it runs on a thread of its own.
HWND FindWaitDialog() {
    for (HWND window : WindowsOfProcess(::GetCurrentProcessId())) {
        char caption[64] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        if (::IsWindowVisible(window) && std::string(caption) == "Cancel burning") return window;
    }
    return nullptr;
}

HWND WaitForMessageBox(DWORD uiThread) {
    return WaitForDialogOfThread(uiThread);
}

bool Ended(WizardDriver& driver) {
    return driver.IsButtonEnabled(kButtonNext) && !driver.IsButtonEnabled(kButtonBack);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

class BurningPage : public ::testing::Test {
protected:
    void SetUp() override { fakelib::Reset(); }
    DWORD m_uiThread = ::GetCurrentThreadId();
};

}  // namespace

TEST_F(BurningPage, ASuccessfulBurnShowsItsRowsAndHandsTheSuccessText) {
    BurnWizard sheet;
    // The write is held until the driver has seen the page while the burn runs.
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fakelib::OnCall("DiscAtOncePQFromFile", [release] { ::WaitForSingleObject(release, 15000); });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }));
        // While it runs only Cancel is available, the percentage shows and the log grows.
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonBack));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonNext));
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonCancel));
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT)));
        EXPECT_EQ(driver.ControlText(IDC_BURN_PERCENT), "0%");
        // Pictures for the eye, once the page has had time to paint (not assertions).
        ::Sleep(400);
        SaveScreenshot(ScreenshotPath("BurningPage.Running"));
        ::SetEvent(release);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));

        std::vector<std::string> expected = kHeader;
        for (const char* row : {"Started", "Getting BUP (Buffer Underrun Protection) support...",
                                "BUP successfully got",
                                "Enabling BUP (Buffer Underrun Protection)...",
                                "BUP enabled successfully",
                                "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...",
                                "Speed successfully set",
                                "Sending OPC (Optimum Power Calibration)...", "Burning Completed",
                                "Eject"})
            expected.push_back(std::string("T ") + row);
        EXPECT_EQ(Describe(LogRows(driver)), expected);
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT)));
        EXPECT_EQ(::SendMessageA(::GetDlgItem(driver.ActivePage(), IDC_BURN_PROGRESS), PBM_GETPOS, 0, 0), 100);
        EXPECT_EQ(sheet.m_pageBurning.IsBurning(), 0);

        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Quillfire Wizard has successfully finished!");
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonFinish); }));
        ::Sleep(400);
        SaveScreenshot(ScreenshotPath("BurningPage.Completion"));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonBack));
        driver.Press(PSBTN_FINISH);
        EXPECT_TRUE(PollUntil([&] { return !driver.IsOpen(); }));
    });
    ::CloseHandle(release);
    auto names = fakelib::CallNames();
    EXPECT_EQ(names.back(), "DownShut");
}

TEST_F(BurningPage, ThePercentageTruncatesAndGivesWayToAFullBarAtTheEnd) {
    BurnWizard sheet;
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fakelib::OnCall("DiscAtOncePQFromFile", [release] {
        int64_t total = 1000, done = 999;
        fakelib::ProgressCallback()(STARBURN_CALLBACK_REASON_PROGRESS, nullptr, &total, &done);
        ::WaitForSingleObject(release, 15000);
    });
    fakelib::Fail("DiscAtOncePQFromFile");
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        HWND bar = ::GetDlgItem(driver.ActivePage(), IDC_BURN_PROGRESS);
        EXPECT_TRUE(PollUntil([&] { return driver.ControlText(IDC_BURN_PERCENT) == "99%"; }));
        EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 99);
        ::SetEvent(release);
        // A failed write ends with the bar full and the label gone as well.
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        EXPECT_EQ(::SendMessageA(bar, PBM_GETPOS, 0, 0), 100);
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT)));
    });
    ::CloseHandle(release);
}

TEST_F(BurningPage, AFailedBurnReleasesTheDriveAndHandsTheErrorText) {
    BurnWizard sheet;
    fakelib::Fail("GetBUP");
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        Rows rows = LogRows(driver);
        std::vector<std::string> tail = Describe(rows, rows.size() - 3);
        EXPECT_EQ(tail, (std::vector<std::string>{
                            "T Started", "T Getting BUP (Buffer Underrun Protection) support...",
                            "- GETTING BUP FAILED"}));
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Quillfire Wizard has finished with error.");
    });
    // Released by the page; the library stays started.
    auto names = fakelib::CallNames();
    EXPECT_EQ(names, (std::vector<std::string>{"CreateEx", "GetBUP", "Destroy"}));
}

TEST_F(BurningPage, CancelBeforeTheWriteClosesTheWizardWithoutAQuestion) {
    HANDLE inCall = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        BurnWizard sheet;
        // The worker is inside the speed call (preparing) when the user cancels.
        fakelib::OnCall("SetSpeeds", [inCall] {
            ::SetEvent(inCall);
            fakelib::WaitForCancel();
        });
        RunWizard(sheet, [&](WizardDriver& driver) {
            ASSERT_TRUE(StartBurn(driver, sheet));
            ASSERT_EQ(::WaitForSingleObject(inCall, 15000), WAIT_OBJECT_0);
            EXPECT_EQ(sheet.m_pageBurning.IsBurning(), 0);
            driver.Press(PSBTN_CANCEL);
            EXPECT_TRUE(PollUntil([&] { return !driver.IsOpen(); }));
            EXPECT_TRUE(VisibleDialogs(WindowsOfThread(m_uiThread)).empty());
        });
    }
    // The wizard is gone; its worker has ended and left no drive object behind.
    auto names = fakelib::CallNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Destroy");
    EXPECT_EQ(std::count(names.begin(), names.end(), "DownShut"), 0);
    ::CloseHandle(inCall);
}

TEST_F(BurningPage, CancelConfirmedDuringTheWriteEndsAsCancelled) {
    BurnWizard sheet;
    // The drive takes a while to give up the command it is in.
    fakelib::OnCall("DiscAtOncePQFromFile", [] {
        if (fakelib::WaitForCancel()) ::Sleep(1500);
    });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }));
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForMessageBox(m_uiThread);
        ASSERT_NE(box, nullptr);
        MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.caption, "Quillfire");
        EXPECT_EQ(info.text, "Burning is not completed. Do you want to cancel it?");
        EXPECT_FALSE(info.hasIcon);
        EXPECT_EQ(info.buttons, (std::vector<int>{IDYES, IDNO}));
        PressDialogButton(box, IDYES);

        // The please-wait dialog: no Cancel, centred over the wizard, the wizard disabled.
        HWND wait = nullptr;
        ASSERT_TRUE(PollUntil([&] { return (wait = FindWaitDialog()) != nullptr; }));
        char action[128] = {};
        ::GetDlgItemTextA(wait, IDC_WAIT_ACTION, action, sizeof action);
        EXPECT_STREQ(action, "Quillfire Wizard cancels burning. ");
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(wait, IDCANCEL)));
        RECT w{}, s{};
        ::GetWindowRect(wait, &w);
        ::GetWindowRect(driver.Sheet(), &s);
        EXPECT_EQ(w.left, s.left + ((s.right - s.left) - (w.right - w.left)) / 2);
        EXPECT_EQ(w.top, s.top + ((s.bottom - s.top) - (w.bottom - w.top)) / 2);
        EXPECT_FALSE(::IsWindowEnabled(driver.Sheet()));
        // A picture for the eye, once the dialog has had time to paint (not an assertion).
        ::Sleep(400);
        SaveScreenshot(ScreenshotPath("BurningPage.CancelWaitDialog"));

        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() == nullptr; }));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(driver.Sheet()) != FALSE; }));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 3),
                  (std::vector<std::string>{"T Cancelling", "- BURNING ERROR", "T Burning cancelled"}));
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Burning  was cancelled by user.");
    });
    auto names = fakelib::CallNames();
    // Cancelled once, then released by the page after the last row; never shut down.
    EXPECT_EQ(std::count(names.begin(), names.end(), "Cancel"), 1);
    EXPECT_EQ(names.back(), "Destroy");
    EXPECT_EQ(std::count(names.begin(), names.end(), "DownShut"), 0);
}

TEST_F(BurningPage, AnsweringNoLeavesTheBurnRunningAndTheLogAsTheWorkerMakesIt) {
    BurnWizard sheet;
    sheet.m_burningMode = 0;  // Track-At-Once: the worker still has rows to add after the write
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fakelib::OnCall("TrackAtOnceFromFile", [release] { ::WaitForSingleObject(release, 15000); });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }));
        Rows before = LogRows(driver);
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForMessageBox(m_uiThread);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(LogRows(driver), before);
        // The write ends while the question is open: the worker's rows still arrive.
        ::SetEvent(release);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        EXPECT_TRUE(::IsWindow(box));
        Rows during = LogRows(driver);
        ASSERT_EQ(during.size(), before.size() + 4);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), during.begin()));
        EXPECT_EQ(Describe(during, before.size()),
                  (std::vector<std::string>{"T Closing session...", "T Session closed",
                                            "T Burning Completed", "T Eject"}));
        PressDialogButton(box, IDNO);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(LogRows(driver), during);
        EXPECT_TRUE(driver.IsOpen());
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Quillfire Wizard has successfully finished!");
    });
    ::CloseHandle(release);
    auto names = fakelib::CallNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Cancel"), 0);
}

TEST_F(BurningPage, YesAfterTheBurnEndedWhileTheQuestionWasOpenChangesNothing) {
    BurnWizard sheet;
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fakelib::OnCall("DiscAtOncePQFromFile", [release] { ::WaitForSingleObject(release, 15000); });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }));
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForMessageBox(m_uiThread);
        ASSERT_NE(box, nullptr);
        ::SetEvent(release);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        Rows after = LogRows(driver);
        PressDialogButton(box, IDYES);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindow(box); }));
        EXPECT_EQ(LogRows(driver), after);
        EXPECT_EQ(FindWaitDialog(), nullptr);
        EXPECT_TRUE(driver.IsOpen());
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Quillfire Wizard has successfully finished!");
    });
    ::CloseHandle(release);
}

TEST_F(BurningPage, CancelDuringTheSessionCloseEndsAsCancelled) {
    BurnWizard sheet;
    sheet.m_burningMode = 0;
    fakelib::OnCall("CloseSession", [] { fakelib::WaitForCancel(); });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return LogEndsWith(driver, "Closing session..."); }));
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForMessageBox(m_uiThread);
        ASSERT_NE(box, nullptr);
        PressDialogButton(box, IDYES);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 4),
                  (std::vector<std::string>{"T Closing session...", "T Cancelling",
                                            "- Could not close session", "T Burning cancelled"}));
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() == nullptr; }));
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Burning  was cancelled by user.");
    });
}

TEST_F(BurningPage, CancelAfterTheLastCallThatCanFailEndsAsASuccess) {
    BurnWizard sheet;
    // The worker is in the eject, whose result nobody looks at.
    fakelib::OnCall("Eject", [] {
        if (fakelib::WaitForCancel()) ::Sleep(1000);
    });
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return LogEndsWith(driver, "Eject"); }));
        driver.Press(PSBTN_CANCEL);
        HWND box = WaitForMessageBox(m_uiThread);
        ASSERT_NE(box, nullptr);
        PressDialogButton(box, IDYES);
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() != nullptr; }));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        EXPECT_TRUE(PollUntil([&] { return FindWaitDialog() == nullptr; }));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(driver.Sheet()) != FALSE; }));
        Rows rows = LogRows(driver);
        EXPECT_EQ(Describe(rows, rows.size() - 2),
                  (std::vector<std::string>{"T Eject", "T Cancelling"}));
        ASSERT_TRUE(NextToFinish(driver, sheet));
        EXPECT_EQ(driver.ControlText(IDC_FINISH_RESULT), "Quillfire Wizard has successfully finished!");
    });
    auto names = fakelib::CallNames();
    EXPECT_EQ(names.back(), "DownShut");
}

TEST_F(BurningPage, CancelAfterTheEndClosesTheWizardWithoutAQuestion) {
    BurnWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        driver.Press(PSBTN_CANCEL);
        EXPECT_TRUE(PollUntil([&] { return !driver.IsOpen(); }));
    });
}

// Save Log through the real Save As dialog: the name typed, then OK; an overwrite prompt is
// answered Yes.
bool SaveThroughDialog(WizardDriver& driver, DWORD uiThread, const std::string& path) {
    driver.ClickControl(IDC_SAVE_LOG);
    HWND dialog = WaitForDialogOfThread(uiThread);
    if (!dialog) return false;
    HWND name = ::GetDlgItem(dialog, 0x47C);  // cmb13: the file name box of the explorer style
    if (!name) name = ::GetDlgItem(dialog, 0x480);  // edt1
    if (!name) return false;
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PressDialogButton(dialog, IDOK);
    if (!PollUntil([&] { return !::IsWindow(dialog); }, 3000)) {
        HWND prompt = WaitForDialogOfThread(uiThread, 2000);
        if (prompt && prompt != dialog) PressDialogButton(prompt, IDYES);
        return PollUntil([&] { return !::IsWindow(dialog); });
    }
    return true;
}

std::string ExpectedBytes(const Rows& rows) {
    std::string bytes;
    for (const auto& row : rows) {
        std::string time = row[0].empty() ? std::string(8, ' ') : row[0];
        bytes += time + " : " + row[1] + "\n";
    }
    return bytes;
}

TEST_F(BurningPage, SaveLogWritesEveryRowAsTimeColonTextLines) {
    BurnWizard sheet;
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    fakelib::OnCall("DiscAtOncePQFromFile", [release] { ::WaitForSingleObject(release, 15000); });
    std::string during = TempPath("qf-burning-log-during.txt");
    std::string after = TempPath("qf-burning-log-after.txt");
    ::DeleteFileA(during.c_str());
    ::DeleteFileA(after.c_str());
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return sheet.m_pageBurning.IsBurning() != 0; }));
        // Saved while the burn runs: what the log holds so far.
        Rows rows = LogRows(driver);
        ASSERT_TRUE(SaveThroughDialog(driver, m_uiThread, during));
        ASSERT_TRUE(PollUntil([&] { return ReadFile(during).size() > 0; }));
        std::string bytes = ReadFile(during);
        EXPECT_EQ(bytes, ExpectedBytes(rows));
        // The image-path row: eight blanks; a timed row: its time.
        EXPECT_NE(bytes.find("\n         : C:\\images\\backup 2026.iso\n"), std::string::npos);
        EXPECT_TRUE(std::regex_search(
            bytes, std::regex("\n[0-2][0-9]:[0-5][0-9]:[0-5][0-9] : Started\n")));
        EXPECT_EQ(bytes.find('\r'), std::string::npos);
        EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
        ::SetEvent(release);
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));

        Rows all = LogRows(driver);
        ASSERT_TRUE(SaveThroughDialog(driver, m_uiThread, after));
        EXPECT_TRUE(PollUntil([&] { return ReadFile(after) == ExpectedBytes(all); }));
    });
    ::CloseHandle(release);
    ::DeleteFileA(during.c_str());
    ::DeleteFileA(after.c_str());
}

TEST_F(BurningPage, ALogFileThatCannotBeWrittenIsReportedAndTheLogStays) {
    BurnWizard sheet;
    std::string path = TempPath("qf-burning-log-locked.txt");
    // Held open without sharing: the page cannot create it.
    HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(StartBurn(driver, sheet));
        ASSERT_TRUE(PollUntil([&] { return Ended(driver); }));
        Rows rows = LogRows(driver);
        driver.ClickControl(IDC_SAVE_LOG);
        HWND dialog = WaitForDialogOfThread(m_uiThread);
        ASSERT_NE(dialog, nullptr);
        HWND name = ::GetDlgItem(dialog, 0x47C);
        if (!name) name = ::GetDlgItem(dialog, 0x480);
        ASSERT_NE(name, nullptr);
        ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PressDialogButton(dialog, IDOK);
        // The overwrite prompt first (the file exists), then the page's own report.
        MessageBoxInfo info;
        ASSERT_TRUE(PollUntil([&] {
            for (HWND box : VisibleDialogs(WindowsOfThread(m_uiThread))) {
                if (box == dialog) continue;
                MessageBoxInfo seen = ReadMessageBox(box);
                if (seen.text.find("could not be written") != std::string::npos) {
                    info = seen;
                    return true;
                }
                PressDialogButton(box, IDYES);
            }
            return false;
        }));
        EXPECT_EQ(info.caption, "Quillfire");
        EXPECT_EQ(info.text.rfind(path + " could not be written.\n", 0), 0u) << info.text;
        EXPECT_TRUE(info.hasIcon);
        PressDialogButton(info.window, IDOK);
        EXPECT_TRUE(PollUntil([&] { return VisibleDialogs(WindowsOfThread(m_uiThread)).empty(); }));
        EXPECT_EQ(LogRows(driver), rows);
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonNext));
    });
    ::CloseHandle(holder);
    ::DeleteFileA(path.c_str());
}
