// Step 1: the exterior welcome page with its bold title.
#pragma once

#include "framework/Handles.h"
#include "framework/PropertySheet.h"

class CWWelcome : public CPropertyPage {
public:
    CWWelcome();

    CFont m_titleFont;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnHelp() override;
};
