#include "pages/WBurnerProp.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CWBurnerProp::CWBurnerProp()
    : CPropertyPage(IDD_OPTIONS), m_headerTitle(LoadStr(IDS_OPTIONS_TITLE)), m_headerSubTitle(LoadStr(IDS_OPTIONS_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CWBurnerProp::OnHelp() {
    ShowWizardHelp(*this);
}
