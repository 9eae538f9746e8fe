// Step 3: the burning device.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CWInfoTable : public CPropertyPage {
public:
    CWInfoTable();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
