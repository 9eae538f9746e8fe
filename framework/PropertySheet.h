// Wizard 97 property sheet and its pages.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"

class CPropertySheet;

// A page maps the sheet's PSN_* notifications to virtuals. The answers follow the system's
// convention: OnWizardNext/OnWizardBack return 0 to go on, -1 to stay (or a template id to jump
// to); the BOOL hooks return true to allow.
class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId);

    // Interior page: header band with these texts. The strings must outlive the sheet's window.
    void SetHeader(const std::string& title, const std::string& subtitle);
    // Exterior page (welcome, completion): no header band, the watermark shows.
    void HideHeader();

    PROPSHEETPAGEA m_psp{};

    // The sheet this page was added to; its window is known from the page's first message on.
    CPropertySheet* GetSheet() const;

protected:
    virtual BOOL OnSetActive() { return TRUE; }
    virtual BOOL OnKillActive() { return UpdateData(true); }
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    virtual BOOL OnWizardFinish() { return TRUE; }
    virtual BOOL OnQueryCancel() { return TRUE; }
    // The sheet's Help button: the help command goes through this page's commands, then the
    // application's.
    virtual void OnHelp() { CDialog::OnCommand(ID_HELP, 0, nullptr); }

    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CPropertySheet* m_ownerSheet = nullptr;
};

class CPropertySheet : public CWnd {
public:
    CPropertySheet(const char* caption, HWND parent = nullptr, UINT startPage = 0);

    void AddPage(CPropertyPage* page) {
        page->m_ownerSheet = this;
        m_pages.push_back(page);
    }
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const { return m_pages.at(static_cast<size_t>(index)); }

    // Runs the sheet; returns what PropertySheetA returns (-1 when it cannot be shown).
    INT_PTR DoModal();

    // Posted, so the new state takes effect after the current handler has returned.
    void SetWizardButtons(DWORD flags) const { Post(PSM_SETWIZBUTTONS, 0, flags); }
    // Ends the wizard as Cancel does, but without asking the page; DoModal returns `result`.
    void EndDialog(INT_PTR result);
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;

    // The sheet object of a sheet window this framework runs; null for any other window.
    static CPropertySheet* FromHandle(HWND hwnd);

    PROPSHEETHEADERA m_psh{};

protected:
    // Runs once the sheet window and its first page exist.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnSysCommand(UINT id, LPARAM lParam) { Default(WM_SYSCOMMAND, id, lParam); }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class CPropertyPage;
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lParam);
    void RepaintIfHeaderChanged();

    std::string m_caption;
    CBitmap m_headerBitmap;
    int m_shownHeader = -1;
    bool m_ending = false;
    INT_PTR m_endResult = 0;  // whether the page shown last had a header band; -1 before any
    std::vector<CPropertyPage*> m_pages;
};
