// Step 7: the choices, reviewed before the burn.
#pragma once

#include <cstdint>
#include <string>

#include "app/WizardPage.h"

// The method's name as the summary gives it; empty for a code that names no method.
std::string SummaryMethodName(int32_t burningMode);
// Every choice of the wizard, one CR LF-ended line each.
std::string SummaryText(const CWizardState& state);

class CPPBurningSummary : public CWizardPage {
public:
    CPPBurningSummary();

    std::string m_summaryText;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnSetActive() override;
};
