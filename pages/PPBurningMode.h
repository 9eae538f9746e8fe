// Step 5: write method and test mode.
#pragma once

#include <cstdint>
#include <vector>

#include "app/WizardPage.h"
#include "drive/DeviceRecord.h"
#include "framework/Controls.h"

// Write-method codes, as the burn takes them.
enum : int32_t {
    kMethodTrackAtOnce = 0,
    kMethodSessionAtOnce = 1,
    kMethodDiscAtOncePQ = 2,
    kMethodDiscAtOnceRawPW = 3,
    kMethodNone = -1,  // the drive offered none for the disc in it
};

struct WRITE_METHOD_ENTRY {
    UINT m_textId;
    int32_t m_code;
};

// The methods to offer for the drive and its disc, most preferred first. A DVD is written
// Track-At-Once whatever the drive reports for CDs.
std::vector<WRITE_METHOD_ENTRY> OfferedWriteMethods(const DEVICE_RECORD& device);

class CPPBurningMode : public CWizardPage {
public:
    CPPBurningMode();

    int m_testModeValue = 0;
    CComboBox m_modeCombo;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};
