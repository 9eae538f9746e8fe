// Wrappers of the common controls the pages bind. Each is a window wrapper with forwarders: it
// owns nothing and is attached to an existing dialog item (DDX_Control).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
    void SetCheck(int state) const { Send(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(int low, int high) const { Send(PBM_SETRANGE32, low, high); }
    void SetPos(int pos) const { Send(PBM_SETPOS, static_cast<WPARAM>(pos)); }
    int GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
};

class CComboBox : public CWnd {
public:
    int AddString(const std::string& text) const {
        return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void ResetContent() const { Send(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    void SetItemData(int index, DWORD_PTR data) const {
        Send(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
    }
    DWORD_PTR GetItemData(int index) const {
        return static_cast<DWORD_PTR>(Send(CB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    std::string GetLBText(int index) const;
};

class CAnimateCtrl : public CWnd {
public:
    bool Open(HINSTANCE instance, UINT id) const {
        return ::SendMessageA(m_hWnd, ACM_OPENA, reinterpret_cast<WPARAM>(instance),
                              reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(id))) != 0;
    }
    // From first to last frame, repeats times (-1: without end).
    bool Play(UINT from = 0, UINT to = 0xFFFF, int repeats = -1) const {
        return Send(ACM_PLAY, static_cast<WPARAM>(repeats), MAKELPARAM(from, to)) != 0;
    }
    void Stop() const { Send(ACM_STOP); }
};

class CListCtrl : public CWnd {
public:
    int InsertColumn(int index, const std::string& heading, int format, int width) const;
    int InsertItem(int index, const std::string& text) const;
    bool SetItemText(int item, int column, const std::string& text) const;
    std::string GetItemText(int item, int column) const;
    int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    void DeleteAllItems() const { Send(LVM_DELETEALLITEMS); }
    int GetSelectionMark() const { return static_cast<int>(Send(LVM_GETSELECTIONMARK)); }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
    }
    void SetItemState(int item, UINT state, UINT mask) const;
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    void SetExtendedStyle(DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
};
