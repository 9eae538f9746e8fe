// The About box of the wizard's system menu: version, notice, and the maker's two links.
#pragma once

#include "app/HyperLink.h"
#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);

    CHyperLink m_linkMail;
    CHyperLink m_linkWeb;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
};
