#include "pages/PPBurningSummary.h"

#include "res/resource.h"

CPPBurningSummary::CPPBurningSummary() : CWizardPage(IDD_SUMMARY, IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE) {}
