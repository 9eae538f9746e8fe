#include "pages/WInfoTable.h"

#include "res/resource.h"

CWInfoTable::CWInfoTable() : CWizardPage(IDD_DEVICE, IDS_DEVICE_TITLE, IDS_DEVICE_SUBTITLE) {}
