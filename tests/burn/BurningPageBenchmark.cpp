// How long the wizard's user-interface thread goes without answering while the burning page
// serves a burn: the library is scripted to report progress every millisecond for three seconds,
// so every stall the page itself causes (rows, timer, progress reads) is on the measured thread.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "app/WizardPage.h"
#include "burn/PPFinish.h"
#include "burn/WBurning.h"
#include "res/resource.h"
#include "tests/burn/FakeLibrary.h"
#include "tests/gui/StallProbe.h"
#include "tests/gui/WizardDriver.h"

namespace {
class BurnWizard : public CWizardSheet {
public:
    BurnWizard() : CWizardSheet("Quillfire Wizard", nullptr, 1) {
        AddPage(&m_summary);
        AddPage(&m_pageBurning);
        AddPage(&m_pageFinish);
        m_psh.dwFlags |= PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_HASHELP;
        m_psh.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
        m_psh.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
        std::strcpy(m_imagePath, "C:\\image.iso");
        std::strcpy(m_selectedDevice.m_deviceName, "CdRom0");
        m_selectedDevice.m_accessKind = kAccessByName;
        m_burningMode = 2;
        m_sendOpc = true;
    }
    void ShowHelp() override {}
    CWizardPage m_summary{IDD_SUMMARY, IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE};
    CWBurning m_pageBurning;
    CPPFinish m_pageFinish;
};
}  // namespace

int main() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    ::InitCommonControlsEx(&controls);
    fakelib::Reset();
    fakelib::OnCall("DiscAtOncePQFromFile", [] {
        DWORD start = ::GetTickCount();
        int64_t total = 3000;
        while (::GetTickCount() - start < 3000) {
            int64_t done = ::GetTickCount() - start;
            fakelib::ProgressCallback()(STARBURN_CALLBACK_REASON_PROGRESS, nullptr, &total, &done);
            ::Sleep(1);
        }
    });
    BurnWizard sheet;
    double worst = 0;
    long probes = 0;
    DWORD uiThread = ::GetCurrentThreadId();
    std::thread driverThread([&] {
        HWND window = WaitForSheetOfThread(uiThread);
        if (!window) return;
        WizardDriver driver(window);
        // The burn starts when the burning page shows; the probe runs from before until its end.
        StallProbe probe(window);
        PollUntil([&] { return sheet.m_pageBurning.m_hWnd != nullptr; });
        PollUntil([&] {
            return driver.IsButtonEnabled(kButtonNext) && !driver.IsButtonEnabled(kButtonBack);
        }, 30000);
        probe.Stop();
        worst = probe.WorstMs();
        probes = probe.Probes();
        driver.Press(PSBTN_CANCEL);
    });
    sheet.DoModal();
    driverThread.join();
    std::printf("burning page, scripted 3 s write: worst user-interface stall %.1f ms over %ld probes\n",
                worst, probes);
    return 0;
}
