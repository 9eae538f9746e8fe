#include <gtest/gtest.h>

#include <atomic>

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/gui/WizardRun.h"

namespace {

// The wizard with its help counted instead of opened.
class TestWizard : public CPSQuillfire {
public:
    TestWizard() : CPSQuillfire("Quillfire Wizard") {}
    void ShowHelp() override { ++m_helpRequests; }
    std::atomic<int> m_helpRequests{0};
};

constexpr int kImagePage = 3;

struct PageExpectation {
    UINT templateId;
    const char* title;  // null: exterior page without header
    const char* subtitle;
};

const PageExpectation kPages[] = {
    {IDD_WELCOME, nullptr, nullptr},
    {IDD_TRANSPORT, "SCSI Transport", "The SCSI transport is a method to access devices."},
    {IDD_DEVICE, "Burning Device", "Device to use for file system image burning."},
    {IDD_IMAGE, "Image File", "Source image file to burn."},
    {IDD_MODE, "Burning Mode", "You can choose burning mode."},
    {IDD_OPTIONS, "Burning Options", "You can choose various burning options."},
    {IDD_SUMMARY, "Options Summary",
     "Review the data CD/DVD/Blu-Ray/HD-DVD options you have chosen before proceed with burning."},
    {IDD_BURNING, "Burning", "Burning file system image..."},
    {IDD_FINISH, nullptr, nullptr},
};

HWND PageWindow(CPSQuillfire& sheet, int index) {
    return sheet.GetPage(index)->m_hWnd;
}

// The image page lets Next through only with a readable file; the test program itself is one.
bool ChooseAnyImage(WizardDriver& driver) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    return driver.ChooseFile(IDC_BROWSE, path);
}

// Presses Next and waits until the page of that index is shown.
bool NextTo(WizardDriver& driver, CPSQuillfire& sheet, int index) {
    if (index == kImagePage + 1 && !ChooseAnyImage(driver)) return false;
    // The device page takes Next only after its scan: until then Next may still be the
    // transport page's, its change being posted.
    if (index == kImagePage && !PollUntil([&] {
            return driver.IsControlEnabled(IDC_REFRESH) &&
                   VisibleDialogs(WindowsOfThread(::GetWindowThreadProcessId(driver.Sheet(), nullptr))).empty();
        }, 30000))
        return false;
    // The burning page offers Next only once its burn (here without a drive) has ended.
    if (!PollUntil([&] { return driver.IsButtonEnabled(kButtonNext); })) return false;
    driver.Press(PSBTN_NEXT);
    return PollUntil([&] {
        HWND page = PageWindow(sheet, index);
        return page && driver.ActivePage() == page && ::IsWindowVisible(page);
    });
}

// The colour on screen at a point of the sheet's client area.
COLORREF SheetPixel(HWND sheet, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(sheet, &point);
    HDC screen = ::GetDC(nullptr);
    COLORREF colour = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

bool BackTo(WizardDriver& driver, CPSQuillfire& sheet, int index) {
    driver.Press(PSBTN_BACK);
    return driver.WaitForPage(PageWindow(sheet, index));
}

}  // namespace

TEST(Wizard, ShowsItsNinePagesInOrderWithTheirHeaders) {
    TestWizard sheet;
    ASSERT_EQ(sheet.GetPageCount(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const PROPSHEETPAGEA& record = sheet.GetPage(i)->m_psp;
        EXPECT_EQ(sheet.GetPage(i)->GetTemplateId(), kPages[i].templateId);
        EXPECT_TRUE(record.dwFlags & PSP_HASHELP);
        if (kPages[i].title) {
            EXPECT_FALSE(record.dwFlags & PSP_HIDEHEADER);
            ASSERT_TRUE(record.dwFlags & PSP_USEHEADERTITLE);
            ASSERT_TRUE(record.dwFlags & PSP_USEHEADERSUBTITLE);
            EXPECT_STREQ(record.pszHeaderTitle, kPages[i].title);
            EXPECT_STREQ(record.pszHeaderSubTitle, kPages[i].subtitle);
        } else {
            EXPECT_TRUE(record.dwFlags & PSP_HIDEHEADER);
            EXPECT_FALSE(record.dwFlags & (PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE));
        }
    }
    EXPECT_EQ(sheet.m_psh.dwFlags & 0x01088200u, 0x01088200u);

    bool finished = false;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        for (int i = 1; i < 9; ++i) ASSERT_TRUE(NextTo(driver, sheet, i)) << "page " << i;
        // The last page offers Finish only, and Finish ends the wizard.
        ASSERT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonFinish); }));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonBack));
        driver.Press(PSBTN_FINISH);
        finished = PollUntil([&] { return !driver.IsOpen(); });
    });
    EXPECT_TRUE(finished);
    EXPECT_EQ(sheet.m_transport, 1);
}

