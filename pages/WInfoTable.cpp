#include "pages/WInfoTable.h"

#include "app/WizardMessages.h"
#include "framework/Strings.h"
#include "pages/WaitThread.h"
#include "res/resource.h"

namespace {

struct ColumnSpec {
    UINT headingId;
    int widthDivisor;
};
constexpr ColumnSpec kColumns[6] = {
    {IDS_COL_PRODUCT, 4}, {IDS_COL_VENDOR, 8}, {IDS_COL_REVISION, 8},
    {IDS_COL_MEDIA, 8},   {IDS_COL_SIZE, 8},   {IDS_COL_LABEL, 4},
};

// The media-formats byte that says whether the drive writes the inserted kind of disc; 0 for
// kinds the wizard does not burn.
unsigned WriteFlagByte(int32_t discType) {
    switch (discType) {
    case 2: case 11: return 6;   // CD-R
    case 3: case 12: return 8;   // CD-RW
    case 5: return 11;           // DVD-R
    case 16: return 13;          // DVD-R DL
    case 7: case 8: return 15;   // DVD-RW, sequential or restricted overwrite
    case 6: return 19;           // DVD-RAM
    case 9: return 21;           // DVD+RW
    case 13: return 25;          // DVD+R
    case 15: return 27;          // DVD+R DL
    default: return 0;
    }
}

}  // namespace

UINT DiscRefusal(const DEVICE_RECORD& record) {
    if (record.m_discType == kDiscTypeNoDisc) return IDS_NO_MEDIA;
    const unsigned flagByte = WriteFlagByte(record.m_discType);
    if (flagByte == 0) return IDS_MEDIA_NOT_WRITABLE;
    if (record.MediaFormatByte(flagByte) == 0) return IDS_UNSUPPORTED_MEDIA;
    if (!record.m_isBlank) return IDS_DISC_NOT_BLANK;
    return 0;
}

DeviceColumnWidths DeviceColumnWidthsFor(int clientWidth) {
    DeviceColumnWidths result{};
    for (int i = 0; i < 6; ++i) result.widths[i] = clientWidth / kColumns[i].widthDivisor;
    return result;
}

CWInfoTable::CWInfoTable() : CWizardPage(IDD_DEVICE, IDS_DEVICE_TITLE, IDS_DEVICE_SUBTITLE) {
    MapCommand(IDC_REFRESH, &CWInfoTable::OnRefresh);
    MapMessage(WM_DEVICES_SCANNED, &CWInfoTable::OnDevicesScanned);
    MapNotify(IDC_DEVICE_LIST, NM_CLICK, &CWInfoTable::OnListClick);
    MapNotify(IDC_DEVICE_LIST, LVN_ITEMCHANGED, &CWInfoTable::OnListItemChanged);
}

void CWInfoTable::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_DEVICE_LIST, m_deviceList);
    DDX_Control(dx, IDC_REFRESH, m_refreshButton);
}

BOOL CWInfoTable::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_sheet = GetWizard();
    RECT client{};
    ::GetClientRect(m_deviceList.m_hWnd, &client);
    const DeviceColumnWidths widths = DeviceColumnWidthsFor(client.right - client.left);
    for (int i = 0; i < 6; ++i)
        m_deviceList.InsertColumn(i, LoadStr(kColumns[i].headingId), LVCFMT_LEFT, widths.widths[i]);
    m_deviceList.SetExtendedStyle(m_deviceList.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    return TRUE;
}

BOOL CWInfoTable::OnSetActive() {
    BeginBusy();
    return CWizardPage::OnSetActive();
}

void CWInfoTable::OnRefresh() {
    BeginBusy();
}

void CWInfoTable::SetBusyButtons(bool busy) const {
    m_refreshButton.Enable(!busy);
    if (m_sheet) {
        ::EnableWindow(::GetDlgItem(m_sheet->m_hWnd, IDCANCEL), !busy);
        m_sheet->SetWizardButtons(busy ? 0 : PSWIZB_BACK | PSWIZB_NEXT);
    }
}

