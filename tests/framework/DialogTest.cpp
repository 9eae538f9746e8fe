#include <gtest/gtest.h>

#include <thread>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "tests/framework/FrameworkTestIds.h"

namespace {

constexpr UINT kAdd = WM_USER + 2;
constexpr UINT kFinish = WM_USER + 5;
constexpr UINT kShown = WM_USER + 6;

// Each test dialog runs modally and ends itself, so no second thread is needed.
class ScriptedDialog : public CDialog {
public:
    ScriptedDialog() : CDialog(IDD_TEST_DIALOG) {
        MapMessage(kAdd, &ScriptedDialog::OnAdd);
        MapMessage(kFinish, [this](WPARAM w, LPARAM) {
            EndDialog(static_cast<INT_PTR>(w));
            return 0;
        });
        MapCommand(IDC_TEST_BUTTON, &ScriptedDialog::OnPress);
        MapMessage(kShown, [this](WPARAM, LPARAM) {
            if (m_onShown) m_onShown(*this);
            return 0;
        });
    }
    std::function<void(ScriptedDialog&)> m_onInit;
    std::function<void(ScriptedDialog&)> m_onShown;  // runs once the modal loop is running
    int m_initCount = 0;
    int m_pressCount = 0;
    std::string m_text = "from member";
    int m_check = BST_CHECKED;
    CButton m_button;
    std::vector<UINT_PTR> m_timers;

protected:
    BOOL OnInitDialog() override {
        ++m_initCount;
        CDialog::OnInitDialog();
        if (m_onInit) m_onInit(*this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, IDC_TEST_BUTTON, m_button);
        DDX_Text(dx, IDC_TEST_EDIT, m_text);
        DDX_Check(dx, IDC_TEST_CHECK, m_check);
    }
    void OnTimer(UINT_PTR id) override {
        m_timers.push_back(id);
        KillTimer(id);
        EndDialog(static_cast<INT_PTR>(id));
    }

private:
    LRESULT OnAdd(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }
    void OnPress() { ++m_pressCount; }
};

class HelpApp : public CWinApp {
public:
    HelpApp() : CWinApp("FrameworkTest") { MapCommand(ID_HELP, [this] { ++m_helpCount; }); }
    int m_helpCount = 0;
};

}  // namespace

