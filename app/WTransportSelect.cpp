#include "app/WTransportSelect.h"

#include "res/resource.h"

CWTransportSelect::CWTransportSelect()
    : CWizardPage(IDD_TRANSPORT, IDS_TRANSPORT_TITLE, IDS_TRANSPORT_SUBTITLE) {}

BOOL CWTransportSelect::OnInitDialog() {
    CWizardPage::OnInitDialog();
    if (HasScsiPassThrough(::GetVersion())) {
        EnableItem(IDC_SPTI, true);
        ::SendDlgItemMessageA(m_hWnd, IDC_SPTI, BM_SETCHECK, BST_CHECKED, 0);
    } else {
        EnableItem(IDC_SPTI, false);
        ::SendDlgItemMessageA(m_hWnd, IDC_ASPI, BM_SETCHECK, BST_CHECKED, 0);
    }
    return TRUE;
}

BOOL CWTransportSelect::OnSetActive() {
    if (CPropertySheet* sheet = GetSheet()) sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CWTransportSelect::OnWizardNext() {
    CWizardSheet* wizard = GetWizard();
    if (!wizard) return -1;
    wizard->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    LRESULT state = ::SendDlgItemMessageA(m_hWnd, IDC_SPTI, BM_GETCHECK, 0, 0);
    wizard->m_transport = state == BST_CHECKED ? 1 : 0;
    return CWizardPage::OnWizardNext();
}
