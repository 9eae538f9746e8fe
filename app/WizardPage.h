// What every page of the wizard has in common: its header texts, the Help button, and the
// wizard's shared state.
#pragma once

#include <string>

#include "app/WizardSheet.h"
#include "framework/PropertySheet.h"

class CWizardPage : public CPropertyPage {
public:
    // Interior pages name their header title and subtitle by string id; exterior pages (0, 0)
    // hide the header and show the watermark.
    CWizardPage(UINT templateId, UINT titleId = 0, UINT subtitleId = 0);

    // Held here because the sheet reads them through the page record for its whole life.
    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    // The wizard this page belongs to; null when the page is not in one.
    CWizardSheet* GetWizard() const;
    // The state the pages share; null when the page is not in a wizard.
    CWizardState* GetWizardState() const { return GetWizard(); }
    void OnHelp() override;
};
