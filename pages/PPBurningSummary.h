// Step 7: the choices, reviewed before the burn.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CPPBurningSummary : public CPropertyPage {
public:
    CPPBurningSummary();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
