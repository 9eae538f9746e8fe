#include "tests/gui/WizardDriver.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstring>

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
}

namespace {
BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

struct ProcessFilter {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectOfProcess(HWND hwnd, LPARAM param) {
    auto* filter = reinterpret_cast<ProcessFilter*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner == filter->processId) filter->windows.push_back(hwnd);
    return TRUE;
}

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hwnd) {
    char text[2048] = {};
    // WM_GETTEXT crosses threads and processes; GetWindowText would not ask another process.
    ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

HWND FindIn(const std::vector<HWND>& windows, bool sheet) {
    for (HWND hwnd : windows)
        if (::IsWindowVisible(hwnd) && IsDialogWindow(hwnd) && IsWizardSheet(hwnd) == sheet)
            return hwnd;
    return nullptr;
}
}  // namespace

std::vector<HWND> WindowsOfThread(DWORD threadId) {
    std::vector<HWND> windows;
    ::EnumThreadWindows(threadId, Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> WindowsOfProcess(DWORD processId) {
    ProcessFilter filter{processId, {}};
    ::EnumWindows(CollectOfProcess, reinterpret_cast<LPARAM>(&filter));
    return filter.windows;
}

bool IsDialogWindow(HWND hwnd) {
    return ClassOf(hwnd) == "#32770";
}

bool IsWizardSheet(HWND hwnd) {
    DWORD_PTR page = 0;
    ::SendMessageTimeoutA(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return page != 0;
}

std::vector<HWND> VisibleDialogs(const std::vector<HWND>& windows) {
    std::vector<HWND> dialogs;
    for (HWND hwnd : windows)
        if (::IsWindowVisible(hwnd) && IsDialogWindow(hwnd) && !IsWizardSheet(hwnd))
            dialogs.push_back(hwnd);
    return dialogs;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.caption = TextOf(box);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        std::string cls = ClassOf(child);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            ::SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
            info.hasIcon = icon != 0;
            info.icon = reinterpret_cast<HICON>(icon);
        } else if (cls == "Static" && info.text.empty()) {
            info.text = TextOf(child);
        } else if (cls == "Button") {
            info.buttons.push_back(::GetDlgCtrlID(child));
        }
    }
    return info;
}

HWND WizardDriver::ActivePage() const {
    DWORD_PTR page = 0;
    ::SendMessageTimeoutA(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &page);
    return reinterpret_cast<HWND>(page);
}

bool WizardDriver::WaitForPage(HWND page, DWORD timeoutMs) const {
    return PollUntil([&] { return ActivePage() == page && ::IsWindowVisible(page); }, timeoutMs);
}

std::string WizardDriver::ControlText(int id) const {
    return TextOf(::GetDlgItem(ActivePage(), id));
}

std::string WizardDriver::SheetControlText(int id) const {
    return TextOf(::GetDlgItem(m_sheet, id));
}

bool WizardDriver::IsButtonEnabled(int id) const {
    HWND button = ::GetDlgItem(m_sheet, id);
    return button && ::IsWindowVisible(button) && ::IsWindowEnabled(button);
}

bool WizardDriver::IsButtonChecked(int id) const {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutA(::GetDlgItem(ActivePage(), id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                          &state);
    return state == BST_CHECKED;
}

void WizardDriver::ClickControl(int id) const {
    ::PostMessageA(::GetDlgItem(ActivePage(), id), BM_CLICK, 0, 0);
}

void WizardDriver::Press(int psButton) const {
    ::PostMessageA(m_sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(psButton), 0);
}

void WizardDriver::SendSystemCommand(UINT id) const {
    ::PostMessageA(m_sheet, WM_SYSCOMMAND, id, 0);
}

std::vector<std::pair<UINT, std::string>> WizardDriver::SystemMenuItems() const {
    std::vector<std::pair<UINT, std::string>> items;
    HMENU menu = ::GetSystemMenu(m_sheet, FALSE);
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        items.emplace_back(info.fType & MFT_SEPARATOR ? 0u : info.wID,
                           info.fType & MFT_SEPARATOR ? std::string("-") : std::string(text));
    }
    return items;
}

namespace {
// Room for a message's buffer in the process that owns a window. Windows carries the buffers of
// the older controls' messages across processes itself, but not those of the common controls
// (LVM_*): for a wizard in another process they must live in its memory.
class ForeignBuffer {
public:
    ForeignBuffer(HWND owner, size_t size) : m_size(size) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(owner, &processId);
        if (processId == ::GetCurrentProcessId()) {
            m_local.assign(size, 0);
            return;
        }
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                  processId);
        if (m_process)
            m_remote = ::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~ForeignBuffer() {
        if (m_remote) ::VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    ForeignBuffer(const ForeignBuffer&) = delete;
    ForeignBuffer& operator=(const ForeignBuffer&) = delete;

    bool IsValid() const { return !m_local.empty() || m_remote != nullptr; }
    // The buffer's address as the window's process sees it.
    char* Address() { return m_remote ? static_cast<char*>(m_remote) : m_local.data(); }
    bool Write(size_t offset, const void* data, size_t size) {
        if (offset + size > m_size) return false;
        if (!m_remote) {
            std::memcpy(m_local.data() + offset, data, size);
            return true;
        }
        SIZE_T done = 0;
        return ::WriteProcessMemory(m_process, Address() + offset, data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) {
        if (offset + size > m_size) return false;
        if (!m_remote) {
            std::memcpy(data, m_local.data() + offset, size);
            return true;
        }
        SIZE_T done = 0;
        return ::ReadProcessMemory(m_process, Address() + offset, data, size, &done) && done == size;
    }

private:
    size_t m_size;
    std::vector<char> m_local;
    HANDLE m_process = nullptr;
    void* m_remote = nullptr;
};

LRESULT SendWithTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// Key presses as the keyboard would queue them to the focused control.
void PostKey(HWND hwnd, UINT key) {
    UINT scan = ::MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    bool extended = key == VK_HOME || key == VK_END || key == VK_UP || key == VK_DOWN;
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (extended ? (1 << 24) : 0);
    ::PostMessageA(hwnd, WM_KEYDOWN, key, down);
    ::PostMessageA(hwnd, WM_KEYUP, key, down | (1u << 30) | (1u << 31));
}
}  // namespace

std::vector<std::vector<std::string>> WizardDriver::ListRows(int id, int columns) const {
    HWND list = ::GetDlgItem(ActivePage(), id);
    std::vector<std::vector<std::string>> rows;
    constexpr size_t kTextSize = 1024;
    ForeignBuffer buffer(list, sizeof(LVITEMA) + kTextSize);
    if (!list || !buffer.IsValid()) return rows;
    int count = static_cast<int>(SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> row;
        for (int column = 0; column < columns; ++column) {
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = buffer.Address() + sizeof(LVITEMA);
            item.cchTextMax = kTextSize;
            char text[kTextSize] = {};
            buffer.Write(0, &item, sizeof item);
            buffer.Write(sizeof item, text, 1);
            SendWithTimeout(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(buffer.Address()));
            buffer.Read(sizeof item, text, kTextSize);
            text[kTextSize - 1] = 0;
            row.emplace_back(text);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

int WizardDriver::ListSelection(int id) const {
    return static_cast<int>(SendWithTimeout(::GetDlgItem(ActivePage(), id), LVM_GETNEXTITEM,
                                            static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void WizardDriver::FocusControl(int id) const {
    HWND page = ActivePage();
    ::PostMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(page, id)), TRUE);
}

bool WizardDriver::IsControlEnabled(int id) const {
    HWND control = ::GetDlgItem(ActivePage(), id);
    return control && ::IsWindowEnabled(control);
}

bool WizardDriver::SelectListRowByKeys(int id, int row) const {
    HWND list = ::GetDlgItem(ActivePage(), id);
    if (!list) return false;
    FocusControl(id);
    PostKey(list, VK_HOME);
    for (int i = 0; i < row; ++i) PostKey(list, VK_DOWN);
    return PollUntil([&] { return ListSelection(id) == row; }, 5000);
}

bool WizardDriver::SelectComboItemByKeys(int id, int index) const {
    HWND combo = ::GetDlgItem(ActivePage(), id);
    if (!combo) return false;
    FocusControl(id);
    PostKey(combo, VK_HOME);
    for (int i = 0; i < index; ++i) PostKey(combo, VK_DOWN);
    return PollUntil([&] { return ComboSelection(id) == index; }, 5000);
}

// Windows carries CB_GETLBTEXT's text across processes itself. Asked in Unicode: Wine hands an
// ANSI caller in another process the Unicode text unconverted.
std::vector<std::string> WizardDriver::ComboItems(int id) const {
    HWND combo = ::GetDlgItem(ActivePage(), id);
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (int i = 0; i < static_cast<int>(count); ++i) {
        wchar_t wide[1024] = {};
        ::SendMessageTimeoutW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                              reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, nullptr);
        char text[2048] = {};
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text - 1, nullptr, nullptr);
        items.emplace_back(text);
    }
    return items;
}

int WizardDriver::ComboSelection(int id) const {
    DWORD_PTR index = 0;
    ::SendMessageTimeoutA(::GetDlgItem(ActivePage(), id), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG,
                          5000, &index);
    return static_cast<int>(static_cast<LRESULT>(index));
}

void WizardDriver::SelectComboItem(int id, int index) const {
    ::SendMessageTimeoutA(::GetDlgItem(ActivePage(), id), CB_SETCURSEL, static_cast<WPARAM>(index),
                          0, SMTO_ABORTIFHUNG, 5000, nullptr);
}

HWND WaitForSheetOfThread(DWORD threadId, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil([&] { return (found = FindIn(WindowsOfThread(threadId), true)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForSheetOfProcess(DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil([&] { return (found = FindIn(WindowsOfProcess(processId), true)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForDialogOfThread(DWORD threadId, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil([&] { return (found = FindIn(WindowsOfThread(threadId), false)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForDialogOfProcess(DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil([&] { return (found = FindIn(WindowsOfProcess(processId), false)) != nullptr; },
              timeoutMs);
    return found;
}

void PressDialogButton(HWND dialog, int id) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

namespace {
struct ChildSearch {
    int id;
    const char* cls;
    HWND found = nullptr;
};

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if ((search->id == 0 || ::GetDlgCtrlID(hwnd) == search->id) &&
        (!search->cls || ClassOf(hwnd) == search->cls)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A descendant of any depth, by control id and/or class.
HWND FindDescendant(HWND parent, int id, const char* cls) {
    ChildSearch search{id, cls};
    ::EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

constexpr int kFileNameCombo = 0x47C;  // cmb13: the file-name box of explorer-style dialogs
constexpr int kFileNameEdit = 0x480;   // edt1: the file-name box of older dialogs
}  // namespace

bool TypeIntoFileDialog(HWND dialog, const std::string& path) {
    HWND box = nullptr;
    if (HWND combo = FindDescendant(dialog, kFileNameCombo, nullptr))
        box = ClassOf(combo) == "Edit" ? combo : FindDescendant(combo, 0, "Edit");
    if (!box) box = FindDescendant(dialog, kFileNameEdit, "Edit");
    if (!box) return false;
    ::SendMessageTimeoutA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    PressDialogButton(dialog, IDOK);
    return true;
}

bool WizardDriver::ChooseFile(int browseId, const std::string& path) const {
    DWORD uiThread = ::GetWindowThreadProcessId(m_sheet, nullptr);
    ClickControl(browseId);
    HWND dialog = WaitForDialogOfThread(uiThread);
    if (!dialog || !TypeIntoFileDialog(dialog, path)) return false;
    return PollUntil([&] { return !::IsWindowVisible(dialog); });
}

bool SaveScreenshot(const std::string& path) {
    int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ::GdiFlush();
        DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
        DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + imageBytes;
        info.bmiHeader.biSizeImage = imageBytes;
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 std::fwrite(bits, 1, imageBytes, out) == imageBytes;
            ok = std::fclose(out) == 0 && ok;
        }
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}
