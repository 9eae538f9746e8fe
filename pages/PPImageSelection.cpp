#include "pages/PPImageSelection.h"

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CPPImageSelection::CPPImageSelection()
    : CPropertyPage(IDD_IMAGE), m_headerTitle(LoadStr(IDS_IMAGE_TITLE)), m_headerSubTitle(LoadStr(IDS_IMAGE_SUBTITLE)) {
    SetHeader(m_headerTitle, m_headerSubTitle);
    m_psp.dwFlags |= PSP_HASHELP;
}

void CPPImageSelection::OnHelp() {
    ShowWizardHelp(*this);
}
