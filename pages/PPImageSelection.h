// Step 4: the image file to burn.
#pragma once

#include <cstdint>
#include <string>

#include "app/WizardPage.h"
#include "framework/Controls.h"

class CPPImageSelection : public CWizardPage {
public:
    CPPImageSelection();

    std::string m_imageFile;
    CWnd m_pathEdit;
    CStatic m_infoText;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    void OnPathChanged();
    void OnBrowse();
    void UpdateNextButton() const;
    void ShowSizes(int64_t fileBytes);
    void ShowError(UINT textId) const;
};

// A byte count in whole mebibytes (each division truncating), as the size line shows it.
double WholeMegabytes(int64_t bytes);
// The size line: file and disc size, both in whole mebibytes.
std::string ImageSizesText(int64_t fileBytes, int64_t discBytes);
// The text without white space at either end; a trail byte of a double-byte character is never
// taken for white space.
std::string TrimWhiteSpace(const std::string& text);
// "ISO image (*.iso)|*.iso||" as the open dialog wants it: every '|' a NUL.
std::string OpenDialogFilter(const std::string& filter);
