// The wizard: owns the nine pages and the state they share for the whole run.
#pragma once

#include "app/WTransportSelect.h"
#include "app/WWelcome.h"
#include "app/WizardSheet.h"
#include "burn/PPFinish.h"
#include "burn/WBurning.h"
#include "pages/PPBurningMode.h"
#include "pages/PPBurningSummary.h"
#include "pages/PPImageSelection.h"
#include "pages/WBurnerProp.h"
#include "pages/WInfoTable.h"

// The shared state (CWizardState) is the sheet's own: pages read and write its fields directly.
class CPSQuillfire : public CWizardSheet {
public:
    CPSQuillfire(const char* caption, HWND parent = nullptr, UINT startPage = 0);
    ~CPSQuillfire() override;

    void ShowHelp() override;

    CWWelcome m_pageWelcome;
    CWInfoTable m_pageDevice;
    CWBurnerProp m_pageOptions;
    CWBurning m_pageBurning;
    CWTransportSelect m_pageTransport;
    CPPBurningMode m_pageMode;
    CPPImageSelection m_pageImage;
    CPPBurningSummary m_pageSummary;
    CPPFinish m_pageFinish;

protected:
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
};
