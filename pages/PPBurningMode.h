// Step 5: write method and test mode.
#pragma once

#include "app/WizardPage.h"

class CPPBurningMode : public CWizardPage {
public:
    CPPBurningMode();
};
