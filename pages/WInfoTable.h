// Step 3: the burning device. Every arrival rescans the drives behind the wait dialog; Next
// re-probes the chosen one and checks its disc before the wizard goes on.
#pragma once

#include <cstdint>
#include <string>

#include "app/WizardPage.h"
#include "drive/DeviceRecord.h"
#include "drive/DeviceScanner.h"
#include "framework/Controls.h"

class CWaitThread;

// Why the disc in a freshly probed drive cannot be burned (a string id), or 0 when it can.
UINT DiscRefusal(const DEVICE_RECORD& record);

// The six column widths for a list of the given client width.
struct DeviceColumnWidths {
    int widths[6];
};
DeviceColumnWidths DeviceColumnWidthsFor(int clientWidth);

class CWInfoTable : public CWizardPage {
public:
    CWInfoTable();

    CWizardSheet* m_sheet = nullptr;
    CListCtrl m_deviceList;
    CButton m_refreshButton;
    int32_t m_selectedIndex = -1;
    CWaitThread* m_waitThread = nullptr;
    CDeviceScanner m_scanner;
    CDeviceArray* m_devices = nullptr;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    void OnRefresh();
    LRESULT OnDevicesScanned(WPARAM wParam, LPARAM lParam);
    LRESULT OnListClick(NMHDR* header);
    LRESULT OnListItemChanged(NMHDR* header);
    void BeginBusy();
    void EndBusy();
    void SetBusyButtons(bool busy) const;
    void RedrawNow() const;
    void ShowMessage(UINT textId, UINT icon) const;
    static void OnScanComplete(void* context, CDeviceArray* devices);
};
