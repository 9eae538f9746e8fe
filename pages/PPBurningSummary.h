// Step 7: the choices, reviewed before the burn.
#pragma once

#include "app/WizardPage.h"

class CPPBurningSummary : public CWizardPage {
public:
    CPPBurningSummary();
};
