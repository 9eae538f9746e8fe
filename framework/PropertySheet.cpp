#include "framework/PropertySheet.h"

#include "framework/WinApp.h"

namespace {
// The sheet whose window PropertySheetA is creating on this thread; the sheet callback carries
// no context of its own.
thread_local CPropertySheet* t_creatingSheet = nullptr;
constexpr char kSheetProp[] = "Quillfire.Sheet";
// Posted by a page that became active; handled once the sheet has shown it.
const UINT kPageShownMessage = ::RegisterWindowMessageA("Quillfire.PageShown");
}  // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId) {
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = AfxGetInstanceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

void CPropertyPage::SetHeader(const std::string& title, const std::string& subtitle) {
    m_psp.dwFlags = (m_psp.dwFlags & ~PSP_HIDEHEADER) | PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
    m_psp.pszHeaderTitle = title.c_str();
    m_psp.pszHeaderSubTitle = subtitle.c_str();
}

void CPropertyPage::HideHeader() {
    m_psp.dwFlags = (m_psp.dwFlags & ~(PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE)) | PSP_HIDEHEADER;
}

// The system may activate the first page before it reports the sheet window as made, so the
// window is taken from the page's parent when the sheet has not seen it yet.
CPropertySheet* CPropertyPage::GetSheet() const {
    if (m_ownerSheet && !m_ownerSheet->m_hWnd && m_hWnd) m_ownerSheet->m_hWnd = GetParent();
    return m_ownerSheet;
}

bool CPropertyPage::OnCommand(UINT id, UINT code, HWND control) {
    if (id == ID_HELP && !control) {
        OnHelp();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool CPropertyPage::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->hwndFrom != GetParent()) return CDialog::OnNotify(header, result);
    switch (header->code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        if (result == 0) ::PostMessageA(GetParent(), kPageShownMessage, 0, 0);
        return true;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        return true;
    case PSN_WIZBACK:
        result = OnWizardBack();
        return true;
    case PSN_WIZFINISH:
        result = OnWizardFinish() ? FALSE : TRUE;
        return true;
    case PSN_QUERYCANCEL: {
        CPropertySheet* sheet = GetSheet();
        result = (sheet && sheet->m_ending) || OnQueryCancel() ? FALSE : TRUE;
        return true;
    }
    case PSN_HELP:
        OnHelp();
        result = 0;
        return true;
    default:
        return CDialog::OnNotify(header, result);
    }
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        // The system passes its copy of the page record; our pointer travels in its lParam.
        auto* record = reinterpret_cast<PROPSHEETPAGEA*>(lParam);
        self = reinterpret_cast<CPropertyPage*>(record->lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, record->lParam);
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    return self ? Dispatch(self, hwnd, msg, wParam, lParam) : FALSE;
}

CPropertySheet::CPropertySheet(const char* caption, HWND parent, UINT startPage)
    : m_caption(caption ? caption : "") {
    m_psh.dwSize = sizeof(m_psh);
    m_psh.hwndParent = parent;
    m_psh.hInstance = AfxGetInstanceHandle();
    m_psh.nStartPage = startPage;
}

INT_PTR CPropertySheet::DoModal() {
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* page : m_pages) {
        HPROPSHEETPAGE handle = ::CreatePropertySheetPageA(&page->m_psp);
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) ::DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    PROPSHEETHEADERA header = m_psh;
    header.dwFlags = (header.dwFlags & ~PSH_PROPSHEETPAGE) | PSH_USECALLBACK;
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    header.pfnCallback = SheetCallback;
    // Some systems (Wine) draw the header band only from a bitmap handle, so the sheet loads the
    // resource itself and keeps it for its life.
    if ((header.dwFlags & PSH_HEADER) && !(header.dwFlags & PSH_USEHBMHEADER) && header.pszbmHeader) {
        m_headerBitmap.Attach(::LoadBitmapA(header.hInstance, header.pszbmHeader));
        if (m_headerBitmap.GetSafeHandle()) {
            header.dwFlags |= PSH_USEHBMHEADER;
            header.hbmHeader = m_headerBitmap.GetSafeHandle();
        }
    }

    CPropertySheet* outer = t_creatingSheet;
    t_creatingSheet = this;
    m_ending = false;
    INT_PTR result = ::PropertySheetA(&header);
    t_creatingSheet = outer;
    return m_ending ? m_endResult : result;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    if (msg != PSCB_INITIALIZED || !t_creatingSheet) return 0;
    CPropertySheet* sheet = t_creatingSheet;
    t_creatingSheet = nullptr;
    try {
        ::SetPropA(hwnd, kSheetProp, sheet);
        sheet->SubclassWindow(hwnd);
        sheet->OnInitDialog();
    } catch (...) {
    }
    return 0;
}

LRESULT CPropertySheet::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_NCDESTROY:
        ::RemovePropA(m_hWnd, kSheetProp);
        break;
    default:
        if (msg == kPageShownMessage) {
            RepaintIfHeaderChanged();
            return 0;
        }
        break;
    }
    return Default(msg, wParam, lParam);
}

// Some systems (Wine) leave the old header band or watermark on screen when the sheet switches
// between an interior and an exterior page; one full repaint at the switch puts it right.
void CPropertySheet::RepaintIfHeaderChanged() {
    CPropertyPage* page = GetActivePage();
    if (!page) return;
    int header = (page->m_psp.dwFlags & PSP_HIDEHEADER) ? 0 : 1;
    if (m_shownHeader != -1 && header != m_shownHeader)
        ::RedrawWindow(m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    m_shownHeader = header;
}

CPropertySheet* CPropertySheet::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CPropertySheet*>(::GetPropA(hwnd, kSheetProp)) : nullptr;
}

// The system ends a modal sheet only through its own buttons, so this presses Cancel and lets
// the page's query pass.
void CPropertySheet::EndDialog(INT_PTR result) {
    m_ending = true;
    m_endResult = result;
    Post(PSM_PRESSBUTTON, PSBTN_CANCEL);
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    int index = GetActiveIndex();
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

int CPropertySheet::GetActiveIndex() const {
    HWND current = reinterpret_cast<HWND>(Send(PSM_GETCURRENTPAGEHWND));
    if (!current) return -1;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->m_hWnd == current) return static_cast<int>(i);
    return -1;
}
