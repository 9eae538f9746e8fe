#include "pages/WBurnerProp.h"

#include <iterator>

#include "framework/Strings.h"
#include "res/resource.h"

namespace {
// What the burn asks the drive for when no speed list is known: its fastest for the disc.
constexpr int32_t kDriveMaximumSpeed = 0;
}  // namespace

std::string SpeedEntryText(const SPEED_ENTRY& entry) {
    return FormatStr(LoadStr(IDS_SPEED_FORMAT).c_str(), entry.m_label ? entry.m_label : "",
                     static_cast<int>(entry.m_speed));
}

CWBurnerProp::CWBurnerProp() : CWizardPage(IDD_OPTIONS, IDS_OPTIONS_TITLE, IDS_OPTIONS_SUBTITLE) {}

void CWBurnerProp::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_SPEED_COMBO, m_speedCombo);
    DDX_Check(dx, IDC_SEND_OPC, m_opcValue);
}

BOOL CWBurnerProp::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_sheet = GetWizard();
    m_speedCombo.Send(CB_INITSTORAGE, 16, 100);
    return TRUE;
}

void CWBurnerProp::AddSpeed(const std::string& text, int32_t speed) {
    if (m_speedCount >= static_cast<int32_t>(std::size(m_speedValues))) return;
    m_speedCombo.AddString(text);
    m_speedValues[m_speedCount++] = speed;
}

// Test mode writes nothing, so calibrating the laser for it would be pointless; the box stays
// cleared afterwards so that OPC is only ever sent because the user asked for it again.
BOOL CWBurnerProp::OnSetActive() {
    if (m_sheet && m_sheet->m_testMode) {
        CheckItem(IDC_SEND_OPC, BST_UNCHECKED);
        EnableItem(IDC_SEND_OPC, false);
        m_opcValue = 0;
    } else {
        EnableItem(IDC_SEND_OPC, true);
    }
    m_speedCombo.ResetContent();
    m_speedCount = 0;
    if (m_sheet) {
        for (const SPEED_ENTRY& entry : m_sheet->m_selectedDevice.m_writeSpeeds)
            AddSpeed(SpeedEntryText(entry), static_cast<int32_t>(entry.m_speed));
    }
    // Without a list there is still a defined choice: the drive's own fastest speed.
    if (m_speedCount == 0) AddSpeed(LoadStr(IDS_SPEED_MAXIMUM), kDriveMaximumSpeed);
    // The last entry is the fastest when the list rises, as the drive's lists do.
    m_speedCombo.SetCurSel(m_speedCount - 1);
    return CWizardPage::OnSetActive();
}

LRESULT CWBurnerProp::OnWizardNext() {
    if (!m_sheet) return -1;
    UpdateData(true);
    m_sheet->m_sendOpc = m_opcValue != 0;
    int selected = m_speedCombo.GetCurSel();
    if (selected < 0 || selected >= m_speedCount) selected = m_speedCount - 1;
    m_sheet->m_burningSpeed = m_speedValues[selected];
    m_sheet->m_speedText = m_speedCombo.GetLBText(selected);
    return CWizardPage::OnWizardNext();
}
