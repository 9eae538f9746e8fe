#include "framework/WinThread.h"

namespace {
thread_local CWinThread* t_current = nullptr;
}

CWinThread::CWinThread(ThreadProc proc, void* param) : m_proc(proc), m_param(param) {}

CWinThread::~CWinThread() {
    if (m_thread.IsValid() && ::GetCurrentThreadId() != m_threadId) Join();
}

bool CWinThread::CreateThread() {
    if (m_thread.IsValid()) return false;
    // Suspended until the handles are in place: an auto-deleting object may be gone as soon as
    // its thread has run, so the wait below uses copies of its handles.
    HANDLE thread = ::CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &m_threadId);
    if (!thread) return false;
    m_thread.Reset(thread);
    HANDLE process = ::GetCurrentProcess();
    HANDLE readyCopy = nullptr, threadCopy = nullptr;
    ::DuplicateHandle(process, m_queueReady.Get(), process, &readyCopy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ::DuplicateHandle(process, thread, process, &threadCopy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    CHandle ready(readyCopy), running(threadCopy);
    ::ResumeThread(thread);
    HANDLE waits[2] = {ready.Get(), running.Get()};
    ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return true;
}

bool CWinThread::PostThreadMessage(UINT msg, WPARAM wParam, LPARAM lParam) const {
    return ::PostThreadMessageA(m_threadId, msg, wParam, lParam) != FALSE;
}

bool CWinThread::Join(DWORD timeoutMs) {
    if (!m_thread.IsValid()) return true;
    if (::WaitForSingleObject(m_thread.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    m_thread.Reset();
    return true;
}

CWinThread* CWinThread::GetCurrent() {
    return t_current;
}

bool CWinThread::DispatchThreadMessage(const MSG& msg) {
    for (auto& entry : m_threadMessageMap) {
        if (entry.msg == msg.message) {
            entry.handler(msg.wParam, msg.lParam);
            return true;
        }
    }
    return false;
}

UINT CWinThread::Run() {
    if (m_proc) return m_proc(m_param);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd) {
            DispatchThreadMessage(msg);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

void CWinThread::MapThreadMessage(UINT msg, std::function<void(WPARAM, LPARAM)> handler) {
    m_threadMessageMap.push_back({msg, std::move(handler)});
}

DWORD WINAPI CWinThread::Entry(void* param) {
    auto* self = static_cast<CWinThread*>(param);
    t_current = self;
    MSG msg;
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // creates the queue
    self->m_queueReady.Set();
    UINT code = 0;
    try {
        code = self->Run();
    } catch (...) {
        code = static_cast<UINT>(-1);
    }
    t_current = nullptr;
    if (self->m_bAutoDelete) {
        // Nobody joins an auto-deleting thread: close our own handle and go.
        self->m_thread.Reset();
        delete self;
    }
    return code;
}
