#include "pages/PPBurningMode.h"

#include "framework/Strings.h"
#include "res/resource.h"

std::vector<WRITE_METHOD_ENTRY> OfferedWriteMethods(const DEVICE_RECORD& device) {
    if (device.m_isDvdMedia) return {{IDS_MODE_TAO, kMethodTrackAtOnce}};
    std::vector<WRITE_METHOD_ENTRY> methods;
    if (device.m_daoRawPW) methods.push_back({IDS_MODE_DAO_RAW_PW, kMethodDiscAtOnceRawPW});
    if (device.m_daoPQ) methods.push_back({IDS_MODE_DAO_PQ, kMethodDiscAtOncePQ});
    if (device.m_sao) methods.push_back({IDS_MODE_SAO, kMethodSessionAtOnce});
    if (device.m_tao) methods.push_back({IDS_MODE_TAO, kMethodTrackAtOnce});
    return methods;
}

CPPBurningMode::CPPBurningMode() : CWizardPage(IDD_MODE, IDS_MODE_TITLE, IDS_MODE_SUBTITLE) {}

// The check box is exchanged only when the window is made: afterwards it keeps its own state.
void CPPBurningMode::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_MODE_COMBO, m_modeCombo);
    DDX_Check(dx, IDC_TEST_MODE, m_testModeValue);
}

// Rebuilt on every showing: the drive or its disc may have changed since.
BOOL CPPBurningMode::OnSetActive() {
    CWizardPage::OnSetActive();
    m_modeCombo.ResetContent();
    if (const CWizardState* state = GetWizardState()) {
        for (const WRITE_METHOD_ENTRY& method : OfferedWriteMethods(state->m_selectedDevice)) {
            int index = m_modeCombo.AddString(LoadStr(method.m_textId));
            m_modeCombo.SetItemData(index, static_cast<DWORD_PTR>(method.m_code));
        }
    }
    if (m_modeCombo.GetCount() > 0) m_modeCombo.SetCurSel(0);
    return TRUE;
}

LRESULT CPPBurningMode::OnWizardNext() {
    CWizardState* state = GetWizardState();
    if (!state) return -1;
    state->m_testMode = IsItemChecked(IDC_TEST_MODE) == BST_CHECKED;
    // With no entry nothing is selected: the burn is given "no method" and refuses it.
    int selected = m_modeCombo.GetCurSel();
    state->m_burningMode = selected >= 0 ? static_cast<int32_t>(m_modeCombo.GetItemData(selected))
                                         : kMethodNone;
    return CWizardPage::OnWizardNext();
}
