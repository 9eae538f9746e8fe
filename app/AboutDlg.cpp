#include "app/AboutDlg.h"

#include "framework/Strings.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog() {
    BOOL result = CDialog::OnInitDialog();
    std::string format = LoadStr(IDS_VERSION_FORMAT);
    SetItemText(IDC_ABOUT_VERSION, FormatStr(format.c_str(), "1.1.00"));
    return result;
}
