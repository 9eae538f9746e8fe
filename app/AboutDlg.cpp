#include "app/AboutDlg.h"

#include "framework/Strings.h"
#include "res/resource.h"

namespace {
constexpr COLORREF kLinkColor = RGB(0, 0, 160);
}  // namespace

CAboutDlg::CAboutDlg(HWND parent)
    : CDialog(IDD_ABOUTBOX, parent), m_linkMail(IDC_HAND_CURSOR), m_linkWeb(IDC_HAND_CURSOR) {
    m_linkMail.SetColor(kLinkColor);
    m_linkWeb.SetColor(kLinkColor);
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_WEB_LINK, m_linkWeb);
    DDX_Control(dx, IDC_MAIL_LINK, m_linkMail);
}

BOOL CAboutDlg::OnInitDialog() {
    BOOL result = CDialog::OnInitDialog();
    SetItemText(IDC_ABOUT_VERSION, FormatStr(LoadStr(IDS_VERSION_FORMAT).c_str(), "1.1.00"));
    m_linkWeb.SetURL(GetItemText(IDC_WEB_LINK));
    m_linkMail.SetURL("mailto:" + GetItemText(IDC_MAIL_LINK));
    // A link is drawn flush with its control's right edge; sized to its text it lines up with the
    // other texts on the left, whatever width the font gives it.
    for (CHyperLink* link : {&m_linkWeb, &m_linkMail}) {
        RECT text{};
        link->GetTextRect(&text);
        const RECT client = link->GetClientRect();
        ::SetWindowPos(link->m_hWnd, nullptr, 0, 0, text.right - text.left, client.bottom,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return result;
}
