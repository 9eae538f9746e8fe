// Step 4: the image file to burn.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CPPImageSelection : public CPropertyPage {
public:
    CPPImageSelection();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
