// The burning and completion pages in a real wizard sheet, driven from a second thread, with the
// library scripted (tests/burn/FakeLibrary) so that every phase of a burn can be held open.
#include <gtest/gtest.h>

#include <algorithm>

#include "burn/BurnSession.h"
#include "tests/burn/BurnWizard.h"
#include "tests/burn/FakeLibrary.h"
#include "tests/gui/WizardRun.h"

using namespace burntest;

namespace {

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
        // The dialog shows first and then takes the wizard's input.
        EXPECT_TRUE(PollUntil([&] { return !::IsWindowEnabled(driver.Sheet()); }));
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
