// Step 6: write speed and power calibration.
#pragma once

#include <cstdint>
#include <string>

#include "app/WizardPage.h"
#include "drive/DeviceRecord.h"
#include "framework/Controls.h"

// "48.0x (8448 KB/sec)": how a speed of the drive's list is offered.
std::string SpeedEntryText(const SPEED_ENTRY& entry);

class CWBurnerProp : public CWizardPage {
public:
    CWBurnerProp();

    CWizardSheet* m_sheet = nullptr;
    int32_t m_speedValues[32] = {};
    int32_t m_speedCount = 0;
    int m_opcValue = 1;
    CComboBox m_speedCombo;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    void AddSpeed(const std::string& text, int32_t speed);
};
