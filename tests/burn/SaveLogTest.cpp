// Save Log of the burning page: the bytes of the file, during a burn and after it, and a file that
// cannot be written. Through the real Save As dialog, against the scripted library.
#include <gtest/gtest.h>

#include "burn/BurnSession.h"
#include "tests/burn/BurnWizard.h"
#include "tests/burn/FakeLibrary.h"
#include "tests/gui/WizardRun.h"

using namespace burntest;

namespace {

class SaveLog : public ::testing::Test {
protected:
    void SetUp() override { fakelib::Reset(); }
    DWORD m_uiThread = ::GetCurrentThreadId();
};


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

}  // namespace

TEST_F(SaveLog, WritesEveryRowAsTimeColonTextLinesDuringAndAfterABurn) {
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

TEST_F(SaveLog, ALogFileThatCannotBeWrittenIsReportedAndTheLogStays) {
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
