#include "app/PSQuillfire.h"

#include "app/AboutDlg.h"
#include "app/QuillfireApp.h"
#include "drive/StarBurn.h"
#include "framework/Strings.h"
#include "res/resource.h"

CPSQuillfire::CPSQuillfire(const char* caption, HWND parent, UINT startPage)
    : CWizardSheet(caption, parent, startPage) {
    AddPage(&m_pageWelcome);
    AddPage(&m_pageTransport);
    AddPage(&m_pageDevice);
    AddPage(&m_pageImage);
    AddPage(&m_pageMode);
    AddPage(&m_pageOptions);
    AddPage(&m_pageSummary);
    AddPage(&m_pageBurning);
    AddPage(&m_pageFinish);
    m_psh.dwFlags |= PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_HASHELP;
    m_psh.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
    m_psh.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
    m_psh.hInstance = AfxGetInstanceHandle();
}

// The pages go, then the state; the library stays started.
CPSQuillfire::~CPSQuillfire() = default;

BOOL CPSQuillfire::OnInitDialog() {
    CWizardSheet::OnInitDialog();
    StarBurn_UpStartEx();
    ::SetForegroundWindow(m_hWnd);

    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    std::string about = LoadStr(IDS_ABOUTBOX);
    if (systemMenu && !about.empty()) {
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    ::SetDlgItemTextA(m_hWnd, IDHELP, LoadStr(IDS_HELP_BUTTON).c_str());
    return TRUE;
}

void CPSQuillfire::OnSysCommand(UINT id, LPARAM lParam) {
    // The low four bits of a system command belong to the system, whichever command it is.
    UINT command = id & 0xFFF0;
    if (command == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    if (command == SC_CLOSE && GetActivePage() == &m_pageBurning && m_pageBurning.IsBurning()) {
        const char* title = AfxGetApp() ? AfxGetApp()->GetAppName().c_str() : "";
        ::MessageBoxA(m_hWnd, LoadStr(IDS_CANNOT_CLOSE).c_str(), title, 0);
        return;
    }
    CWizardSheet::OnSysCommand(id, lParam);
}

void CPSQuillfire::ShowHelp() {
    OpenHelpFile(theApp.m_appDir);
}
