#include "pages/PPImageSelection.h"

#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "framework/Handles.h"
#include "framework/Strings.h"
#include "res/resource.h"

namespace {
// Longer paths than the wizard's 260-byte field can hold are still returned by the dialog, so
// they can be refused instead of failing silently.
constexpr DWORD kOpenPathChars = 32768;

bool IsWhiteSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The file for reading, as the burn will read it; an invalid handle when it cannot be opened.
CHandle OpenImage(const std::string& path) {
    return CHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
}
}  // namespace

double WholeMegabytes(int64_t bytes) {
    return static_cast<double>(bytes / 1024 / 1024);
}

std::string ImageSizesText(int64_t fileBytes, int64_t discBytes) {
    return FormatStr(LoadStr(IDS_IMAGE_SIZES).c_str(), WholeMegabytes(fileBytes),
                     WholeMegabytes(discBytes));
}

std::string TrimWhiteSpace(const std::string& text) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    const char* first = begin;
    while (first < end && IsWhiteSpaceByte(*first)) ++first;
    // Walked character by character, so the end found is never inside a double-byte character.
    const char* last = first;
    for (const char* p = first; p < end;) {
        const char* next = ::CharNextA(p);
        if (next == p) break;
        if (!IsWhiteSpaceByte(*p)) last = next;
        p = next;
    }
    return std::string(first, last);
}

std::string OpenDialogFilter(const std::string& filter) {
    std::string result = filter;
    for (char& c : result)
        if (c == '|') c = '\0';
    return result;
}

CPPImageSelection::CPPImageSelection()
    : CWizardPage(IDD_IMAGE, IDS_IMAGE_TITLE, IDS_IMAGE_SUBTITLE) {
    MapCommand(IDC_IMAGE_PATH, &CPPImageSelection::OnPathChanged, EN_CHANGE);
    MapCommand(IDC_BROWSE, &CPPImageSelection::OnBrowse);
}

void CPPImageSelection::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_IMAGE_PATH, m_pathEdit);
    DDX_Control(dx, IDC_IMAGE_INFO, m_infoText);
    DDX_Text(dx, IDC_IMAGE_PATH, m_imageFile);
}

BOOL CPPImageSelection::OnInitDialog() {
    CWizardPage::OnInitDialog();
    ShowSizes(0);
    return TRUE;
}

BOOL CPPImageSelection::OnSetActive() {
    CWizardPage::OnSetActive();
    UpdateNextButton();
    return TRUE;
}

void CPPImageSelection::OnPathChanged() {
    UpdateData(true);
    m_imageFile = TrimWhiteSpace(m_imageFile);
    UpdateNextButton();
}

void CPPImageSelection::UpdateNextButton() const {
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(m_imageFile.empty() ? PSWIZB_BACK : PSWIZB_BACK | PSWIZB_NEXT);
}

// The disc size is the one of the drive chosen when the line was written; it is not followed
// when the user goes back and picks another drive.
void CPPImageSelection::ShowSizes(int64_t fileBytes) {
    const CWizardState* state = GetWizardState();
    int64_t discBytes = state ? state->m_selectedDevice.m_freeBytes : 0;
    m_infoText.SetText(ImageSizesText(fileBytes, discBytes));
}

void CPPImageSelection::ShowError(UINT textId) const {
    ::MessageBoxA(m_hWnd, LoadStr(textId).c_str(), LoadStr(IDS_APP_NAME).c_str(),
                  MB_OK | MB_ICONERROR);
}

void CPPImageSelection::OnBrowse() {
    std::vector<char> path(kOpenPathChars, '\0');
    const char initial[] = "*.iso";
    std::copy(std::begin(initial), std::end(initial), path.begin());
    const std::string filter = OpenDialogFilter(LoadStr(IDS_IMAGE_FILTER));
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kOpenPathChars;
    dialog.lpstrDefExt = "iso";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!::GetOpenFileNameA(&dialog)) return;

    const std::string chosen = path.data();
    // Raises EN_CHANGE: the member and the Next button follow the new path.
    m_pathEdit.SetText(chosen);
    CHandle file = OpenImage(chosen);
    if (!file.IsValid()) {
        ShowError(IDS_BAD_IMAGE_PATH);
        return;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) size.QuadPart = 0;
    ShowSizes(size.QuadPart);
}

LRESULT CPPImageSelection::OnWizardNext() {
    UpdateData(true);
    m_imageFile = TrimWhiteSpace(m_imageFile);
    if (m_imageFile.empty()) {
        ShowError(IDS_NO_IMAGE_FILE);
        return -1;
    }
    CWizardState* state = GetWizardState();
    // A path the wizard's field cannot hold is refused whole: cut short it would name another
    // file, or none.
    if (!state || m_imageFile.size() >= sizeof(state->m_imagePath) ||
        !OpenImage(m_imageFile).IsValid()) {
        ShowError(IDS_BAD_IMAGE_PATH);
        return -1;
    }
    std::copy(m_imageFile.begin(), m_imageFile.end(), state->m_imagePath);
    state->m_imagePath[m_imageFile.size()] = '\0';
    return CWizardPage::OnWizardNext();
}
