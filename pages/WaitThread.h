// The user-interface thread of one please-wait dialog. The creator shows it, may change its text
// and closes it, all by thread messages; the object deletes itself when its thread ends.
#pragma once

#include <string>

#include "framework/Handles.h"
#include "framework/WinThread.h"
#include "pages/WaitDialog.h"

class CWaitThread : public CWinThread {
public:
    // The action text is loaded only for a nonzero id.
    CWaitThread(UINT captionId, UINT animationId, UINT actionId, int showCancel, HWND owner);

    // Creates and starts one: the dialog runs on the new thread, modal over the owner's window.
    // Null when no thread could be started.
    static CWaitThread* Show(UINT captionId, UINT animationId, UINT actionId, int showCancel,
                             HWND owner);
    // Ends the dialog and with it the thread and the object; the caller's pointer is cleared.
    static void Close(CWaitThread*& thread);

    // The text that a WM_WAIT_SETTEXT puts into the dialog.
    void SetPendingAction(const std::string& action);
    bool PostSetText() const;

    CWaitDialog m_dialog;
    std::string m_pendingAction;

private:
    static UINT RunDialog(void* dialog);

    CCriticalSection m_pendingLock;
};
