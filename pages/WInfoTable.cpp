#include "pages/WInfoTable.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CWInfoTable::CWInfoTable()
    : CPropertyPage(IDD_DEVICE), m_headerTitle(LoadStr(IDS_DEVICE_TITLE)), m_headerSubTitle(LoadStr(IDS_DEVICE_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CWInfoTable::OnHelp() {
    ShowWizardHelp(*this);
}
