// Step 4: the image file to burn.
#pragma once

#include "app/WizardPage.h"

class CPPImageSelection : public CWizardPage {
public:
    CPPImageSelection();
};
