#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "framework/PropertySheet.h"
#include "framework/WinApp.h"
#include "tests/framework/FrameworkTestIds.h"

namespace {

constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;

class TestPage : public CPropertyPage {
public:
    TestPage(UINT templateId, DWORD buttons) : CPropertyPage(templateId), m_buttons(buttons) {
        m_psp.dwFlags |= PSP_HASHELP;
    }
    std::atomic<int> m_refuseNext{0};
    std::atomic<bool> m_allowCancel{true};
    std::atomic<int> m_activations{0};
    std::atomic<int> m_queries{0};
    std::function<void()> m_onActive;
    std::atomic<int> m_activationsWithoutSheet{0};

protected:
    BOOL OnSetActive() override {
        ++m_activations;
        if (!GetSheet() || GetSheet()->m_hWnd != GetParent()) ++m_activationsWithoutSheet;
        if (m_onActive) m_onActive();
        GetSheet()->SetWizardButtons(m_buttons);
        return CPropertyPage::OnSetActive();
    }
    LRESULT OnWizardNext() override {
        if (m_refuseNext > 0) {
            --m_refuseNext;
            return -1;
        }
        return CPropertyPage::OnWizardNext();
    }
    BOOL OnQueryCancel() override {
        ++m_queries;
        return m_allowCancel.load();
    }

private:
    DWORD m_buttons;
};

class TestSheet : public CPropertySheet {
public:
    TestSheet()
        : CPropertySheet("Test wizard"),
          m_first(IDD_TEST_PAGE1, PSWIZB_NEXT),
          m_second(IDD_TEST_PAGE2, PSWIZB_BACK | PSWIZB_NEXT),
          m_third(IDD_TEST_PAGE3, PSWIZB_FINISH) {
        AddPage(&m_first);
        AddPage(&m_second);
        AddPage(&m_third);
        m_psh.dwFlags |= PSH_WIZARD97 | PSH_HASHELP;
    }
    TestPage m_first, m_second, m_third;
    std::atomic<HWND> m_initWindow{nullptr};
    std::atomic<bool> m_foundItself{false};
    std::atomic<UINT> m_lastSysCommand{0};

protected:
    BOOL OnInitDialog() override {
        m_initWindow = m_hWnd;
        m_foundItself = FromHandle(m_hWnd) == this;
        return TRUE;
    }
    void OnSysCommand(UINT id, LPARAM lParam) override {
        m_lastSysCommand = id;
        CPropertySheet::OnSysCommand(id, lParam);
    }
};

class HelpApp : public CWinApp {
public:
    HelpApp() : CWinApp("SheetTest") { MapCommand(ID_HELP, [this] { ++m_helpCount; }); }
    std::atomic<int> m_helpCount{0};
};

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(10);
    }
    return true;
}

HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// Runs the sheet on this thread while `script` drives it from another; whatever the script
// leaves open is cancelled so the test always ends. Buttons are pressed by posting, as input
// arrives: the sheet's modal loop notices a closed sheet only after a posted message.
void RunSheet(TestSheet& sheet, const std::function<void(HWND)>& script) {
    std::thread driver([&] {
        if (PollUntil([&] { return sheet.m_initWindow.load() != nullptr; }) &&
            PollUntil([&] { return CurrentPage(sheet.m_initWindow) != nullptr; }))
            script(sheet.m_initWindow);
        else
            ADD_FAILURE() << "sheet did not appear";
        sheet.m_first.m_allowCancel = sheet.m_second.m_allowCancel = sheet.m_third.m_allowCancel = true;
        if (::IsWindow(sheet.m_initWindow))
            ::PostMessageA(sheet.m_initWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal();
    driver.join();
}

}  // namespace

TEST(WizardSheet, InitHookSeesTheSheetWindowAndPagesRunInOrder) {
    TestSheet sheet;
    RunSheet(sheet, [&](HWND hwnd) {
        EXPECT_TRUE(sheet.m_foundItself);
        EXPECT_EQ(CurrentPage(hwnd), sheet.m_first.m_hWnd);
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.GetActivePage() == &sheet.m_second; }));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_BACK, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.GetActiveIndex() == 0; }));
        EXPECT_EQ(sheet.m_first.m_activations, 2);
        // The first page is activated while the system still creates the sheet window.
        EXPECT_EQ(sheet.m_first.m_activationsWithoutSheet, 0);
    });
}

TEST(WizardSheet, NextRefusedByThePageStaysAndWizardButtonsFollowThePage) {
    TestSheet sheet;
    sheet.m_second.m_refuseNext = 1;
    RunSheet(sheet, [&](HWND hwnd) {
        HWND back = ::GetDlgItem(hwnd, kBackButton);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindowEnabled(back); }));
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.GetActiveIndex() == 1; }));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(back) != FALSE; }));
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.m_second.m_refuseNext == 0; }));
        EXPECT_EQ(sheet.GetActiveIndex(), 1);
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.GetActiveIndex() == 2; }));
        HWND next = ::GetDlgItem(hwnd, kNextButton);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindowVisible(next) || !::IsWindowEnabled(next); }));
    });
}

TEST(WizardSheet, CancelAsksThePageAndARefusalKeepsTheSheetOpen) {
    TestSheet sheet;
    sheet.m_first.m_allowCancel = false;
    RunSheet(sheet, [&](HWND hwnd) {
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.m_first.m_queries == 1; }));
        ::Sleep(100);  // a refusal has nothing to wait for; give a wrong close time to happen
        EXPECT_TRUE(::IsWindow(hwnd));
        EXPECT_NE(CurrentPage(hwnd), nullptr);
        // The title bar's close goes through the sheet's system command hook, then Cancel.
        ::PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(PollUntil([&] { return sheet.m_lastSysCommand == SC_CLOSE; }));
        EXPECT_TRUE(PollUntil([&] { return sheet.m_first.m_queries >= 2; }));
        sheet.m_first.m_allowCancel = true;
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_TRUE(PollUntil([&] { return !::IsWindow(hwnd); }));
    });
}

TEST(WizardSheet, HelpButtonRoutesTheHelpCommandToTheApplication) {
    HelpApp app;
    TestSheet sheet;
    RunSheet(sheet, [&](HWND hwnd) {
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_HELP, 0);
        EXPECT_TRUE(PollUntil([&] { return app.m_helpCount == 1; }));
    });
}

TEST(WizardSheet, EndDialogFromAPageEndsTheWizardWithoutAskingCancel) {
    class Ending : public TestSheet {
    public:
        Ending() {
            m_second.m_allowCancel = false;
            m_second.m_onActive = [this] { EndDialog(7); };
        }
    } sheet;
    std::atomic<bool> ended{false};
    std::thread driver([&] {
        if (!PollUntil([&] { return sheet.m_initWindow.load() != nullptr; })) return;
        HWND hwnd = sheet.m_initWindow;
        ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        ended = PollUntil([&] { return !::IsWindow(hwnd); });
        if (!ended) ::PostMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    INT_PTR result = sheet.DoModal();
    driver.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(sheet.m_second.m_queries, 0);
}
