// The real wizard opened at one page, with the state the earlier pages would have stored.
#pragma once

#include <cstring>

#include "app/PSQuillfire.h"
#include "tests/gui/WizardRun.h"

enum : int {
    kImagePage = 3,
    kModePage = 4,
    kOptionsPage = 5,
    kSummaryPage = 6,
};

class PageWizard : public CPSQuillfire {
public:
    explicit PageWizard(int startPage) : CPSQuillfire("Quillfire Wizard", nullptr, startPage) {
        m_selectedDevice.m_accessKind = kAccessByName;
        std::strcpy(m_selectedDevice.m_deviceName, "CdRom0");
        std::strcpy(m_selectedDevice.m_product, "CD-RW CRX230E");
        std::strcpy(m_selectedDevice.m_vendor, "SONY");
        std::strcpy(m_selectedDevice.m_revision, "1.0");
        std::strcpy(m_selectedDevice.m_mediaName, "CD-R");
        m_transport = 1;
    }
    void ShowHelp() override {}

    // True once page `index` is the one shown.
    bool WaitForPage(WizardDriver& driver, int index) {
        return PollUntil([&] {
            HWND page = GetPage(index)->m_hWnd;
            return page && driver.ActivePage() == page && ::IsWindowVisible(page);
        });
    }
};
