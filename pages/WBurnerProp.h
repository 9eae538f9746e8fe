// Step 6: write speed and power calibration.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CWBurnerProp : public CPropertyPage {
public:
    CWBurnerProp();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
