#include "app/QuillfireApp.h"

#include <commctrl.h>
#include <mbstring.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/PSQuillfire.h"
#include "framework/Strings.h"
#include "res/resource.h"

CQuillfireApp theApp;

CQuillfireApp::CQuillfireApp() : CWinApp(nullptr) {
    MapCommand(ID_HELP, [this] { OnHelp(); });
}

CQuillfireApp::~CQuillfireApp() = default;

BOOL CQuillfireApp::InitInstance() {
    ::InitCommonControls();
    // Lives as long as the process, as does the control it may hold.
    m_skin = new COleDispatchDriver();
    GetAppDirectory();
    ::CoInitialize(nullptr);
    m_skin->CreateDispatch("SkinCrafter.SCSkin");
    ApplySkin(*m_skin, m_appDir);

    ::SetLastError(0);
    m_instanceMutex = ::CreateMutexA(nullptr, TRUE, "Quillfire");
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_INVALID_HANDLE) {
        ::MessageBoxA(nullptr, LoadStr(IDS_ALREADY_RUNNING).c_str(), LoadStr(IDS_APP_NAME).c_str(),
                      MB_OK | MB_ICONINFORMATION);
        std::exit(0);
    }

    CWinApp::InitInstance();
    {
        CPSQuillfire sheet(LoadStr(IDS_WIZARD_CAPTION).c_str(), nullptr, 0);
        sheet.DoModal();
    }
    return FALSE;
}

void CQuillfireApp::GetAppDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';  // older systems leave a truncated path unterminated
    m_appDir = AppDirectoryOf(path);
}

void CQuillfireApp::OnHelp() {
    OpenHelpFile(m_appDir);
}

std::string AppDirectoryOf(const char* modulePath) {
    std::string path = modulePath ? modulePath : "";
    const auto* text = reinterpret_cast<const unsigned char*>(path.c_str());
    const unsigned char* slash = ::_mbsrchr(text, '\\');
    return slash ? path.substr(0, static_cast<size_t>(slash - text) + 1) : std::string();
}

void ApplySkin(COleDispatchDriver& skin, const std::string& appDir) {
    if (!skin.IsBound()) return;
    skin.InvokeMethod(17, {int32_t{0}});
    skin.InvokeMethod(1, {int32_t{1}});
    skin.InvokeMethod(2, {appDir + "skin.skf"});
    skin.InvokeMethod(18);
}

void OpenHelpFile(const std::string& appDir) {
    std::string path = appDir + "help.chm";
    ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
