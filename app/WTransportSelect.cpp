#include "app/WTransportSelect.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CWTransportSelect::CWTransportSelect()
    : CPropertyPage(IDD_TRANSPORT),
      m_headerTitle(LoadStr(IDS_TRANSPORT_TITLE)),
      m_headerSubTitle(LoadStr(IDS_TRANSPORT_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

BOOL CWTransportSelect::OnInitDialog() {
    CPropertyPage::OnInitDialog();
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
    return CPropertyPage::OnSetActive();
}

LRESULT CWTransportSelect::OnWizardNext() {
    CPSQuillfire* wizard = GetWizard(*this);
    if (!wizard) return -1;
    wizard->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    LRESULT state = ::SendDlgItemMessageA(m_hWnd, IDC_SPTI, BM_GETCHECK, 0, 0);
    wizard->m_transport = state == BST_CHECKED ? 1 : 0;
    return CPropertyPage::OnWizardNext();
}

void CWTransportSelect::OnHelp() {
    ShowWizardHelp(*this);
}
