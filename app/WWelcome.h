// Step 1: the exterior welcome page with its bold title.
#pragma once

#include "app/WizardPage.h"
#include "framework/Handles.h"

class CWWelcome : public CWizardPage {
public:
    CWWelcome();

    CFont m_titleFont;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};
