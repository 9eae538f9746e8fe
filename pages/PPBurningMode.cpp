#include "pages/PPBurningMode.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CPPBurningMode::CPPBurningMode()
    : CPropertyPage(IDD_MODE), m_headerTitle(LoadStr(IDS_MODE_TITLE)), m_headerSubTitle(LoadStr(IDS_MODE_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CPPBurningMode::OnHelp() {
    ShowWizardHelp(*this);
}
