#include "pages/PPBurningSummary.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CPPBurningSummary::CPPBurningSummary()
    : CPropertyPage(IDD_SUMMARY), m_headerTitle(LoadStr(IDS_SUMMARY_TITLE)), m_headerSubTitle(LoadStr(IDS_SUMMARY_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CPPBurningSummary::OnHelp() {
    ShowWizardHelp(*this);
}
