// Step 3: the burning device.
#pragma once

#include "app/WizardPage.h"

class CWInfoTable : public CWizardPage {
public:
    CWInfoTable();
};
