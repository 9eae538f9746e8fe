#include "app/WizardPage.h"

#include "framework/Strings.h"

CWizardPage::CWizardPage(UINT templateId, UINT titleId, UINT subtitleId)
    : CPropertyPage(templateId) {
    if (titleId || subtitleId) {
        m_headerTitle = LoadStr(titleId);
        m_headerSubTitle = LoadStr(subtitleId);
        SetHeader(m_headerTitle, m_headerSubTitle);
    } else {
        HideHeader();
    }
    m_psp.dwFlags |= PSP_HASHELP;
}

CWizardSheet* CWizardPage::GetWizard() const {
    return dynamic_cast<CWizardSheet*>(GetSheet());
}

// The same handler on every page: the Help button opens the wizard's help whichever page shows.
void CWizardPage::OnHelp() {
    if (CWizardSheet* wizard = GetWizard()) wizard->ShowHelp();
}
