// The application object: one global instance, entered through AfxWinMain.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CWinApp {
public:
    // Without a name the title is the executable's file name without its extension.
    explicit CWinApp(const char* appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // False ends the process without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    virtual int Run();

    // Commands no window handled (the help command) end here.
    bool OnCmdMsg(UINT id);

    const std::string& GetAppName() const { return m_appName; }
    HINSTANCE m_hInstance = nullptr;

protected:
    void MapCommand(UINT id, std::function<void()> handler);

private:
    struct CommandEntry {
        UINT id;
        std::function<void()> handler;
    };
    std::string m_appName;
    std::vector<CommandEntry> m_commandMap;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The program's entry: InitInstance, then the loop only if it returned true.
int AfxWinMain(HINSTANCE instance);

// The file name of a module path without directory and extension ("C:\q\Quillfire.exe" ->
// "Quillfire").
std::string BaseNameWithoutExtension(const std::string& path);
