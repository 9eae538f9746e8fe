// A static text taken over as a link: drawn underlined in its colour, flush with the control's
// right edge, a hand cursor over the text, and a click on the text hands the address to the shell.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Handles.h"
#include "framework/Wnd.h"

// The shell call a click makes; tests put their own in place of ShellExecuteA.
using ShellOpenFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern ShellOpenFn g_shellOpen;

class CHyperLink : public CWnd {
public:
    explicit CHyperLink(UINT cursorId);

    bool SetURL(const std::string& url);
    void SetColor(COLORREF color) { m_color = color; }
    // Where the text is drawn, in client coordinates.
    void GetTextRect(RECT* rect) const;

    CFont m_font;
    COLORREF m_color = 0;
    std::string m_url;
    uint32_t m_cursorId;
    // Loaded from the program's resources: shared by every link, so never destroyed by one.
    HCURSOR m_cursor = nullptr;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    void OnLButtonDown(UINT flags, POINT point);
    void OnMouseMove(UINT flags, POINT point);
    void OnDestroy();
    UINT TextFormat() const;
};
