#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "app/WizardMessages.h"
#include "pages/WaitThread.h"
#include "res/resource.h"
#include "tests/gui/WizardDriver.h"

namespace {

std::atomic<int> g_cancelNotices{0};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WAIT_CANCELLED) {
        ++g_cancelNotices;
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A top-level window standing in for the wizard, on the test's thread.
class OwnerWindow {
public:
    OwnerWindow(int x, int y, int width, int height) {
        static const ATOM kClass = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS | ICC_STANDARD_CLASSES};
            ::InitCommonControlsEx(&controls);
            WNDCLASSA wc{};
            wc.lpfnWndProc = OwnerProc;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "QuillfireWaitOwner";
            return ::RegisterClassA(&wc);
        }();
        (void)kClass;
        m_hwnd = ::CreateWindowExA(0, "QuillfireWaitOwner", "Owner", WS_OVERLAPPEDWINDOW, x, y,
                                   width, height, nullptr, nullptr, ::GetModuleHandleA(nullptr),
                                   nullptr);
        ::ShowWindow(m_hwnd, SW_SHOW);
    }
    ~OwnerWindow() { ::DestroyWindow(m_hwnd); }
    HWND m_hwnd;
};

// Serves this thread's messages while waiting: the dialog's thread talks to the owner.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = ::GetTickCount();
    while (!condition()) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(5);
    }
    return true;
}

struct Found {
    DWORD thread;
    HWND dialog = nullptr;
};

// The visible dialog window of the wait thread, if it is on screen yet.
HWND VisibleDialogOf(DWORD threadId) {
    Found found{threadId};
    ::EnumThreadWindows(
        threadId,
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            char cls[32] = {};
            ::GetClassNameA(hwnd, cls, sizeof cls);
            if (std::string(cls) == "#32770" && ::IsWindowVisible(hwnd)) {
                f->dialog = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.dialog;
}

std::string TextOf(HWND hwnd) {
    char text[512] = {};
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

bool ItemVisible(HWND dialog, int id) {
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}

// A handle on the thread, to see it end after the object has deleted itself.
HANDLE ThreadHandle(const CWaitThread* thread) {
    return ::OpenThread(SYNCHRONIZE, FALSE, thread->GetThreadId());
}

bool EndsWithin(HANDLE thread, DWORD timeoutMs = 10000) {
    bool ended = PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; },
                           timeoutMs);
    ::CloseHandle(thread);
    return ended;
}

int ThreadsOfProcess() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    ::CloseHandle(snapshot);
    return count;
}

// A picture of the screen for the eye, once the dialog has had time to paint (not an assertion).
void SavePicture(const char* name) {
    PumpUntil([] { return false; }, 400);
    const char* dir = std::getenv("QF_SCREENSHOT_DIR");
    if (dir && *dir) SaveScreenshot(std::string(dir) + "\\" + name + ".bmp");
}

}  // namespace

