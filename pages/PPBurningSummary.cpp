#include "pages/PPBurningSummary.h"

#include "framework/Strings.h"
#include "res/resource.h"

namespace {
std::string Line(UINT formatId, const char* value) {
    return FormatStr(LoadStr(formatId).c_str(), value) + "\r\n";
}

std::string YesNo(bool value) {
    return LoadStr(value ? IDS_YES : IDS_NO);
}
}  // namespace

// Code 3 is named without the hyphen the mode page shows.
std::string SummaryMethodName(int32_t burningMode) {
    switch (burningMode) {
    case 0: return LoadStr(IDS_MODE_TAO);
    case 1: return LoadStr(IDS_MODE_SAO);
    case 2: return LoadStr(IDS_MODE_DAO_PQ);
    case 3: return LoadStr(IDS_SUMMARY_DAO_RAW_PW);
    default: return {};
    }
}

std::string SummaryText(const CWizardState& state) {
    const DEVICE_RECORD& device = state.m_selectedDevice;
    std::string text = FormatStr(LoadStr(IDS_SUMMARY_DRIVE).c_str(), device.m_product,
                                 device.m_vendor, device.m_revision) +
                       "\r\n";
    text += Line(IDS_SUMMARY_TRANSPORT,
                 LoadStr(state.m_transport == 1 ? IDS_TRANSPORT_SPTI : IDS_TRANSPORT_ASPI).c_str());
    text += Line(IDS_SUMMARY_DISC_TYPE, device.m_mediaName);
    text += Line(IDS_SUMMARY_IMAGE, state.m_imagePath);
    text += Line(IDS_SUMMARY_SPEED, state.m_speedText.c_str());
    text += Line(IDS_SUMMARY_OPC, YesNo(state.m_sendOpc).c_str());
    text += Line(IDS_SUMMARY_MODE, SummaryMethodName(state.m_burningMode).c_str());
    text += Line(IDS_SUMMARY_TEST_WRITE, YesNo(state.m_testMode).c_str());
    return text;
}

CPPBurningSummary::CPPBurningSummary()
    : CWizardPage(IDD_SUMMARY, IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE) {}

void CPPBurningSummary::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_SUMMARY_TEXT, m_summaryText);
}

// Rebuilt from empty on every showing, so a second visit shows the choices once.
BOOL CPPBurningSummary::OnSetActive() {
    CWizardPage::OnSetActive();
    UpdateData(true);
    m_summaryText.clear();
    if (const CWizardState* state = GetWizardState()) m_summaryText += SummaryText(*state);
    UpdateData(false);
    return TRUE;
}
