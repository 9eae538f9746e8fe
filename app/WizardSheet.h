// The wizard as its pages see it: the state they share for the whole run and the help they all
// open. The sheet derives from this; pages reach it through CWizardPage, never through the
// sheet's own header.
#pragma once

#include <cstdint>
#include <string>

#include "drive/DeviceRecord.h"
#include "framework/PropertySheet.h"

// Each field is written by the page that owns it when the user leaves that page with Next.
struct CWizardState {
    DEVICE_RECORD m_selectedDevice;
    int32_t m_transport = 0;    // 1 = SPTI, 0 = ASPI
    int32_t m_burningMode = 0;  // 0 TAO, 1 SAO, 2 DAO PQ, 3 DAO raw P-W, -1 none offered
    char m_imagePath[260] = {};
    int32_t m_burningSpeed = 0;  // KB/s
    bool m_sendOpc = false;
    bool m_testMode = false;
    std::string m_speedText;
};

class CWizardSheet : public CPropertySheet, public CWizardState {
public:
    using CPropertySheet::CPropertySheet;

    virtual void ShowHelp() = 0;
};
