// The About box of the wizard's system menu.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);

protected:
    BOOL OnInitDialog() override;
};
