// Step 9: the exterior completion page with the result of the burn.
#pragma once

#include <string>

#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

class CPPFinish : public CWizardPage {
public:
    CPPFinish();

    // The result text shown on activation; the burning page sets it when the burn ends.
    void SetResultText(const std::string& text) { m_resultText = text; }

    CFont m_titleFont;
    CStatic m_title;
    std::string m_resultText;
    CStatic m_result;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};
