// Starts a wizard program, saves a picture of every page it reaches with Next, then cancels it.
// Usage: qf_wizard_walk <program.exe> <output folder>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "tests/gui/WizardDriver.h"

namespace {

// A page is ready to be pictured once it has stayed the same and visible for a moment.
bool WaitUntilSettled(const WizardDriver& driver) {
    HWND last = nullptr;
    int stable = 0;
    return PollUntil([&] {
        HWND page = driver.ActivePage();
        bool same = page && page == last && ::IsWindowVisible(page) &&
                    VisibleDialogs(WindowsOfThread(::GetWindowThreadProcessId(driver.Sheet(), nullptr))).empty();
        stable = same ? stable + 1 : 0;
        last = page;
        return stable >= 25;  // about half a second
    }, 60000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qf_wizard_walk <program.exe> <output folder>\n");
        return 2;
    }
    std::string program = argv[1], folder = argv[2];
    ::CreateDirectoryA(folder.c_str(), nullptr);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        std::fprintf(stderr, "cannot start %s (%lu)\n", program.c_str(), ::GetLastError());
        return 1;
    }
    ::CloseHandle(process.hThread);
    HWND sheet = WaitForSheetOfProcess(process.dwProcessId, 30000);
    if (!sheet) {
        std::fprintf(stderr, "no wizard appeared\n");
        ::TerminateProcess(process.hProcess, 1);
        ::CloseHandle(process.hProcess);
        return 1;
    }
    WizardDriver driver(sheet);
    int shots = 0;
    for (int step = 1; step <= 20 && driver.IsOpen(); ++step) {
        if (!WaitUntilSettled(driver)) break;
        char name[64];
        std::snprintf(name, sizeof name, "\\page-%02d.bmp", step);
        if (SaveScreenshot(folder + name)) ++shots;
        std::printf("page %d: %s\n", step, name + 1);
        if (!driver.IsButtonEnabled(kButtonNext)) break;
        HWND page = driver.ActivePage();
        driver.Press(PSBTN_NEXT);
        if (!PollUntil([&] { return driver.ActivePage() != page; }, 30000)) break;
    }
    driver.Press(PSBTN_CANCEL);
    if (::WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    std::printf("%d pictures in %s\n", shots, folder.c_str());
    return shots > 0 ? 0 : 1;
}
