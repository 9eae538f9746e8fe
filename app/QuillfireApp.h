// The application object: common controls, COM and the skin, the single-instance guard, then the
// wizard as a modal window. The process ends when the wizard closes.
#pragma once

#include <windows.h>

#include <string>

#include "framework/DispatchDriver.h"
#include "framework/WinApp.h"

class CQuillfireApp : public CWinApp {
public:
    CQuillfireApp();
    ~CQuillfireApp() override;

    BOOL InitInstance() override;
    void GetAppDirectory();
    void OnHelp();

    COleDispatchDriver* m_skin = nullptr;
    std::string m_appDir;
    HANDLE m_instanceMutex = nullptr;
};

extern CQuillfireApp theApp;

// The directory of a module path with its trailing backslash; empty without one. The search is
// multibyte-aware, so a trail byte 0x5C of a double-byte character is never taken for a backslash.
std::string AppDirectoryOf(const char* modulePath);

// The skin control's start-up calls; none when the driver holds no control.
void ApplySkin(COleDispatchDriver& skin, const std::string& appDir);

// Opens help.chm beside the program; nothing is shown when it is missing.
void OpenHelpFile(const std::string& appDir);
