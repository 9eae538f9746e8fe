// Starts a wizard program and goes through it as a user would, from the welcome page to Finish:
// the drive holding the given kind of disc, the image typed into the open dialog, the write
// method, power calibration on, the speed. Saves a picture of every page and the burning log
// (through the page's save dialog) in the output folder, and prints what the wizard showed.
// Usage: qf_wizard_walk <program.exe> <output folder> <image.iso> [media] [method] [speed]
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/gui/WizardScript.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: qf_wizard_walk <program.exe> <output folder> <image.iso> [media] [method] [speed]\n");
        return 2;
    }
    std::string program = argv[1], folder = argv[2];
    WizardChoices choices;
    choices.image = argv[3];
    choices.media = argc > 4 ? argv[4] : "CD-R";
    choices.method = argc > 5 ? argv[5] : "Disc-At-Once raw P-W";
    choices.speed = argc > 6 ? argv[6] : "";
    choices.opc = true;
    choices.saveLogAs = folder + "\\burning-log.txt";
    ::CreateDirectoryA(folder.c_str(), nullptr);

    WizardProcess process;
    if (!process.Start(program, {})) {
        std::fprintf(stderr, "%s\n", process.Failure().c_str());
        return 1;
    }
    WizardScript script(process.Sheet(), folder);
    WizardSeen seen;
    bool done = script.RunToFinish(choices, &seen);
    std::fflush(stdout);

    if (!seen.devices.empty()) {
        std::printf("\nDevices:\n");
        for (const auto& row : seen.devices)
            std::printf("  %-16s %-8s %-6s %-8s %-12s %s\n", row[0].c_str(), row[1].c_str(), row[2].c_str(),
                        row[3].c_str(), row[4].c_str(), row[5].c_str());
    }
    if (!seen.summary.empty()) {
        std::string summary = seen.summary;
        for (size_t at; (at = summary.find('\r')) != std::string::npos;) summary.erase(at, 1);
        std::printf("\nSummary:\n%s", summary.c_str());
    }
    if (!seen.log.empty()) {
        std::printf("\nBurning log:\n");
        for (const auto& row : seen.log) std::printf("%8s : %s\n", row[0].c_str(), row[1].c_str());
    }
    if (!done) {
        std::fprintf(stderr, "\nThe walk stopped: %s\n", script.Failure().c_str());
        SaveScreenshot(folder + "\\stopped.bmp");
        return 1;
    }
    std::printf("\nResult: %s\n", seen.result.c_str());
    if (!process.WaitForExit(15000)) {
        std::fprintf(stderr, "the program did not end after Finish\n");
        return 1;
    }
    return 0;
}
