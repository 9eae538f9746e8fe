#include "pages/PPImageSelection.h"

#include "res/resource.h"

CPPImageSelection::CPPImageSelection() : CWizardPage(IDD_IMAGE, IDS_IMAGE_TITLE, IDS_IMAGE_SUBTITLE) {}
