#include <gtest/gtest.h>

#include <string>

#include "framework/Handles.h"
#include "tests/gui/WizardRun.h"

namespace {

// The program beside the tests in the build tree: <build>/tests/gui -> <build>/app.
std::string ProgramPath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    for (int up = 0; up < 3; ++up) dir.resize(dir.find_last_of('\\'));
    return dir + "\\app\\QuillfireVirtual.exe";
}

struct Process {
    CHandle handle;
    DWORD id = 0;
};

Process Start(const std::string& program) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    Process process;
    if (::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info)) {
        ::CloseHandle(info.hThread);
        process.handle.Reset(info.hProcess);
        process.id = info.dwProcessId;
    }
    return process;
}

bool WaitForExit(const Process& process, DWORD timeoutMs = kDefaultTimeoutMs) {
    return ::WaitForSingleObject(process.handle.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD ExitCode(const Process& process) {
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.handle.Get(), &code);
    return code;
}

}  // namespace

TEST(SecondInstance, IsRefusedWithOneInformationBoxAndEndsWithCodeZero) {
    std::string program = ProgramPath();
    ASSERT_NE(::GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES) << program;

    Process first = Start(program);
    ASSERT_TRUE(first.handle.IsValid());
    HWND firstSheet = WaitForSheetOfProcess(first.id);
    if (!firstSheet) {
        ::TerminateProcess(first.handle.Get(), 1);
        FAIL() << "the first copy showed no wizard";
    }

    Process second = Start(program);
    ASSERT_TRUE(second.handle.IsValid());
    HWND box = WaitForDialogOfProcess(second.id);
    EXPECT_NE(box, nullptr);
    if (box) {
        // Exactly one box and no wizard in the second copy.
        EXPECT_EQ(VisibleDialogs(WindowsOfProcess(second.id)).size(), 1u);
        for (HWND window : WindowsOfProcess(second.id)) EXPECT_FALSE(IsWizardSheet(window));
        MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.text,
                  "There's an instance running of the program so you can't run another instance.");
        EXPECT_EQ(info.caption, "Quillfire");
        EXPECT_TRUE(info.hasIcon);
        EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
        if (::testing::Test::HasFailure()) SaveScreenshot(ScreenshotPath("SecondInstance"));
        PressDialogButton(box, IDOK);
    }
    bool secondEnded = WaitForExit(second);
    if (!secondEnded) ::TerminateProcess(second.handle.Get(), 1);
    EXPECT_TRUE(secondEnded);
    if (secondEnded) {
        EXPECT_EQ(ExitCode(second), 0u);
    }

    // The first copy is still the one running, and closes as usual.
    EXPECT_TRUE(::IsWindow(firstSheet));
    ::PostMessageA(firstSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    bool firstEnded = WaitForExit(first);
    if (!firstEnded) ::TerminateProcess(first.handle.Get(), 1);
    EXPECT_TRUE(firstEnded);
}
