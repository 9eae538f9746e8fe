#include "framework/Wnd.h"

#include <commctrl.h>

#include <vector>

namespace {
constexpr UINT_PTR kSubclassId = 0x5146;  // "QF"
}

CWnd::~CWnd() {
    // A wrapper that dies before its window must not leave the window calling into freed memory.
    if (m_subclassed && ::IsWindow(m_hWnd)) Unsubclass();
}

HWND CWnd::Detach() {
    if (m_subclassed) Unsubclass();
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

std::string CWnd::GetWindowTextOf(HWND hwnd) {
    int length = ::GetWindowTextLengthA(hwnd);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int copied = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_subclassed) return false;
    m_hWnd = hwnd;
    PreSubclassWindow();
    m_subclassed = ::SetWindowSubclass(hwnd, SubclassProc, kSubclassId,
                                       reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    return m_subclassed;
}

void CWnd::Unsubclass() {
    ::RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    m_subclassed = false;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Default(msg, wParam, lParam);
}

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR self) {
    auto* wnd = reinterpret_cast<CWnd*>(self);
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(msg, wParam, lParam);
    } catch (...) {
        result = ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        wnd->m_subclassed = false;
        wnd->m_hWnd = nullptr;
    }
    return result;
}
