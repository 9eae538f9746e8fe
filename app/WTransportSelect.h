// Step 2: SPTI or ASPI, stored in the wizard's m_transport on Next.
#pragma once

#include "app/WizardPage.h"

class CWTransportSelect : public CWizardPage {
public:
    CWTransportSelect();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
};

// SPTI exists on the NT family only: GetVersion() below 0x80000000.
inline bool HasScsiPassThrough(DWORD version) {
    return version < 0x80000000u;
}
