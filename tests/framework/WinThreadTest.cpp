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
