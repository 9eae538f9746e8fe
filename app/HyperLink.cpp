#include "app/HyperLink.h"

#include <shellapi.h>
#include <windowsx.h>

ShellOpenFn g_shellOpen = &::ShellExecuteA;

CHyperLink::CHyperLink(UINT cursorId) : m_cursorId(cursorId) {}

bool CHyperLink::SetURL(const std::string& url) {
    try {
        m_url = url;
        return true;
    } catch (...) {
        return false;
    }
}

void CHyperLink::PreSubclassWindow() {
    try {
        m_cursor = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LOWORD(m_cursorId)));
        m_font.Attach(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
        m_url = GetText();
        ModifyStyle(0, SS_NOTIFY);
    } catch (...) {
    }
    CWnd::PreSubclassWindow();
}

UINT CHyperLink::TextFormat() const {
    const LONG_PTR style = GetStyle();
    UINT format = DT_SINGLELINE;
    if (style & SS_CENTER) format |= DT_VCENTER;
    if (style & SS_RIGHT) format |= DT_RIGHT;
    return format;
}

void CHyperLink::GetTextRect(RECT* rect) const {
    HDC window = ::GetDC(m_hWnd);
    HDC memory = ::CreateCompatibleDC(window);
    HGDIOBJ oldFont = ::SelectObject(memory, m_font.GetSafeHandle());
    const std::string text = GetText();
    const RECT client = GetClientRect();
    *rect = client;
    ::DrawTextA(memory, text.c_str(), -1, rect, DT_CALCRECT | TextFormat());
    const LONG width = rect->right - rect->left;
    rect->left = client.right - width;
    rect->right = client.right;
    ::SelectObject(memory, oldFont);
    ::DeleteDC(memory);
    ::ReleaseDC(m_hWnd, window);
}

void CHyperLink::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    try {
        ::SetBkMode(dc, TRANSPARENT);
        HGDIOBJ oldFont = ::SelectObject(dc, m_font.GetSafeHandle());
        CPen pen;
        HGDIOBJ oldPen = nullptr;
        if (m_color != 0) {
            ::SetTextColor(dc, m_color);
            pen.Attach(::CreatePen(PS_SOLID, 0, m_color));
            oldPen = ::SelectObject(dc, pen.GetSafeHandle());
        }
        const std::string text = GetText();
        RECT rect;
        GetTextRect(&rect);
        ::DrawTextA(dc, text.c_str(), -1, &rect, TextFormat());
        // On the text rectangle's last row: the row below it lies outside a control sized to
        // its text, and an underline there would never show.
        ::MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
        ::LineTo(dc, rect.right, rect.bottom - 1);
        // The pen is deleted with `pen` once it is no longer selected: one per paint would leak.
        if (oldPen) ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldFont);
    } catch (...) {
    }
    ::EndPaint(m_hWnd, &paint);
}

void CHyperLink::OnLButtonDown(UINT flags, POINT point) {
    Default(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
    RECT rect;
    GetTextRect(&rect);
    if (::PtInRect(&rect, point) && !m_url.empty())
        g_shellOpen(nullptr, "open", m_url.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}

void CHyperLink::OnMouseMove(UINT flags, POINT point) {
    RECT rect;
    GetTextRect(&rect);
    if (m_cursor && ::PtInRect(&rect, point)) ::SetCursor(m_cursor);
    Default(WM_MOUSEMOVE, flags, MAKELPARAM(point.x, point.y));
}

void CHyperLink::OnDestroy() {
    Default(WM_DESTROY, 0, 0);
    m_cursor = nullptr;
}

LRESULT CHyperLink::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), point);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), point);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return CWnd::WindowProc(msg, wParam, lParam);
    }
}
