// Step 6: write speed and power calibration.
#pragma once

#include "app/WizardPage.h"

class CWBurnerProp : public CWizardPage {
public:
    CWBurnerProp();
};
