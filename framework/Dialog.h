// Dialogs: one static dialog procedure stores `this` at WM_INITDIALOG and turns each message into
// a virtual call or a registered handler. CDialog::DoModal runs its own modal loop so that
// thread messages reach the running user-interface thread object.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Wnd.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CDialog;

// Direction and target of one data exchange between controls and members.
class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool save) : m_dialog(dialog), m_bSaveAndValidate(save) {}
    CDialog* m_dialog;
    bool m_bSaveAndValidate;  // true: controls -> members
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);

    // Shows the dialog and returns the value given to EndDialog, or -1 when it cannot be created.
    // Without a parent the active window of this thread becomes the owner, so the dialog is modal
    // over whatever the user was working with.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);
    bool UpdateData(bool save = true);

    std::string GetItemText(int id) const { return GetWindowTextOf(GetDlgItem(id)); }
    void SetItemText(int id, const std::string& text) const {
        ::SetDlgItemTextA(m_hWnd, id, text.c_str());
    }
    void EnableItem(int id, bool enable = true) const { ::EnableWindow(GetDlgItem(id), enable); }
    void ShowItem(int id, bool show = true) const {
        ::ShowWindow(GetDlgItem(id), show ? SW_SHOW : SW_HIDE);
    }
    UINT IsItemChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckItem(int id, UINT state = BST_CHECKED) const {
        ::CheckDlgButton(m_hWnd, id, state);
    }

    UINT GetTemplateId() const { return m_templateId; }

protected:
    // Runs the data exchange that binds controls; true lets the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnTimer(UINT_PTR) {}
    // Unhandled commands go on to the application, as the help command does.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    // Everything else; true when handled, with the message's answer in result.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The message map: handlers registered once, usually in the constructor; for the same
    // message the latest registration wins, so a derived class replaces its base's handler.
    void MapMessage(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler);
    void MapCommand(UINT id, std::function<void()> handler, UINT code = BN_CLICKED);
    void MapNotify(UINT id, UINT code, std::function<LRESULT(NMHDR*)> handler);
    template <class T>
    void MapMessage(UINT msg, LRESULT (T::*handler)(WPARAM, LPARAM)) {
        MapMessage(msg, [this, handler](WPARAM w, LPARAM l) {
            return (static_cast<T*>(this)->*handler)(w, l);
        });
    }
    template <class T>
    void MapCommand(UINT id, void (T::*handler)(), UINT code = BN_CLICKED) {
        MapCommand(id, [this, handler] { (static_cast<T*>(this)->*handler)(); }, code);
    }
    template <class T>
    void MapNotify(UINT id, UINT code, LRESULT (T::*handler)(NMHDR*)) {
        MapNotify(id, code, [this, handler](NMHDR* h) { return (static_cast<T*>(this)->*handler)(h); });
    }

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Common to dialogs and property pages once `this` is known.
    static INT_PTR Dispatch(CDialog* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;

private:
    struct MessageEntry {
        UINT msg;
        std::function<LRESULT(WPARAM, LPARAM)> handler;
    };
    struct CommandEntry {
        UINT id, code;
        std::function<void()> handler;
    };
    struct NotifyEntry {
        UINT id, code;
        std::function<LRESULT(NMHDR*)> handler;
    };
    std::vector<MessageEntry> m_messageMap;
    std::vector<CommandEntry> m_commandMap;
    std::vector<NotifyEntry> m_notifyMap;
    bool m_inModalLoop = false;
    INT_PTR m_modalResult = -1;
};

// Binds a control wrapper to the dialog item once; later exchanges leave it bound.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Check state of a check box or radio button.
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);
// Selected index of a combo box, -1 for none.
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
