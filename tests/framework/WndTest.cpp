#include <gtest/gtest.h>

#include <vector>

#include "framework/Wnd.h"

namespace {

class Recorder : public CWnd {
public:
    std::vector<UINT> m_seen;
    bool m_preSubclassSawWindow = false;

protected:
    void PreSubclassWindow() override { m_preSubclassSawWindow = m_hWnd != nullptr; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_LBUTTONDOWN || msg == WM_USER + 1) m_seen.push_back(msg);
        if (msg == WM_USER + 1) return 77;
        return Default(msg, wParam, lParam);
    }
};

HWND MakeStatic(const char* text) {
    return ::CreateWindowExA(0, "STATIC", text, WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

TEST(Wnd, SubclassedWindowPassesMessagesThroughItsWrapper) {
    HWND hwnd = MakeStatic("link");
    ASSERT_NE(hwnd, nullptr);
    Recorder recorder;
    ASSERT_TRUE(recorder.SubclassWindow(hwnd));
    EXPECT_TRUE(recorder.m_preSubclassSawWindow);
    ::SendMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(::SendMessageA(hwnd, WM_USER + 1, 0, 0), 77);
    // Messages the wrapper does not take keep the control's own behaviour.
    EXPECT_EQ(recorder.GetText(), "link");
    EXPECT_EQ(recorder.m_seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_USER + 1}));
    ::DestroyWindow(hwnd);
    EXPECT_EQ(recorder.m_hWnd, nullptr);
    EXPECT_FALSE(recorder.IsSubclassed());
}

TEST(Wnd, WindowOutlivingItsWrapperNoLongerCallsIt) {
    HWND hwnd = MakeStatic("text");
    {
        Recorder recorder;
        ASSERT_TRUE(recorder.SubclassWindow(hwnd));
    }
    EXPECT_EQ(::SendMessageA(hwnd, WM_USER + 1, 0, 0), 0);
    EXPECT_EQ(CWnd::GetWindowTextOf(hwnd), "text");
    ::DestroyWindow(hwnd);
}

TEST(Wnd, TextOfAnyLengthIsReadWhole) {
    std::string longText(3000, 'q');
    HWND hwnd = MakeStatic(longText.c_str());
    EXPECT_EQ(CWnd::GetWindowTextOf(hwnd), longText);
    ::DestroyWindow(hwnd);
}
