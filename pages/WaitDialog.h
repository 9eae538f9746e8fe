// The please-wait dialog: a looping clip, a caption, an action text and an optional Cancel. It
// runs modally on a thread of its own (CWaitThread) so that it keeps animating while the thread
// that opened it is busy.
#pragma once

#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"

class CWaitDialog : public CDialog {
public:
    CWaitDialog(const std::string& caption, UINT animationId, const std::string& action,
                int showCancel, HWND owner);

    // Shows a new action text; called on the dialog's own thread.
    void SetAction(const std::string& action);

    std::string m_action;
    std::string m_caption;
    UINT m_animationId;
    CAnimateCtrl m_animation;
    int m_showCancel;
    HWND m_owner;  // told about Cancel; also the dialog's parent

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnShowWindow(BOOL show);
};
