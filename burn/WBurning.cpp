#include "burn/WBurning.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CWBurning::CWBurning()
    : CPropertyPage(IDD_BURNING), m_headerTitle(LoadStr(IDS_BURNING_TITLE)), m_headerSubTitle(LoadStr(IDS_BURNING_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CWBurning::OnHelp() {
    ShowWizardHelp(*this);
}
