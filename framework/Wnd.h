// The window wrapper every window class of the program derives from. It holds an HWND and owns
// nothing: the system or the creator destroys the window.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND Detach();

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    bool Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, msg, wParam, lParam) != FALSE;
    }
    std::string GetText() const { return GetWindowTextOf(m_hWnd); }
    void SetText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    void Enable(bool enable = true) const { ::EnableWindow(m_hWnd, enable); }
    bool IsEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
    void Show(int cmd = SW_SHOW) const { ::ShowWindow(m_hWnd, cmd); }
    bool IsVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    void SetFont(HFONT font, bool redraw = true) const {
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    LONG_PTR GetStyle() const { return ::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
    void ModifyStyle(LONG_PTR remove, LONG_PTR add) const {
        ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (GetStyle() & ~remove) | add);
    }
    RECT GetClientRect() const {
        RECT r{};
        ::GetClientRect(m_hWnd, &r);
        return r;
    }
    RECT GetWindowRect() const {
        RECT r{};
        ::GetWindowRect(m_hWnd, &r);
        return r;
    }
    // Invalidate, erase and paint at once: the page shows its new state before a long call.
    void RedrawNow() const {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const {
        return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
    }
    void KillTimer(UINT_PTR id) const { ::KillTimer(m_hWnd, id); }

    static std::string GetWindowTextOf(HWND hwnd);

    // Takes over an existing window: its messages reach WindowProc until it is destroyed.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }
    bool IsSubclassed() const { return m_subclassed; }

protected:
    virtual void PreSubclassWindow() {}
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The behaviour the window had before it was taken over.
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    void Unsubclass();

    bool m_subclassed = false;
};
