#include "framework/WinApp.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* appName) {
    g_app = this;
    m_hInstance = ::GetModuleHandleA(nullptr);
    if (appName) {
        m_appName = appName;
    } else {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        m_appName = BaseNameWithoutExtension(path);
    }
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

bool CWinApp::OnCmdMsg(UINT id) {
    for (auto& entry : m_commandMap) {
        if (entry.id == id) {
            entry.handler();
            return true;
        }
    }
    return false;
}

void CWinApp::MapCommand(UINT id, std::function<void()> handler) {
    m_commandMap.push_back({id, std::move(handler)});
}

CWinApp* AfxGetApp() {
    return g_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_app ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    try {
        app->m_hInstance = instance;
        if (!app->InitInstance()) return app->ExitInstance();
        return app->Run();
    } catch (...) {
        return -1;
    }
}

std::string BaseNameWithoutExtension(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}
