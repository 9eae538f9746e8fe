#include "pages/WaitDialog.h"

#include "app/WizardMessages.h"
#include "framework/WinApp.h"
#include "res/resource.h"

CWaitDialog::CWaitDialog(const std::string& caption, UINT animationId, const std::string& action,
                         int showCancel, HWND owner)
    : CDialog(IDD_WAIT, owner),
      m_action(action),
      m_caption(caption),
      m_animationId(animationId),
      m_showCancel(showCancel),
      m_owner(owner) {}

void CWaitDialog::SetAction(const std::string& action) {
    m_action = action;
    SetItemText(IDC_WAIT_ACTION, m_action);
}

void CWaitDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_WAIT_ANIMATION, m_animation);
}

bool CWaitDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_SHOWWINDOW) {
        OnShowWindow(static_cast<BOOL>(wParam));
        return false;  // the system's own handling follows
    }
    return CDialog::OnMessage(msg, wParam, lParam, result);
}

// Centred over the wizard on every showing, wherever the wizard stands; the texts are set again
// because the template's design texts must never be seen.
void CWaitDialog::OnShowWindow(BOOL show) {
    if (show == TRUE) {
        HWND wizard = ::GetWindow(m_hWnd, GW_OWNER);
        if (wizard) {
            RECT o{}, d = GetWindowRect();
            ::GetWindowRect(wizard, &o);
            int x = o.left + ((o.right - o.left) - (d.right - d.left)) / 2;
            int y = o.top + ((o.bottom - o.top) - (d.bottom - d.top)) / 2;
            ::SetWindowPos(m_hWnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
        }
        SetItemText(IDC_WAIT_ACTION, m_action);
        ShowItem(IDC_WAIT_CANCELLING, false);
        EnableItem(IDCANCEL, true);
        SetText(m_caption);
        SetItemText(IDC_WAIT_ACTION, m_action);
    }
    ShowItem(IDCANCEL, m_showCancel != 0);
    // Without the clip the dialog simply shows no animation.
    if (m_animation.Open(AfxGetInstanceHandle(), m_animationId)) m_animation.Play(0, 0xFFFF, -1);
}

// Cancel only reports: the dialog stays until its creator closes it. Escape arrives here too, so a
// dialog without a usable Cancel button ignores it.
void CWaitDialog::OnCancel() {
    if (!m_showCancel || !::IsWindowEnabled(GetDlgItem(IDCANCEL))) return;
    ShowItem(IDC_WAIT_CANCELLING, true);
    EnableItem(IDCANCEL, false);
    if (m_owner) ::SendNotifyMessageA(m_owner, WM_WAIT_CANCELLED, 0, 0);
}
