// Step 2: SPTI or ASPI, stored in the wizard's m_transport on Next.
#pragma once

#include <string>

#include "framework/PropertySheet.h"

class CWTransportSelect : public CPropertyPage {
public:
    CWTransportSelect();

    std::string m_headerTitle;
    std::string m_headerSubTitle;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnHelp() override;
};

// SPTI exists on the NT family only: GetVersion() below 0x80000000.
inline bool HasScsiPassThrough(DWORD version) {
    return version < 0x80000000u;
}
