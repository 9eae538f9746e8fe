// How long the wizard's user-interface thread goes without answering while the burning page
// serves a burn: the library is scripted to report progress every millisecond for three seconds,
// so every stall the page itself causes (rows, timer, progress reads) is on the measured thread.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "tests/burn/BurnWizard.h"
#include "tests/burn/FakeLibrary.h"
#include "tests/gui/StallProbe.h"
#include "tests/gui/WizardDriver.h"


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
    // Opened on the burning page itself: the burn starts with the wizard.
    burntest::BurnWizard sheet(1);
    double worst = 0;
    long probes = 0;
    DWORD uiThread = ::GetCurrentThreadId();
    std::thread driverThread([&] {
        HWND window = WaitForSheetOfThread(uiThread);
        if (!window) return;
        WizardDriver driver(window);
        // The burn starts when the burning page shows; the probe runs from before until its end.
        StallProbe probe(window);
        // The percentage shows from the burn's start to its end.
        PollUntil([&] { return sheet.m_pageBurning.m_hWnd != nullptr; });
        HWND label = ::GetDlgItem(sheet.m_pageBurning.m_hWnd, IDC_BURN_PERCENT);
        PollUntil([&] { return ::IsWindowVisible(label) != FALSE; });
        PollUntil([&] { return !::IsWindowVisible(label); }, 30000);
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
