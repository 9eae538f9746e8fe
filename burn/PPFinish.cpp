#include "burn/PPFinish.h"

#include "res/resource.h"

CPPFinish::CPPFinish() : CWizardPage(IDD_FINISH) {}

void CPPFinish::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_FINISH_TITLE, m_title);
    DDX_Control(dx, IDC_FINISH_RESULT, m_result);
}

BOOL CPPFinish::OnInitDialog() {
    BOOL result = CWizardPage::OnInitDialog();
    m_titleFont.Attach(::CreateFontA(0, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     FF_SWISS | DEFAULT_PITCH, "Verdana"));
    m_title.SetFont(m_titleFont.GetSafeHandle());
    return result;
}

// The design text of the result static never shows: an empty result shows empty.
BOOL CPPFinish::OnSetActive() {
    if (CPropertySheet* sheet = GetSheet()) sheet->SetWizardButtons(PSWIZB_FINISH);
    m_result.SetText(m_resultText);
    return CWizardPage::OnSetActive();
}
