// Step 8: the burn with its progress and log.
#pragma once

#include <cstdint>
#include <string>

#include "framework/PropertySheet.h"

class CWBurning : public CPropertyPage {
public:
    CWBurning();

    // Nonzero while the disc is being written: the wizard then refuses to close.
    int32_t IsBurning() const { return m_burning; }

    int32_t m_burning = 0;

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    void OnHelp() override;
};