TEST(WaitDialog, ShowsCentredOverTheWizardWithItsTextsWhileTheCreatorIsBlocked) {
    OwnerWindow owner(137, 91, 640, 480);
    CWaitThread* thread =
        CWaitThread::Show(IDS_REFRESHING_DEVICE, IDR_AVI_SEARCH, IDS_REFRESHING_INFO, 1, owner.m_hwnd);
    ASSERT_NE(thread, nullptr);
    DWORD threadId = thread->GetThreadId();
    HANDLE handle = ThreadHandle(thread);

    // The creator does not pump at all while a second thread looks at the screen.
    HWND dialog = nullptr;
    RECT d{}, o{};
    std::string caption, action;
    bool cancelVisible = false, cancellingVisible = true, ownerDisabled = false;
    std::thread observer([&] {
        DWORD start = ::GetTickCount();
        while (!(dialog = VisibleDialogOf(threadId)) && ::GetTickCount() - start < 10000) ::Sleep(5);
        if (!dialog) return;
        ::Sleep(200);  // let the first showing settle
        ::GetWindowRect(dialog, &d);
        ::GetWindowRect(owner.m_hwnd, &o);
        caption = TextOf(dialog);
        action = TextOf(::GetDlgItem(dialog, IDC_WAIT_ACTION));
        cancelVisible = ItemVisible(dialog, IDCANCEL);
        cancellingVisible = ItemVisible(dialog, IDC_WAIT_CANCELLING);
    });
    observer.join();
    ASSERT_NE(dialog, nullptr) << "the dialog did not show while its creator was blocked";
    EXPECT_EQ(caption, "Refreshing device info");
    EXPECT_EQ(action, "Quillfire is refreshing info for selected device.");
    EXPECT_TRUE(cancelVisible);
    EXPECT_FALSE(cancellingVisible);
    int width = d.right - d.left, height = d.bottom - d.top;
    EXPECT_EQ(d.left, o.left + ((o.right - o.left) - width) / 2);
    EXPECT_EQ(d.top, o.top + ((o.bottom - o.top) - height) / 2);

    // Modal over the wizard: the wizard takes no input until the dialog goes.
    ownerDisabled = PumpUntil([&] { return !::IsWindowEnabled(owner.m_hwnd); });
    EXPECT_TRUE(ownerDisabled);
    CWaitThread::Close(thread);
    EXPECT_EQ(thread, nullptr);
    EXPECT_TRUE(EndsWithin(handle));
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(owner.m_hwnd) != FALSE; }));
}

TEST(WaitDialog, FollowsTheWizardWhereverItStands) {
    OwnerWindow owner(700, 500, 400, 300);
    CWaitThread* thread = CWaitThread::Show(IDS_PLEASE_WAIT, IDR_AVI_SEARCH, IDS_SCANNING_DEVICES, 1,
                                            owner.m_hwnd);
    ASSERT_NE(thread, nullptr);
    DWORD threadId = thread->GetThreadId();
    HWND dialog = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = VisibleDialogOf(threadId)) != nullptr; }));
    RECT d{}, o{};
    ASSERT_TRUE(PumpUntil([&] {
        ::GetWindowRect(dialog, &d);
        ::GetWindowRect(owner.m_hwnd, &o);
        return d.left == o.left + ((o.right - o.left) - (d.right - d.left)) / 2;
    }));
    EXPECT_EQ(d.top, o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2);
    EXPECT_EQ(TextOf(dialog), "Please wait");
    HANDLE handle = ThreadHandle(thread);
    CWaitThread::Close(thread);
    EXPECT_TRUE(EndsWithin(handle));
}

TEST(WaitDialog, CancelReportsOnceToTheOwnerAndLeavesTheDialogOpen) {
    g_cancelNotices = 0;
    OwnerWindow owner(100, 100, 500, 400);
    CWaitThread* thread = CWaitThread::Show(IDS_PLEASE_WAIT, IDR_AVI_SEARCH, IDS_SCANNING_DEVICES, 1,
                                            owner.m_hwnd);
    ASSERT_NE(thread, nullptr);
    HWND dialog = nullptr;
    DWORD threadId = thread->GetThreadId();
    ASSERT_TRUE(PumpUntil([&] { return (dialog = VisibleDialogOf(threadId)) != nullptr; }));
    HWND cancel = ::GetDlgItem(dialog, IDCANCEL);
    ::PostMessageA(cancel, BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return g_cancelNotices == 1; }));
    EXPECT_TRUE(ItemVisible(dialog, IDC_WAIT_CANCELLING));
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDC_WAIT_CANCELLING)), "Canceling...");
    EXPECT_FALSE(::IsWindowEnabled(cancel));
    SavePicture("WaitDialog.Cancelling");
    // A second click and the Escape key find nothing to cancel any more.
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(g_cancelNotices, 1);
    EXPECT_TRUE(::IsWindow(dialog));
    EXPECT_TRUE(::IsWindowVisible(dialog));
    HANDLE handle = ThreadHandle(thread);
    CWaitThread::Close(thread);
    EXPECT_TRUE(EndsWithin(handle));
    EXPECT_FALSE(::IsWindow(dialog));
}

