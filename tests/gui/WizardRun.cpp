#include "tests/gui/WizardRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("QF_SCREENSHOT_DIR");
    std::string folder = dir && *dir ? dir : "screenshots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name + ".bmp";
}

namespace {
std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : "unknown";
}

// Closes what the script left open: boxes first, then the sheet; nothing may keep DoModal waiting.
void CloseEverything(DWORD uiThread, WizardDriver& driver) {
    if (!driver.IsOpen()) return;
    for (int round = 0; round < 20 && driver.IsOpen(); ++round) {
        for (HWND dialog : VisibleDialogs(WindowsOfThread(uiThread))) {
            PressDialogButton(dialog, IDOK);
            PressDialogButton(dialog, IDCANCEL);
        }
        driver.Press(PSBTN_CANCEL);
        if (PollUntil([&] { return !driver.IsOpen(); }, 1000)) return;
    }
    ADD_FAILURE() << "the wizard could not be closed";
}
}  // namespace

void RunWizard(CPropertySheet& sheet, const std::function<void(WizardDriver&)>& script) {
    DWORD uiThread = ::GetCurrentThreadId();
    std::thread driverThread([&] {
        HWND window = WaitForSheetOfThread(uiThread);
        WizardDriver driver(window);
        if (!window) {
            ADD_FAILURE() << "the wizard did not appear";
        } else {
            try {
                script(driver);
            } catch (const std::exception& e) {
                ADD_FAILURE() << "driver script threw: " << e.what();
            }
        }
        if (::testing::Test::HasFailure()) {
            std::string path = ScreenshotPath(CurrentTestName());
            if (SaveScreenshot(path)) std::printf("screenshot: %s\n", path.c_str());
        }
        if (window) CloseEverything(uiThread, driver);
    });
    sheet.DoModal();
    driverThread.join();
}
