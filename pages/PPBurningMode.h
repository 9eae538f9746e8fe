// Step 5: write method and test mode.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CPPBurningMode : public CPropertyPage {
public:
    CPPBurningMode();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
