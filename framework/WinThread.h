// A user-interface thread: its own message queue, thread-message handlers, and a defined end.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/Handles.h"

class CWinThread {
public:
    using ThreadProc = UINT (*)(void* param);

    // With a procedure the thread runs it (a modal dialog pumps the queue); without, it runs a
    // message loop until WM_QUIT.
    explicit CWinThread(ThreadProc proc = nullptr, void* param = nullptr);
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;
    // Joins a thread that is still running (unless called on that very thread).
    virtual ~CWinThread();

    // Returns once the new thread has its message queue, so a thread message posted right after
    // is not lost.
    bool CreateThread();
    bool PostThreadMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    DWORD GetThreadId() const { return m_threadId; }
    HANDLE GetThreadHandle() const { return m_thread.Get(); }
    bool Join(DWORD timeoutMs = INFINITE);

    // When true the object deletes itself as its thread ends; its owner then only forgets it.
    bool m_bAutoDelete = false;

    // The thread object running on the calling thread; null on other threads.
    static CWinThread* GetCurrent();
    // Hands a window-less message to its handler; false when none is registered.
    bool DispatchThreadMessage(const MSG& msg);

protected:
    virtual UINT Run();
    void MapThreadMessage(UINT msg, std::function<void(WPARAM, LPARAM)> handler);

private:
    static DWORD WINAPI Entry(void* self);

    struct Entry_ {
        UINT msg;
        std::function<void(WPARAM, LPARAM)> handler;
    };
    ThreadProc m_proc;
    void* m_param;
    CHandle m_thread;
    DWORD m_threadId = 0;
    CEvent m_queueReady;
    std::vector<Entry_> m_threadMessageMap;
};
