// Starts an installed Quillfire.exe as a user would, checks that the wizard appears, presses Help
// on the welcome page and waits for the help viewer to be started on help.chm, then cancels.
// Usage: qf_installed_check <Quillfire.exe>     exit 0 when all of it happened
#include <windows.h>
#include <prsht.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>

#include "tests/gui/WizardDriver.h"

namespace {

// The help viewer the shell starts for a .chm file.
bool HelpViewerRunning() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = ::Process32First(snapshot, &entry); more && !found; more = ::Process32Next(snapshot, &entry))
        found = _stricmp(entry.szExeFile, "hh.exe") == 0;
    ::CloseHandle(snapshot);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qf_installed_check <Quillfire.exe>\n");
        return 2;
    }
    const std::string program = argv[1];
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::fprintf(stderr, "cannot start %s (%lu)\n", program.c_str(), ::GetLastError());
        return 1;
    }
    ::CloseHandle(process.hThread);
    int status = 0;
    HWND sheet = WaitForSheetOfProcess(process.dwProcessId, 60000);
    if (!sheet) {
        std::fprintf(stderr, "the installed program showed no wizard\n");
        status = 1;
    } else {
        WizardDriver driver(sheet);
        std::printf("wizard shown: %s\n", driver.ControlText(1018).c_str());
        if (HelpViewerRunning()) std::printf("note: a help viewer was already running\n");
        driver.Press(PSBTN_HELP);
        if (PollUntil([] { return HelpViewerRunning(); }, 30000)) {
            std::printf("help viewer started\n");
        } else {
            std::fprintf(stderr, "Help did not start the help viewer\n");
            status = 1;
        }
        driver.Press(PSBTN_CANCEL);
    }
    if (::WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        if (status == 0) std::fprintf(stderr, "the wizard did not close on Cancel\n");
        status = 1;
    }
    ::CloseHandle(process.hProcess);
    return status;
}