TEST(Dialog, DoModalReturnsTheEndDialogResultAfterOneInitialisation) {
    ScriptedDialog dialog;
    dialog.m_onInit = [](ScriptedDialog& d) { d.Post(kFinish, 42); };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(dialog.m_initCount, 1);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(Dialog, MissingTemplateGivesMinusOne) {
    class Missing : public CDialog {
    public:
        Missing() : CDialog(999) {}
    } dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(Dialog, RegisteredHandlersAnswerSentMessagesAndCommands) {
    ScriptedDialog dialog;
    LRESULT sum = 0;
    dialog.m_onInit = [&](ScriptedDialog& d) {
        sum = d.Send(kAdd, 3, 4);
        d.Send(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED),
               reinterpret_cast<LPARAM>(d.GetDlgItem(IDC_TEST_BUTTON)));
        // Another notification code from the same button is not a click.
        d.Send(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_SETFOCUS),
               reinterpret_cast<LPARAM>(d.GetDlgItem(IDC_TEST_BUTTON)));
        d.Post(kFinish, IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(sum, 7);
    EXPECT_EQ(dialog.m_pressCount, 1);
}

TEST(Dialog, DataExchangeMovesValuesBothWays) {
    ScriptedDialog dialog;
    std::string shownText;
    UINT shownCheck = 99;
    bool buttonBound = false;
    dialog.m_onInit = [&](ScriptedDialog& d) {
        shownText = d.GetItemText(IDC_TEST_EDIT);
        shownCheck = d.IsItemChecked(IDC_TEST_CHECK);
        buttonBound = d.m_button.m_hWnd == d.GetDlgItem(IDC_TEST_BUTTON);
        d.SetItemText(IDC_TEST_EDIT, "typed by user");
        d.CheckItem(IDC_TEST_CHECK, BST_UNCHECKED);
        d.UpdateData(true);
        d.Post(kFinish, IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(shownText, "from member");
    EXPECT_EQ(shownCheck, static_cast<UINT>(BST_CHECKED));
    EXPECT_TRUE(buttonBound);
    EXPECT_EQ(dialog.m_text, "typed by user");
    EXPECT_EQ(dialog.m_check, BST_UNCHECKED);
}

TEST(Dialog, TimerReachesOnTimerWithItsId) {
    ScriptedDialog dialog;
    dialog.m_onInit = [](ScriptedDialog& d) { d.SetTimer(7, 10); };
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.m_timers, std::vector<UINT_PTR>{7});
}

TEST(Dialog, OkButtonSavesDataAndEnds) {
    ScriptedDialog dialog;
    dialog.m_onInit = [](ScriptedDialog& d) {
        d.SetItemText(IDC_TEST_EDIT, "kept");
        d.Post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_text, "kept");
}

TEST(Dialog, UnhandledHelpCommandReachesTheApplication) {
    HelpApp app;
    ScriptedDialog dialog;
    dialog.m_onInit = [](ScriptedDialog& d) {
        d.Send(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
        d.Post(kFinish, IDOK);
    };
    dialog.DoModal();
    EXPECT_EQ(app.m_helpCount, 1);
}

TEST(Dialog, WithoutParentTheActiveWindowOwnsItCentresItAndIsDisabledMeanwhile) {
    // The inner dialog starts from a handler of the outer one, as the About box starts from the
    // wizard's system menu.
    constexpr UINT kOpenInner = WM_USER + 102;
    ScriptedDialog inner;
    HWND outerWindow = nullptr, innerOwner = nullptr;
    bool disabledMeanwhile = false, enabledAfter = false;
    inner.m_onInit = [&](ScriptedDialog& i) { i.Post(kShown); };
    POINT innerCentre{}, outerCentre{};
    inner.m_onShown = [&](ScriptedDialog& i) {
        innerOwner = ::GetWindow(i.m_hWnd, GW_OWNER);
        RECT o = CWnd(outerWindow).GetWindowRect(), d = i.GetWindowRect();
        outerCentre = {(o.left + o.right) / 2, (o.top + o.bottom) / 2};
        innerCentre = {(d.left + d.right) / 2, (d.top + d.bottom) / 2};
        disabledMeanwhile = !::IsWindowEnabled(outerWindow);
        i.EndDialog(IDOK);
    };
    // The outer dialog opens the inner one from a registered handler.
    class Outer : public ScriptedDialog {
    public:
        Outer(ScriptedDialog& innerDialog, bool& enabled) {
            MapMessage(kOpenInner, [this, &innerDialog, &enabled](WPARAM, LPARAM) {
                ::SetActiveWindow(m_hWnd);
                innerDialog.DoModal();
                enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
                EndDialog(IDOK);
                return 0;
            });
        }
    } runner(inner, enabledAfter);
    runner.m_onInit = [&](ScriptedDialog& o) {
        outerWindow = o.m_hWnd;
        ::SetWindowPos(o.m_hWnd, nullptr, 300, 200, 500, 400, SWP_NOZORDER);
        o.Post(kOpenInner);
    };
    runner.DoModal();
    EXPECT_NE(outerWindow, nullptr);
    EXPECT_EQ(innerOwner, outerWindow);
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(enabledAfter);
    EXPECT_NEAR(innerCentre.x, outerCentre.x, 1);
    EXPECT_NEAR(innerCentre.y, outerCentre.y, 1);
}

TEST(Dialog, SendNotifyFromAWorkerRunsTheDerivedHandlerOnTheDialogThread) {
    // The same number as the base's kFinish: the derived handler must win.
    constexpr UINT kScanned = kFinish;
    struct Receiver : ScriptedDialog {
        DWORD handlerThread = 0;
        WPARAM received = 0;
        Receiver() {
            MapMessage(kScanned, [this](WPARAM w, LPARAM) {
                handlerThread = ::GetCurrentThreadId();
                received = w;
                EndDialog(IDOK);
                return 1;
            });
        }
    } dialog;
    int payload = 0;
    std::thread worker;
    dialog.m_onInit = [&](ScriptedDialog& d) {
        HWND target = d.m_hWnd;
        // The worker does not wait for the dialog's thread.
        worker = std::thread([target, &payload] {
            ::SendNotifyMessageA(target, kScanned, reinterpret_cast<WPARAM>(&payload), 0);
        });
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    worker.join();
    EXPECT_EQ(dialog.handlerThread, ::GetCurrentThreadId());
    EXPECT_EQ(dialog.received, reinterpret_cast<WPARAM>(&payload));
}
