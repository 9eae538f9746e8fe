// Drives a running wizard from another thread or process: finds its windows, reads controls,
// presses buttons and answers message boxes. Every wait polls with a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

constexpr DWORD kDefaultTimeoutMs = 15000;

// Wizard buttons of the sheet window.
enum : int {
    kButtonBack = 0x3023,
    kButtonNext = 0x3024,
    kButtonFinish = 0x3025,
    kButtonCancel = IDCANCEL,
    kButtonHelp = IDHELP,
};

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    bool hasIcon = false;
    HICON icon = nullptr;  // the system icon shown (compare with LoadIcon(nullptr, IDI_...))
    std::vector<int> buttons;  // ids of the visible push buttons
};

// Top-level windows of a thread or a process, shown or not.
std::vector<HWND> WindowsOfThread(DWORD threadId);
std::vector<HWND> WindowsOfProcess(DWORD processId);
bool IsDialogWindow(HWND hwnd);
// A wizard sheet answers with its current page; other dialogs have none.
bool IsWizardSheet(HWND hwnd);
MessageBoxInfo ReadMessageBox(HWND box);
// The visible dialogs of these windows that are not wizard sheets.
std::vector<HWND> VisibleDialogs(const std::vector<HWND>& windows);

class WizardDriver {
public:
    explicit WizardDriver(HWND sheet) : m_sheet(sheet) {}

    HWND Sheet() const { return m_sheet; }
    bool IsOpen() const { return ::IsWindow(m_sheet) != FALSE; }
    HWND ActivePage() const;
    bool WaitForPage(HWND page, DWORD timeoutMs = kDefaultTimeoutMs) const;
    std::string ControlText(int id) const;
    std::string SheetControlText(int id) const;
    bool IsButtonEnabled(int id) const;
    bool IsButtonChecked(int id) const;
    // Clicks a control of the active page (a radio button, say) by message.
    void ClickControl(int id) const;
    // Posted, so a handler that opens a message box does not block the driver.
    void Press(int psButton) const;
    void SendSystemCommand(UINT id) const;
    std::vector<std::pair<UINT, std::string>> SystemMenuItems() const;
    // The texts of every row of a list view on the active page, column by column; the wizard may
    // run in this process or another.
    std::vector<std::vector<std::string>> ListRows(int id, int columns) const;
    int ListSelection(int id) const;  // the first selected row, -1 for none
    // As a user does with the keyboard: moves the focus to the list, then Home and Down arrows
    // to the row. True once the row is the selected one.
    bool SelectListRowByKeys(int id, int row) const;
    // The entries of a combo box on the active page, in list order, and the selected index.
    std::vector<std::string> ComboItems(int id) const;
    int ComboSelection(int id) const;
    void SelectComboItem(int id, int index) const;
    // Focus and arrow keys as for a list; the page hears the selection change as from a user.
    bool SelectComboItemByKeys(int id, int index) const;
    // Moves the keyboard focus of the active page to one of its controls, as Tab would.
    void FocusControl(int id) const;
    bool IsControlEnabled(int id) const;
    // Clicks a browse button of the active page and chooses the path in the file dialog it
    // opens; true once the dialog has closed.
    bool ChooseFile(int browseId, const std::string& path) const;

private:
    HWND m_sheet;
};

// Waits for a visible wizard sheet among the thread's (or the process's) windows.
HWND WaitForSheetOfThread(DWORD threadId, DWORD timeoutMs = kDefaultTimeoutMs);
HWND WaitForSheetOfProcess(DWORD processId, DWORD timeoutMs = kDefaultTimeoutMs);
// Waits for a visible dialog other than the sheet (a message box, the About box).
HWND WaitForDialogOfThread(DWORD threadId, DWORD timeoutMs = kDefaultTimeoutMs);
HWND WaitForDialogOfProcess(DWORD processId, DWORD timeoutMs = kDefaultTimeoutMs);
void PressDialogButton(HWND dialog, int id);
// Chooses a file in an open or save dialog as a user does: types the path into its file-name
// box and presses OK. False when the dialog has no file-name box.
bool TypeIntoFileDialog(HWND dialog, const std::string& path);

// The whole screen as a 24-bit BMP file; false when it cannot be written.
bool SaveScreenshot(const std::string& path);
