// The last three steps of the wizard around the burning and completion pages, for the tests that
// drive them against the scripted library, and the helpers that read the burning log.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "app/WizardPage.h"
#include "burn/PPFinish.h"
#include "burn/WBurning.h"
#include "res/resource.h"
#include "tests/gui/WizardDriver.h"

namespace burntest {

using Rows = std::vector<std::vector<std::string>>;

// The last three steps of the wizard: a page standing in for the summary, burning, completion.
class BurnWizard : public CWizardSheet {
public:
    explicit BurnWizard(UINT startPage = 0) : CWizardSheet("Quillfire Wizard", nullptr, startPage) {
        static const bool kControls = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
            return ::InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)kControls;
        AddPage(&m_summary);
        AddPage(&m_pageBurning);
        AddPage(&m_pageFinish);
        m_psh.dwFlags |= PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_HASHELP;
        m_psh.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
        m_psh.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
        std::strcpy(m_imagePath, "C:\\images\\backup 2026.iso");
        std::strcpy(m_selectedDevice.m_product, "DVDRW SH-S223");
        std::strcpy(m_selectedDevice.m_vendor, "TSSTcorp");
        std::strcpy(m_selectedDevice.m_deviceName, "CdRom0");
        m_selectedDevice.m_accessKind = kAccessByName;
        m_speedText = "40x (7056 KB/sec)";
        m_burningSpeed = 7056;
        m_burningMode = 2;
        m_sendOpc = true;
    }
    void ShowHelp() override {}

    CWizardPage m_summary{IDD_SUMMARY, IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE};
    CWBurning m_pageBurning;
    CPPFinish m_pageFinish;
};

// Next from the stand-in summary: the burn starts as the burning page becomes active.
inline bool StartBurn(WizardDriver& driver, BurnWizard& sheet) {
    if (!driver.WaitForPage(sheet.m_summary.m_hWnd)) return false;
    driver.Press(PSBTN_NEXT);
    return PollUntil([&] {
        HWND page = sheet.m_pageBurning.m_hWnd;
        return page && driver.ActivePage() == page && ::IsWindowVisible(page);
    });
}

// Next after the end: the completion page's window exists from its first activation on.
inline bool NextToFinish(WizardDriver& driver, BurnWizard& sheet) {
    driver.Press(PSBTN_NEXT);
    return PollUntil([&] {
        HWND page = sheet.m_pageFinish.m_hWnd;
        return page && driver.ActivePage() == page && ::IsWindowVisible(page);
    });
}

inline Rows LogRows(WizardDriver& driver) {
    return driver.ListRows(IDC_BURN_LOG, 2);
}

inline bool LogEndsWith(WizardDriver& driver, const std::string& text) {
    Rows rows = LogRows(driver);
    return !rows.empty() && rows.back()[1] == text;
}

inline bool IsTime(const std::string& text) {
    return std::regex_match(text, std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"));
}

// The texts of the rows from `first` on, with "T" for a timed row and "-" for an untimed one.
inline std::vector<std::string> Describe(const Rows& rows, size_t first = 0) {
    std::vector<std::string> out;
    for (size_t i = first; i < rows.size(); ++i) {
        const std::string& time = rows[i][0];
        out.push_back((time.empty() ? "- " : IsTime(time) ? "T " : "? ") + rows[i][1]);
    }
    return out;
}

inline const std::vector<std::string> kHeader = {
    "T Creating CD/DVD/Blu-Ray/HD-DVD from image",
    "T Source File:",
    "- C:\\images\\backup 2026.iso",
    "T Destination device: DVDRW SH-S223 TSSTcorp",
    "T Requested burning speed: 40x (7056 KB/sec)",
    "T Write Method: Disc-At-Once",
};

// The please-wait dialog of a cancel: it runs on a thread of its own.
inline HWND FindWaitDialog() {
    for (HWND window : WindowsOfProcess(::GetCurrentProcessId())) {
        char caption[64] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        if (::IsWindowVisible(window) && std::string(caption) == "Cancel burning") return window;
    }
    return nullptr;
}

inline HWND WaitForMessageBox(DWORD uiThread) {
    return WaitForDialogOfThread(uiThread);
}

// The sheet's buttons can pass through this state while the page is being activated, so the
// percentage, shown for the whole burn and hidden when it ends, must be gone as well.
inline bool Ended(WizardDriver& driver) {
    return driver.IsButtonEnabled(kButtonNext) && !driver.IsButtonEnabled(kButtonBack) &&
           !::IsWindowVisible(::GetDlgItem(driver.ActivePage(), IDC_BURN_PERCENT));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

}  // namespace burntest