void CWInfoTable::RedrawNow() const {
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The scan cannot be stopped, so nothing on the page may be used until it has delivered its list.
void CWInfoTable::BeginBusy() {
    CWaitThread::Close(m_waitThread);
    m_waitThread = CWaitThread::Show(IDS_PLEASE_WAIT, IDR_AVI_SEARCH, IDS_SCANNING_DEVICES, 1, m_hWnd);
    SetBusyButtons(true);
    RedrawNow();
    m_scanner.StartScan(&CWInfoTable::OnScanComplete, m_hWnd, m_sheet ? m_sheet->m_transport : kTransportSpti,
                        true);
}

void CWInfoTable::EndBusy() {
    CWaitThread::Close(m_waitThread);
    SetBusyButtons(false);
    RedrawNow();
}

// On the scan thread: queued to the page without waiting for the user-interface thread.
void CWInfoTable::OnScanComplete(void* context, CDeviceArray* devices) {
    ::SendNotifyMessageA(static_cast<HWND>(context), WM_DEVICES_SCANNED,
                         reinterpret_cast<WPARAM>(devices), 0);
}

LRESULT CWInfoTable::OnDevicesScanned(WPARAM wParam, LPARAM) {
    m_deviceList.DeleteAllItems();
    m_devices = reinterpret_cast<CDeviceArray*>(wParam);
    const int count = m_devices ? m_devices->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        const DEVICE_RECORD record = m_devices->GetAt(i);
        m_deviceList.InsertItem(i, record.m_product);
        m_deviceList.SetItemText(i, 1, record.m_vendor);
        m_deviceList.SetItemText(i, 2, record.m_revision);
        m_deviceList.SetItemText(i, 3, record.m_mediaName);
        m_deviceList.SetItemText(i, 4, record.m_sizeText);
        m_deviceList.SetItemText(i, 5, record.m_volumeLabel);
    }
    EndBusy();
    // The first drive is offered after every refill, whatever was chosen before.
    m_selectedIndex = -1;
    if (m_deviceList.GetItemCount() > 0) {
        m_deviceList.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_deviceList.Send(LVM_SETSELECTIONMARK, 0, 0);
        m_selectedIndex = 0;
    }
    return 1;
}

LRESULT CWInfoTable::OnListClick(NMHDR* header) {
    m_selectedIndex = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
    return 0;
}

LRESULT CWInfoTable::OnListItemChanged(NMHDR*) {
    m_selectedIndex = m_deviceList.GetNextItem(-1, LVNI_SELECTED);
    if (m_sheet) m_sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return 0;
}

void CWInfoTable::ShowMessage(UINT textId, UINT icon) const {
    ::MessageBoxA(m_hWnd, LoadStr(textId).c_str(), LoadStr(IDS_APP_NAME).c_str(), MB_OK | icon);
}

LRESULT CWInfoTable::OnWizardNext() {
    // The row that is selected now is the user's choice, however it was reached.
    m_selectedIndex = m_deviceList.GetNextItem(-1, LVNI_SELECTED);
    if (m_selectedIndex < 0 || !m_devices || m_selectedIndex >= m_devices->GetCount() || !m_sheet) {
        ShowMessage(IDS_SELECT_DEVICE, MB_ICONEXCLAMATION);
        return -1;
    }
    m_waitThread = CWaitThread::Show(IDS_REFRESHING_DEVICE, IDR_AVI_SEARCH, IDS_REFRESHING_INFO, 1, m_hWnd);
    const bool probed = m_scanner.ProbeDevice(m_selectedIndex);
    CWaitThread::Close(m_waitThread);

    // A drive that no longer answers would otherwise be judged by what it held at the scan.
    UINT refusal = probed ? DiscRefusal(m_devices->GetAt(m_selectedIndex)) : IDS_DEVICE_GONE;
    if (refusal != 0) {
        ShowMessage(refusal, MB_ICONERROR);
        return -1;
    }
    m_sheet->m_selectedDevice = m_devices->GetAt(m_selectedIndex);
    return CWizardPage::OnWizardNext();
}