TEST(Wizard, WelcomeOffersNextOnlyAndTransportBackAndNext) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        // The page's request is posted, so the sheet's first state may show for a moment.
        EXPECT_TRUE(PollUntil([&] {
            return driver.IsButtonEnabled(kButtonNext) && !driver.IsButtonEnabled(kButtonBack);
        }));
        EXPECT_EQ(driver.ControlText(IDC_WELCOME_TITLE), "Welcome to Quillfire Wizard");
        ASSERT_TRUE(NextTo(driver, sheet, 1));
        EXPECT_TRUE(PollUntil([&] {
            return driver.IsButtonEnabled(kButtonBack) && driver.IsButtonEnabled(kButtonNext);
        }));
        // Every arrival on the welcome page sets its buttons again.
        ASSERT_TRUE(BackTo(driver, sheet, 0));
        EXPECT_TRUE(PollUntil([&] {
            return !driver.IsButtonEnabled(kButtonBack) && driver.IsButtonEnabled(kButtonNext);
        }));
    });
}

TEST(Wizard, WelcomeTitleIsBoldVerdanaAndTheOtherTextsAreNot) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        HWND page = driver.ActivePage();
        auto fontOf = [](HWND control) {
            LOGFONTA font{};
            HFONT handle = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
            ::GetObjectA(handle, sizeof font, &font);
            return font;
        };
        LOGFONTA title = fontOf(::GetDlgItem(page, IDC_WELCOME_TITLE));
        EXPECT_EQ(title.lfWeight, FW_BOLD);
        EXPECT_STREQ(title.lfFaceName, "Verdana");
        LOGFONTA body = fontOf(::GetWindow(::GetDlgItem(page, IDC_WELCOME_TITLE), GW_HWNDNEXT));
        EXPECT_NE(body.lfWeight, FW_BOLD);
        HFONT first = sheet.m_pageWelcome.m_titleFont.GetSafeHandle();
        ASSERT_TRUE(NextTo(driver, sheet, 1));
        ASSERT_TRUE(BackTo(driver, sheet, 0));
        EXPECT_EQ(sheet.m_pageWelcome.m_titleFont.GetSafeHandle(), first);
    });
}

TEST(Wizard, TransportDefaultsToSptiAndStoresTheChoiceOnEveryNext) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        ASSERT_TRUE(NextTo(driver, sheet, 1));
        // Wine reports the NT family, where SPTI exists.
        EXPECT_TRUE(driver.IsButtonChecked(IDC_SPTI));
        EXPECT_FALSE(driver.IsButtonChecked(IDC_ASPI));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(driver.ActivePage(), IDC_SPTI)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(driver.ActivePage(), IDC_ASPI)));

        driver.ClickControl(IDC_ASPI);
        ASSERT_TRUE(PollUntil([&] { return driver.IsButtonChecked(IDC_ASPI); }));
        EXPECT_FALSE(driver.IsButtonChecked(IDC_SPTI));
        ASSERT_TRUE(NextTo(driver, sheet, 2));
        EXPECT_EQ(sheet.m_transport, 0);

        // The choice survives Back, and Next reads it again.
        sheet.m_transport = 7;
        ASSERT_TRUE(BackTo(driver, sheet, 1));
        EXPECT_TRUE(driver.IsButtonChecked(IDC_ASPI));
        ASSERT_TRUE(NextTo(driver, sheet, 2));
        EXPECT_EQ(sheet.m_transport, 0);

        ASSERT_TRUE(BackTo(driver, sheet, 1));
        driver.ClickControl(IDC_SPTI);
        ASSERT_TRUE(PollUntil([&] { return driver.IsButtonChecked(IDC_SPTI); }));
        ASSERT_TRUE(NextTo(driver, sheet, 2));
        EXPECT_EQ(sheet.m_transport, 1);
    });
}

