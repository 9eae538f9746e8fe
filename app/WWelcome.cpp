#include "app/WWelcome.h"

#include "res/resource.h"

CWWelcome::CWWelcome() : CWizardPage(IDD_WELCOME) {}

// Runs once per run, so coming back with Back makes no second font.
BOOL CWWelcome::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_titleFont.Attach(::CreateFontA(0, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                     "Verdana"));
    ::SendDlgItemMessageA(m_hWnd, IDC_WELCOME_TITLE, WM_SETFONT,
                          reinterpret_cast<WPARAM>(m_titleFont.GetSafeHandle()), 1);
    return TRUE;
}

BOOL CWWelcome::OnSetActive() {
    if (CPropertySheet* sheet = GetSheet()) sheet->SetWizardButtons(PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}
