#include "pages/WaitThread.h"

#include "app/WizardMessages.h"
#include "framework/Strings.h"

namespace {
std::string LoadOptional(UINT id) {
    return id ? LoadStr(id) : std::string();
}
}  // namespace

CWaitThread::CWaitThread(UINT captionId, UINT animationId, UINT actionId, int showCancel,
                         HWND owner)
    : CWinThread(&CWaitThread::RunDialog, &m_dialog),
      m_dialog(LoadStr(captionId), animationId, LoadOptional(actionId), showCancel, owner) {
    m_bAutoDelete = true;
    MapThreadMessage(WM_WAIT_CLOSE, [this](WPARAM, LPARAM) { m_dialog.EndDialog(IDOK); });
    MapThreadMessage(WM_WAIT_SETTEXT, [this](WPARAM, LPARAM) {
        std::string action;
        {
            CScopedLock lock(m_pendingLock);
            action = m_pendingAction;
        }
        m_dialog.SetAction(action);
    });
}

CWaitThread* CWaitThread::Show(UINT captionId, UINT animationId, UINT actionId, int showCancel,
                               HWND owner) {
    auto* thread = new CWaitThread(captionId, animationId, actionId, showCancel, owner);
    if (!thread->CreateThread()) {
        delete thread;
        return nullptr;
    }
    return thread;
}

// The object stays alive until this message has been handled (see RunDialog), so posting to it
// is safe; afterwards it may be gone at any moment.
void CWaitThread::Close(CWaitThread*& thread) {
    if (!thread) return;
    thread->PostThreadMessage(WM_WAIT_CLOSE);
    thread = nullptr;
}

void CWaitThread::SetPendingAction(const std::string& action) {
    CScopedLock lock(m_pendingLock);
    m_pendingAction = action;
}

bool CWaitThread::PostSetText() const {
    return PostThreadMessage(WM_WAIT_SETTEXT);
}

// Only the close message ends the thread: a dialog that could not be created still waits for it,
// so the creator's pointer stays valid until it lets go.
UINT CWaitThread::RunDialog(void* dialog) {
    if (static_cast<CWaitDialog*>(dialog)->DoModal() != -1) return 0;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == WM_WAIT_CLOSE) break;
        ::DispatchMessageA(&msg);
    }
    return 0;
}
