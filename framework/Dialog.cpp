#include "framework/Dialog.h"

#include "framework/WinApp.h"
#include "framework/WinThread.h"

namespace {
// A modal box opens over the window it belongs to, not wherever its template says.
void CenterOver(HWND dialog, HWND owner) {
    RECT o{}, d{};
    ::GetWindowRect(owner, &o);
    ::GetWindowRect(dialog, &d);
    int x = o.left + ((o.right - o.left) - (d.right - d.left)) / 2;
    int y = o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2;
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent : ::GetActiveWindow();
    if (owner) owner = ::GetAncestor(owner, GA_ROOT);
    bool disableOwner = owner && ::IsWindowEnabled(owner);

    m_modalResult = -1;
    m_inModalLoop = true;
    HWND hwnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        m_inModalLoop = false;
        return -1;
    }
    if (owner) CenterOver(hwnd, owner);
    // Shown before the owner is disabled: an owner on a busy thread answers that only once its
    // thread is free again, and the dialog should be on screen meanwhile.
    if (m_inModalLoop) ::ShowWindow(hwnd, SW_SHOW);
    if (disableOwner) ::EnableWindow(owner, FALSE);

    MSG msg;
    while (m_inModalLoop) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!msg.hwnd) {
            if (CWinThread* thread = CWinThread::GetCurrent()) thread->DispatchThreadMessage(msg);
            continue;
        }
        if (!::IsDialogMessageA(hwnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_inModalLoop = false;
    // The owner is enabled before the dialog goes, so activation returns to it.
    if (disableOwner) ::EnableWindow(owner, TRUE);
    if (owner && ::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
    ::DestroyWindow(hwnd);
    return m_modalResult;
}

void CDialog::EndDialog(INT_PTR result) {
    m_modalResult = result;
    m_inModalLoop = false;
    // Wakes the loop when the call comes from outside a message (a dialog proc call always is).
    ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::UpdateData(bool save) {
    CDataExchange dx(this, save);
    DoDataExchange(&dx);
    return true;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(UINT id, UINT code, HWND control) {
    // The latest registration wins, so a derived class's handler replaces its base's.
    for (auto it = m_commandMap.rbegin(); it != m_commandMap.rend(); ++it) {
        auto& entry = *it;
        if (entry.id == id && (entry.code == code || (!control && code <= 1))) {
            entry.handler();
            return true;
        }
    }
    if (id == IDOK && code == BN_CLICKED) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL && code == BN_CLICKED) {
        OnCancel();
        return true;
    }
    if (!control && AfxGetApp()) return AfxGetApp()->OnCmdMsg(id);
    return false;
}

bool CDialog::OnNotify(NMHDR* header, LRESULT& result) {
    for (auto it = m_notifyMap.rbegin(); it != m_notifyMap.rend(); ++it) {
        auto& entry = *it;
        if (entry.id == header->idFrom && entry.code == header->code) {
            result = entry.handler(header);
            return true;
        }
    }
    return false;
}

bool CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (auto it = m_messageMap.rbegin(); it != m_messageMap.rend(); ++it) {
        auto& entry = *it;
        if (entry.msg == msg) {
            result = entry.handler(wParam, lParam);
            return true;
        }
    }
    return false;
}

void CDialog::MapMessage(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler) {
    m_messageMap.push_back({msg, std::move(handler)});
}

void CDialog::MapCommand(UINT id, std::function<void()> handler, UINT code) {
    m_commandMap.push_back({id, code, std::move(handler)});
}

void CDialog::MapNotify(UINT id, UINT code, std::function<LRESULT(NMHDR*)> handler) {
    m_notifyMap.push_back({id, code, std::move(handler)});
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    return self ? Dispatch(self, hwnd, msg, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(CDialog* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        LRESULT result = 0;
        bool handled = false;
        switch (msg) {
        case WM_INITDIALOG:
            self->m_hWnd = hwnd;
            return self->OnInitDialog();
        case WM_COMMAND:
            handled = self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_NOTIFY:
            handled = self->OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
            break;
        case WM_TIMER:
            self->OnTimer(wParam);
            handled = true;
            break;
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
            return FALSE;
        default:
            handled = self->OnMessage(msg, wParam, lParam, result);
            break;
        }
        if (!handled) return FALSE;
        if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) return static_cast<INT_PTR>(result);
        // The one place a handler's answer is handed to the system.
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (!control.m_hWnd) control.SubclassDlgItem(id, dx->m_dialog->m_hWnd);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(item, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(item, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->m_bSaveAndValidate)
        value = dx->m_dialog->GetItemText(id);
    else
        dx->m_dialog->SetItemText(id, value);
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    HWND item = dx->m_dialog->GetDlgItem(id);
    if (dx->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageA(item, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
