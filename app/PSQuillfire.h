// The wizard: owns the nine pages and the state they share for the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "app/WTransportSelect.h"
#include "app/WWelcome.h"
#include "burn/PPFinish.h"
#include "burn/WBurning.h"
#include "drive/DeviceRecord.h"
#include "framework/PropertySheet.h"
#include "pages/PPBurningMode.h"
#include "pages/PPBurningSummary.h"
#include "pages/PPImageSelection.h"
#include "pages/WBurnerProp.h"
#include "pages/WInfoTable.h"

class CPSQuillfire : public CPropertySheet {
public:
    CPSQuillfire(const char* caption, HWND parent = nullptr, UINT startPage = 0);
    ~CPSQuillfire() override;

    virtual void ShowHelp();

    CWWelcome m_pageWelcome;
    CWInfoTable m_pageDevice;
    CWBurnerProp m_pageOptions;
    CWBurning m_pageBurning;
    CWTransportSelect m_pageTransport;
    CPPBurningMode m_pageMode;
    CPPImageSelection m_pageImage;
    CPPBurningSummary m_pageSummary;
    CPPFinish m_pageFinish;

    // Written by the page that owns each field when the user leaves it with Next.
    DEVICE_RECORD m_selectedDevice;
    int32_t m_transport = 0;    // 1 = SPTI, 0 = ASPI
    int32_t m_burningMode = 0;  // 0 TAO, 1 SAO, 2 DAO PQ, 3 DAO raw P-W, -1 none offered
    char m_imagePath[260] = {};
    int32_t m_burningSpeed = 0;  // KB/s
    bool m_sendOpc = false;
    bool m_testMode = false;
    std::string m_speedText;

protected:
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
};

// The wizard a page belongs to; null when the page is not in one.
CPSQuillfire* GetWizard(const CPropertyPage& page);
// The pages' handler of the help command: the wizard's help.
void ShowWizardHelp(const CPropertyPage& page);
