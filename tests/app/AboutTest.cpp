// The About box and its two links, opened for real: the version line, the links' colour,
// underline and placement, the hand cursor only over the text, and what a click hands the shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/AboutDlg.h"
#include "res/resource.h"
#include "tests/gui/WizardDriver.h"

namespace {

constexpr COLORREF kDarkBlue = RGB(0, 0, 160);

struct ShellCall {
    std::string verb, file;
    bool hasParameters, hasDirectory, hasOwner;
    INT show;
};
std::vector<ShellCall> g_calls;

HINSTANCE WINAPI RecordShell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                             INT show) {
    g_calls.push_back({verb ? verb : "", file ? file : "", parameters != nullptr, directory != nullptr,
                       owner != nullptr, show});
    return reinterpret_cast<HINSTANCE>(33);
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

// Runs the About box on this thread while `script` inspects it from another.
void RunAbout(CAboutDlg& about, const std::function<void(HWND)>& script) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
        HWND box = WaitForDialogOfThread(uiThread);
        if (!box) {
            ADD_FAILURE() << "the About box did not appear";
        } else {
            script(box);
        }
        if (box) PressDialogButton(box, IDOK);
    });
    about.DoModal();
    driver.join();
}

class About : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_shellOpen = &RecordShell;
    }
    void TearDown() override { g_shellOpen = &::ShellExecuteA; }
};

}  // namespace

TEST_F(About, VersionLineAndLinkAddresses) {
    CAboutDlg about;
    RunAbout(about, [&](HWND box) {
        EXPECT_EQ(CWnd::GetWindowTextOf(::GetDlgItem(box, IDC_ABOUT_VERSION)), "Quillfire  Version 1.1.00");
        EXPECT_EQ(CWnd::GetWindowTextOf(::GetDlgItem(box, IDC_WEB_LINK)), "https://example.org/");
        EXPECT_EQ(CWnd::GetWindowTextOf(::GetDlgItem(box, IDC_MAIL_LINK)), "support@example.org");
        EXPECT_EQ(about.m_linkWeb.m_url, "https://example.org/");
        EXPECT_EQ(about.m_linkMail.m_url, "mailto:support@example.org");
        EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(box, IDC_WEB_LINK), GWL_STYLE) & SS_NOTIFY);
    });
}

// The text sits flush right in its control, dark blue, with a one-pixel underline of the same
// colour across its full width on the text's last row (inside the control, so it shows); nothing
// of the link is drawn left of it.
TEST_F(About, LinksAreDarkBlueUnderlinedAndFlushRight) {
    CAboutDlg about;
    RunAbout(about, [&](HWND) {
        for (CHyperLink* link : {&about.m_linkWeb, &about.m_linkMail}) {
            SCOPED_TRACE(link->m_url);
            HWND control = link->m_hWnd;
            ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            RECT client{}, text{};
            ::GetClientRect(control, &client);
            ::SendMessageA(control, WM_NULL, 0, 0);  // painted by now
            link->GetTextRect(&text);
            EXPECT_EQ(text.right, client.right);
            EXPECT_EQ(text.left, client.left);  // sized to its text: in line with the texts above
            ASSERT_LE(text.bottom, client.bottom);
            for (int x = text.left; x < text.right; ++x)
                ASSERT_EQ(ScreenPixel(control, x, text.bottom - 1), kDarkBlue) << "underline at x " << x;
            int blue = 0;
            for (int y = text.top; y < text.bottom - 1; ++y)
                for (int x = client.left; x < client.right; ++x) {
                    if (ScreenPixel(control, x, y) != kDarkBlue) continue;
                    ++blue;
                    EXPECT_GE(x, text.left) << "drawn left of the text at " << x << "," << y;
                }
            EXPECT_GT(blue, 20);  // the letters themselves
        }
    });
}

TEST_F(About, HandCursorOnlyOverTheTextAndAClickOnTheTextOpensTheAddress) {
    CAboutDlg about;
    RunAbout(about, [&](HWND box) {
        // Sharing the dialog thread's input state lets this thread read the cursor it sets.
        const DWORD uiThread = ::GetWindowThreadProcessId(box, nullptr);
        ASSERT_TRUE(::AttachThreadInput(::GetCurrentThreadId(), uiThread, TRUE));
        const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
        for (CHyperLink* link : {&about.m_linkWeb, &about.m_linkMail}) {
            SCOPED_TRACE(link->m_url);
            ASSERT_NE(link->m_cursor, nullptr);
            // Wider than its text, as in a font that draws it narrower: the text stays flush right
            // and the part left of it is not the link.
            RECT client = link->GetClientRect();
            ::SetWindowPos(link->m_hWnd, nullptr, 0, 0, client.right + 40, client.bottom,
                           SWP_NOMOVE | SWP_NOZORDER);
            RECT text{};
            link->GetTextRect(&text);
            EXPECT_EQ(text.left, 40);
            const LPARAM onText = MAKELPARAM((text.left + text.right) / 2, (text.top + text.bottom) / 2);
            const LPARAM beside = MAKELPARAM(text.left - 3, (text.top + text.bottom) / 2);

            ::SetCursor(arrow);
            ::SendMessageA(link->m_hWnd, WM_MOUSEMOVE, 0, beside);
            EXPECT_EQ(::GetCursor(), arrow);
            ::SendMessageA(link->m_hWnd, WM_MOUSEMOVE, 0, onText);
            EXPECT_EQ(::GetCursor(), link->m_cursor);

            g_calls.clear();
            ::SendMessageA(link->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, beside);
            ::SendMessageA(link->m_hWnd, WM_LBUTTONUP, 0, beside);
            EXPECT_TRUE(g_calls.empty());
            ::SendMessageA(link->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, onText);
            ::SendMessageA(link->m_hWnd, WM_LBUTTONUP, 0, onText);
            ASSERT_EQ(g_calls.size(), 1u);
            EXPECT_EQ(g_calls[0].verb, "open");
            EXPECT_EQ(g_calls[0].file, link->m_url);
            EXPECT_FALSE(g_calls[0].hasOwner || g_calls[0].hasParameters || g_calls[0].hasDirectory);
            EXPECT_EQ(g_calls[0].show, SW_SHOWDEFAULT);
        }
        ::AttachThreadInput(::GetCurrentThreadId(), uiThread, FALSE);
    });
}
