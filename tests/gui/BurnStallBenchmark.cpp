// How long the wizard's user-interface thread goes without answering during a whole burn through
// the real sheet and library onto a virtual recorder that writes at the pace of its speed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "app/PSQuillfire.h"
#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"
#include "res/resource.h"
#include "tests/gui/StallProbe.h"
#include "tests/gui/WizardDriver.h"

namespace {
constexpr int kSummaryPage = 6;
constexpr int kBurningPage = 7;

class QuietWizard : public CPSQuillfire {
public:
    QuietWizard() : CPSQuillfire("Quillfire Wizard", nullptr, kSummaryPage) {}
    void ShowHelp() override {}
};

struct Figure {
    const char* method;
    double worstMs = 0;
    long probes = 0;
    double seconds = 0;
};

Figure Measure(const char* name, int32_t method, const std::string& image) {
    auto recorder = std::make_shared<burnlib::VirtualRecorder>(
        *burnlib::DriveModelByName("cdrw-writer"), *burnlib::MediumByName("cd-r-blank"));
    recorder->SetWriteSpeedPacing(true);
    burnlib::SetDeviceProvider(burnlib::MakeVirtualDeviceProvider({recorder}));
    const auto& speeds = recorder->Model().cdWriteSpeeds;

    QuietWizard sheet;
    sheet.m_selectedDevice.m_accessKind = kAccessByName;
    std::strcpy(sheet.m_selectedDevice.m_deviceName, "CdRom0");
    std::strcpy(sheet.m_imagePath, image.c_str());
    sheet.m_burningMode = method;
    sheet.m_sendOpc = true;
    sheet.m_burningSpeed = static_cast<int32_t>(*std::max_element(speeds.begin(), speeds.end()));

    Figure figure{name};
    DWORD uiThread = ::GetCurrentThreadId();
    std::thread driverThread([&] {
        HWND window = WaitForSheetOfThread(uiThread);
        if (!window) return;
        WizardDriver driver(window);
        driver.WaitForPage(sheet.GetPage(kSummaryPage)->m_hWnd);
        StallProbe probe(window);
        DWORD start = ::GetTickCount();
        driver.Press(PSBTN_NEXT);
        // The percentage shows from the burn's start to its end.
        PollUntil([&] {
            HWND page = sheet.GetPage(kBurningPage)->m_hWnd;
            return page && driver.ActivePage() == page;
        });
        PollUntil([&] {
            return !::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT));
        }, 120000);
        figure.seconds = (::GetTickCount() - start) / 1000.0;
        probe.Stop();
        figure.worstMs = probe.WorstMs();
        figure.probes = probe.Probes();
        driver.Press(PSBTN_CANCEL);
    });
    sheet.DoModal();
    driverThread.join();
    StarBurn_DownShut();
    burnlib::SetDeviceProvider(nullptr);
    return figure;
}
}  // namespace

int main() {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    std::string image = std::string(dir) + "qf-stall-image.iso";
    std::vector<char> bytes(size_t{4096} * 2048, 'Q');
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::printf("worst user-interface stall during a burn of 8 MiB, recorder paced at its fastest CD speed\n");
    for (auto [name, method] : {std::pair{"Track-At-Once", 0}, std::pair{"Session-At-Once", 1},
                                std::pair{"Disc-At-Once PQ", 2}}) {
        Figure f = Measure(name, method, image);
        std::printf("  %-16s worst %6.1f ms over %5ld probes, burn %.1f s\n", f.method, f.worstMs,
                    f.probes, f.seconds);
    }
    ::DeleteFileA(image.c_str());
    return 0;
}
