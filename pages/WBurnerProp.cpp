#include "pages/WBurnerProp.h"

#include "res/resource.h"

CWBurnerProp::CWBurnerProp() : CWizardPage(IDD_OPTIONS, IDS_OPTIONS_TITLE, IDS_OPTIONS_SUBTITLE) {}
