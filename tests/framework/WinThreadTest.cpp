#include <gtest/gtest.h>

#include <atomic>

#include "framework/Dialog.h"
#include "framework/WinThread.h"
#include "tests/framework/FrameworkTestIds.h"

namespace {

constexpr UINT kClose = WM_USER + 14;

// A message-loop thread that quits on kClose.
class LoopThread : public CWinThread {
public:
    LoopThread() {
        MapThreadMessage(kClose, [this](WPARAM w, LPARAM) {
            m_closeArgument = static_cast<int>(w);
            ::PostQuitMessage(0);
        });
    }
    int m_closeArgument = 0;
};

class WaitDialog : public CDialog {
public:
    WaitDialog() : CDialog(IDD_TEST_DIALOG) {}
};

// Runs a modal dialog on its own thread and ends it on a thread message.
class DialogThread : public CWinThread {
public:
    DialogThread(std::atomic<bool>* destroyed = nullptr)
        : CWinThread(&DialogThread::Proc, this), m_destroyed(destroyed) {
        MapThreadMessage(kClose, [this](WPARAM, LPARAM) { m_dialog.EndDialog(IDOK); });
    }
    ~DialogThread() override {
        if (m_destroyed) *m_destroyed = true;
    }
    WaitDialog m_dialog;
    INT_PTR m_result = 0;

private:
    static UINT Proc(void* self) {
        auto* thread = static_cast<DialogThread*>(self);
        thread->m_result = thread->m_dialog.DoModal();
        return 0;
    }
    std::atomic<bool>* m_destroyed;
};

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(5);
    }
    return true;
}

}  // namespace

TEST(WinThread, MessagePostedRightAfterStartIsNotLost) {
    for (int i = 0; i < 20; ++i) {
        LoopThread thread;
        ASSERT_TRUE(thread.CreateThread());
        ASSERT_TRUE(thread.PostThreadMessage(kClose, 5));
        ASSERT_TRUE(thread.Join(10000));
        EXPECT_EQ(thread.m_closeArgument, 5);
    }
}

TEST(WinThread, ModalDialogLoopHandsThreadMessagesToItsThread) {
    DialogThread thread;
    ASSERT_TRUE(thread.CreateThread());
    ASSERT_TRUE(thread.PostThreadMessage(kClose));
    ASSERT_TRUE(thread.Join(10000));
    EXPECT_EQ(thread.m_result, IDOK);
}

TEST(WinThread, ModalDialogEndsOnThreadMessageOnceVisible) {
    DialogThread thread;
    ASSERT_TRUE(thread.CreateThread());
    ASSERT_TRUE(PollUntil([&] { return thread.m_dialog.m_hWnd && ::IsWindowVisible(thread.m_dialog.m_hWnd); }));
    thread.PostThreadMessage(kClose);
    ASSERT_TRUE(thread.Join(10000));
    EXPECT_EQ(thread.m_result, IDOK);
}

TEST(WinThread, AutoDeletingThreadFreesItselfWhenItEnds) {
    std::atomic<bool> destroyed{false};
    auto* thread = new DialogThread(&destroyed);
    thread->m_bAutoDelete = true;
    ASSERT_TRUE(thread->CreateThread());
    thread->PostThreadMessage(kClose);
    thread = nullptr;  // the owner forgets it
    EXPECT_TRUE(PollUntil([&] { return destroyed.load(); }));
}

TEST(WinThread, DestructorJoinsARunningThread) {
    DWORD id = 0;
    {
        LoopThread thread;
        ASSERT_TRUE(thread.CreateThread());
        id = thread.GetThreadId();
        thread.PostThreadMessage(kClose);
    }
    HANDLE handle = ::OpenThread(SYNCHRONIZE, FALSE, id);
    if (handle) {
        EXPECT_EQ(::WaitForSingleObject(handle, 0), WAIT_OBJECT_0);
        ::CloseHandle(handle);
    }
}

namespace {
// A modal dialog on its own thread, owned by a window of the thread that started it.
class OwnedDialogThread : public CWinThread {
public:
    explicit OwnedDialogThread(HWND owner) : CWinThread(&OwnedDialogThread::Proc, this), m_dialog(owner) {
        MapThreadMessage(kClose, [this](WPARAM, LPARAM) { m_dialog.EndDialog(IDOK); });
    }
    class Dialog : public CDialog {
    public:
        explicit Dialog(HWND owner) : CDialog(IDD_TEST_DIALOG, owner) {}
        std::atomic<HWND> m_window{nullptr};

    protected:
        BOOL OnInitDialog() override {
            m_window = m_hWnd;
            return CDialog::OnInitDialog();
        }
    } m_dialog;

private:
    static UINT Proc(void* self) {
        static_cast<OwnedDialogThread*>(self)->m_dialog.DoModal();
        return 0;
    }
};

// Waits for a thread while handling this thread's messages, as a user-interface thread does.
bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (::MsgWaitForMultipleObjects(1, &handle, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    }
    return false;
}
}  // namespace

TEST(WinThread, DialogShowsWhileTheOwnersThreadIsBusyAndDisablesTheOwnerOnceItIsFree) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200,
                                   nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    OwnedDialogThread thread(owner);
    ASSERT_TRUE(thread.CreateThread());
    // This thread handles no messages meanwhile, like a page probing a drive.
    EXPECT_TRUE(PollUntil([&] {
        HWND window = thread.m_dialog.m_window;
        return window && ::IsWindowVisible(window);
    }));
    // Once this thread handles messages again the owner takes no input until the dialog ends.
    EXPECT_TRUE(PollUntil([&] {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        return !::IsWindowEnabled(owner);
    }));
    thread.PostThreadMessage(kClose);
    EXPECT_TRUE(PumpUntilSignalled(thread.GetThreadHandle(), 10000));
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}