TEST(WaitDialog, WithoutCancelTheButtonStaysHiddenAndEscapeDoesNothing) {
    g_cancelNotices = 0;
    OwnerWindow owner(100, 100, 500, 400);
    CWaitThread* thread =
        CWaitThread::Show(IDS_CANCEL_BURNING, IDR_AVI_SEARCH, IDS_CANCELLING_BURN, 0, owner.m_hwnd);
    ASSERT_NE(thread, nullptr);
    HWND dialog = nullptr;
    DWORD threadId = thread->GetThreadId();
    ASSERT_TRUE(PumpUntil([&] { return (dialog = VisibleDialogOf(threadId)) != nullptr; }));
    EXPECT_EQ(TextOf(dialog), "Cancel burning");
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDC_WAIT_ACTION)), "Quillfire Wizard cancels burning. ");
    EXPECT_FALSE(ItemVisible(dialog, IDCANCEL));
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(g_cancelNotices, 0);
    EXPECT_FALSE(ItemVisible(dialog, IDC_WAIT_CANCELLING));
    EXPECT_FALSE(ItemVisible(dialog, IDCANCEL));
    // Hidden on every showing, not only the first.
    ::ShowWindow(dialog, SW_HIDE);
    ::ShowWindow(dialog, SW_SHOW);
    PumpUntil([] { return false; }, 100);
    EXPECT_FALSE(ItemVisible(dialog, IDCANCEL));
    HANDLE handle = ThreadHandle(thread);
    CWaitThread::Close(thread);
    EXPECT_TRUE(EndsWithin(handle));
}

TEST(WaitDialog, SetTextShowsThePendingAction) {
    OwnerWindow owner(100, 100, 500, 400);
    CWaitThread* thread = CWaitThread::Show(IDS_PLEASE_WAIT, IDR_AVI_SEARCH, 0, 1, owner.m_hwnd);
    ASSERT_NE(thread, nullptr);
    HWND dialog = nullptr;
    DWORD threadId = thread->GetThreadId();
    ASSERT_TRUE(PumpUntil([&] { return (dialog = VisibleDialogOf(threadId)) != nullptr; }));
    // Without an action id the text is empty, never the template's design text.
    EXPECT_EQ(TextOf(::GetDlgItem(dialog, IDC_WAIT_ACTION)), "");
    thread->SetPendingAction("Reading the disc");
    ASSERT_TRUE(thread->PostSetText());
    EXPECT_TRUE(PumpUntil(
        [&] { return TextOf(::GetDlgItem(dialog, IDC_WAIT_ACTION)) == "Reading the disc"; }));
    HANDLE handle = ThreadHandle(thread);
    CWaitThread::Close(thread);
    EXPECT_TRUE(EndsWithin(handle));
}

TEST(WaitDialog, CloseBeforeTheWindowExistsEndsTheThreadAndLeaksNothing) {
    OwnerWindow owner(100, 100, 500, 400);
    auto cycle = [&] {
        CWaitThread* thread = CWaitThread::Show(IDS_PLEASE_WAIT, IDR_AVI_SEARCH,
                                                IDS_SCANNING_DEVICES, 1, owner.m_hwnd);
        if (!thread) return false;
        HANDLE handle = ThreadHandle(thread);
        // Posted at once: the thread has its queue but has not made its window yet.
        CWaitThread::Close(thread);
        return EndsWithin(handle) && ::IsWindowEnabled(owner.m_hwnd);
    };
    ASSERT_TRUE(cycle());  // the first showing loads what stays loaded
    PumpUntil([] { return false; }, 200);
    DWORD handlesBefore = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesBefore);
    int threadsBefore = ThreadsOfProcess();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(cycle()) << "cycle " << i;
    PumpUntil([] { return false; }, 200);
    DWORD handlesAfter = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(handlesAfter, handlesBefore);
    EXPECT_EQ(ThreadsOfProcess(), threadsBefore);
}