TEST(Wizard, SystemMenuEndsWithTheAboutEntryAndHelpButtonIsRelabelled) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        auto items = driver.SystemMenuItems();
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items[items.size() - 2].second, "-");
        EXPECT_EQ(items.back().first, 16u);
        EXPECT_EQ(items.back().second, "&About Quillfire...");
        EXPECT_EQ(driver.SheetControlText(IDHELP), "Help");
    });
}

TEST(Wizard, AboutEntryOpensTheAboutBoxWithItsVersionLine) {
    TestWizard sheet;
    DWORD uiThread = ::GetCurrentThreadId();
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        driver.SendSystemCommand(16);
        HWND about = WaitForDialogOfThread(uiThread);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(CWnd::GetWindowTextOf(about), "About Quillfire Wizard");
        EXPECT_EQ(CWnd::GetWindowTextOf(::GetDlgItem(about, IDC_ABOUT_VERSION)),
                  "Quillfire  Version 1.1.00");
        // Modal over the wizard.
        EXPECT_FALSE(::IsWindowEnabled(driver.Sheet()));
        PressDialogButton(about, IDOK);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindow(about); }));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(driver.Sheet()) != FALSE; }));
        EXPECT_TRUE(driver.IsOpen());
    });
}

TEST(Wizard, HelpButtonOpensTheWizardHelpOnEveryPage) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        for (int i = 0; i < 9; ++i) {
            if (i > 0) {
                ASSERT_TRUE(NextTo(driver, sheet, i));
            }
            driver.Press(PSBTN_HELP);
            EXPECT_TRUE(PollUntil([&] { return sheet.m_helpRequests == i + 1; })) << "page " << i;
        }
    });
}

TEST(Wizard, ClosingFromTheTitleBarActsAsCancelWhenNothingIsBurning) {
    TestWizard sheet;
    DWORD uiThread = ::GetCurrentThreadId();
    bool closed = false;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        ASSERT_TRUE(NextTo(driver, sheet, 1));
        driver.SendSystemCommand(SC_CLOSE);
        closed = PollUntil([&] { return !driver.IsOpen(); });
        EXPECT_TRUE(VisibleDialogs(WindowsOfThread(uiThread)).empty());
    });
    EXPECT_TRUE(closed);
}

TEST(Wizard, HeaderBandAndExteriorPagesArePaintedWhole) {
    TestWizard sheet;
    RunWizard(sheet, [&](WizardDriver& driver) {
        const COLORREF white = ::GetSysColor(COLOR_WINDOW);
        ASSERT_TRUE(driver.WaitForPage(PageWindow(sheet, 0)));
        ASSERT_TRUE(NextTo(driver, sheet, 1));
        // The header band of an interior page is drawn, not left in the dialog colour.
        EXPECT_TRUE(PollUntil([&] { return SheetPixel(driver.Sheet(), 10, 10) == white; }));
        for (int i = 2; i < 9; ++i) ASSERT_TRUE(NextTo(driver, sheet, i));
        // Where the interior pages had the band's lower edge, the completion page is white.
        RECT client{};
        ::GetClientRect(driver.Sheet(), &client);
        EXPECT_TRUE(PollUntil([&] {
            for (int y = 40; y < 100; y += 4)
                if (SheetPixel(driver.Sheet(), client.right - 40, y) != white) return false;
            return true;
        }));
    });
}
