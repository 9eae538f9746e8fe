#include "pages/PPBurningMode.h"

#include "res/resource.h"

CPPBurningMode::CPPBurningMode() : CWizardPage(IDD_MODE, IDS_MODE_TITLE, IDS_MODE_SUBTITLE) {}
