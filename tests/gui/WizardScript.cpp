#include "tests/gui/WizardScript.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdio>

#include "res/resource.h"

namespace {

enum Page : int {
    kWelcomePage = 0,
    kTransportPage,
    kDevicePage,
    kImagePage,
    kModePage,
    kOptionsPage,
    kSummaryPage,
    kBurningPage,
    kFinishPage,
};

const char* const kPageNames[] = {"welcome", "transport", "device",  "image", "mode",
                                  "options", "summary",   "burning", "finish"};

std::string Quote(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "\"" : ", \"") + item + "\"";
    return out.empty() ? "nothing" : out;
}

// What GetEnvironmentVariable held before, so the variables can be put back after a start.
struct SavedVariable {
    std::string name;
    bool present = false;
    std::string value;
};

}  // namespace

WizardProcess::~WizardProcess() {
    Kill();
}

bool WizardProcess::Start(const std::string& program,
                          const std::vector<std::pair<std::string, std::string>>& environment) {
    Kill();
    std::vector<SavedVariable> saved;
    for (const auto& [name, value] : environment) {
        char old[4096] = {};
        DWORD n = ::GetEnvironmentVariableA(name.c_str(), old, sizeof old);
        saved.push_back({name, n > 0 && n < sizeof old, old});
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + program + "\"";
    bool started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &m_process) != FALSE;
    DWORD error = ::GetLastError();
    for (const SavedVariable& v : saved)
        ::SetEnvironmentVariableA(v.name.c_str(), v.present ? v.value.c_str() : nullptr);
    if (!started) {
        m_process = {};
        m_failure = "cannot start " + program + " (error " + std::to_string(error) + ")";
        return false;
    }
    ::CloseHandle(m_process.hThread);
    m_process.hThread = nullptr;
    m_sheet = WaitForSheetOfProcess(m_process.dwProcessId, 30000);
    if (!m_sheet) {
        m_failure = "no wizard appeared";
        return false;
    }
    return true;
}

bool WizardProcess::WaitForExit(DWORD timeoutMs) {
    return !m_process.hProcess || ::WaitForSingleObject(m_process.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void WizardProcess::Kill() {
    if (!m_process.hProcess) return;
    if (::WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hProcess);
    m_process = {};
    m_sheet = nullptr;
}

WizardScript::WizardScript(HWND sheet, std::string pictures)
    : m_driver(sheet), m_pictures(std::move(pictures)) {
    ::GetWindowThreadProcessId(sheet, &m_processId);
    if (!m_pictures.empty()) ::CreateDirectoryA(m_pictures.c_str(), nullptr);
}

bool WizardScript::Fail(const std::string& what) {
    int page = PageIndex();
    m_failure = what + " (on page " + std::to_string(page) + ")";
    return false;
}

int WizardScript::PageIndex() const {
    DWORD_PTR index = static_cast<DWORD_PTR>(-1);
    HWND page = m_driver.ActivePage();
    if (!page ||
        !::SendMessageTimeoutA(m_driver.Sheet(), PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0,
                               SMTO_ABORTIFHUNG, 5000, &index))
        return -1;
    return static_cast<int>(static_cast<LRESULT>(index));
}

bool WizardScript::WaitForPageIndex(int page, DWORD timeoutMs) {
    return PollUntil([&] {
        HWND active = m_driver.ActivePage();
        return PageIndex() == page && active && ::IsWindowVisible(active);
    }, timeoutMs);
}

bool WizardScript::NextTo(int page) {
    if (!PollUntil([&] { return m_driver.IsButtonEnabled(kButtonNext); }))
        return Fail("Next is not enabled");
    m_driver.Press(PSBTN_NEXT);
    if (!WaitForPageIndex(page)) {
        std::string boxes;
        for (HWND box : MessageBoxes()) boxes += " \"" + ReadMessageBox(box).text + "\"";
        return Fail("Next did not lead to page " + std::to_string(page) +
                    (boxes.empty() ? std::string() : "; message:" + boxes));
    }
    return true;
}

// Message boxes of the program, told from its wait dialogs by the wait dialog's action text. A
// wait dialog closing on its own thread between the two looks has no text either: only a dialog
// still shown after the look for the text counts.
std::vector<HWND> WizardScript::MessageBoxes() const {
    std::vector<HWND> boxes;
    for (HWND dialog : VisibleDialogs(WindowsOfProcess(m_processId)))
        if (!::GetDlgItem(dialog, IDC_WAIT_ACTION) && ::IsWindowVisible(dialog)) boxes.push_back(dialog);
    return boxes;
}

// A page is pictured once it has stayed the same, with no other dialog over it, for a moment.
void WizardScript::Picture(const char* name) {
    if (m_pictures.empty()) return;
    HWND last = nullptr;
    int stable = 0;
    PollUntil([&] {
        HWND page = m_driver.ActivePage();
        bool same = page && page == last && ::IsWindowVisible(page) &&
                    VisibleDialogs(WindowsOfProcess(m_processId)).empty();
        stable = same ? stable + 1 : 0;
        last = page;
        return stable >= 15;
    }, 20000);
    int index = PageIndex();
    char file[MAX_PATH];
    std::snprintf(file, sizeof file, "%s\\page-%d-%s.bmp", m_pictures.c_str(), index + 1, name);
    if (SaveScreenshot(file)) std::printf("picture: %s\n", file);
}

bool WizardScript::Welcome() {
    if (!WaitForPageIndex(kWelcomePage)) return Fail("the welcome page is not shown");
    Picture(kPageNames[kWelcomePage]);
    return NextTo(kTransportPage);
}

bool WizardScript::Transport(bool spti) {
    int button = spti ? IDC_SPTI : IDC_ASPI;
    m_driver.ClickControl(button);
    if (!PollUntil([&] { return m_driver.IsButtonChecked(button); }))
        return Fail("the transport's radio button does not take the click");
    Picture(kPageNames[kTransportPage]);
    return NextTo(kDevicePage);
}

bool WizardScript::ScanDevices(ListTexts* rows) {
    // The scan has ended when its wait dialog is gone and Refresh and Next are usable again.
    if (!PollUntil([&] {
            return PageIndex() == kDevicePage && m_driver.IsControlEnabled(IDC_REFRESH) &&
                   m_driver.IsButtonEnabled(kButtonNext) &&
                   VisibleDialogs(WindowsOfProcess(m_processId)).empty();
        }, 60000))
        return Fail("the device scan did not end");
    *rows = m_driver.ListRows(IDC_DEVICE_LIST, 6);
    return true;
}

bool WizardScript::ChooseDevice(int row, std::string* refusal) {
    refusal->clear();
    if (!m_driver.SelectListRowByKeys(IDC_DEVICE_LIST, row))
        return Fail("row " + std::to_string(row) + " of the device table cannot be selected");
    Picture(kPageNames[kDevicePage]);
    m_driver.Press(PSBTN_NEXT);
    HWND box = nullptr;
    if (!PollUntil([&] {
            std::vector<HWND> boxes = MessageBoxes();
            box = boxes.empty() ? nullptr : boxes.front();
            return box || (PageIndex() == kImagePage && ::IsWindowVisible(m_driver.ActivePage()));
        }, 30000))
        return Fail("Next on the device page led nowhere");
    if (!box) return true;
    *refusal = ReadMessageBox(box).text;
    PressDialogButton(box, IDOK);
    PollUntil([&] { return !::IsWindowVisible(box); });
    return Fail("the device page refused: \"" + *refusal + "\"");
}

bool WizardScript::ChooseImage(const std::string& path, std::string* info) {
    if (!m_driver.ChooseFile(IDC_BROWSE, path)) return Fail("the open dialog did not take " + path);
    for (HWND box : MessageBoxes()) {
        std::string text = ReadMessageBox(box).text;
        PressDialogButton(box, IDOK);
        return Fail("the image page answered \"" + text + "\"");
    }
    if (!PollUntil([&] { return m_driver.ControlText(IDC_IMAGE_PATH) == path; }))
        return Fail("the image path reads \"" + m_driver.ControlText(IDC_IMAGE_PATH) + "\"");
    *info = m_driver.ControlText(IDC_IMAGE_INFO);
    Picture(kPageNames[kImagePage]);
    return NextTo(kModePage);
}

bool WizardScript::ChooseMode(const std::string& method, bool testMode, std::vector<std::string>* offered) {
    *offered = m_driver.ComboItems(IDC_MODE_COMBO);
    if (!method.empty()) {
        int index = -1;
        for (size_t i = 0; i < offered->size(); ++i)
            if ((*offered)[i] == method) index = static_cast<int>(i);
        if (index < 0) return Fail("\"" + method + "\" is not offered; the list holds " + Quote(*offered));
        if (!m_driver.SelectComboItemByKeys(IDC_MODE_COMBO, index))
            return Fail("\"" + method + "\" cannot be chosen");
    }
    if (m_driver.IsButtonChecked(IDC_TEST_MODE) != testMode) {
        m_driver.ClickControl(IDC_TEST_MODE);
        if (!PollUntil([&] { return m_driver.IsButtonChecked(IDC_TEST_MODE) == testMode; }))
            return Fail("the test-mode box does not take the click");
    }
    Picture(kPageNames[kModePage]);
    return NextTo(kOptionsPage);
}

bool WizardScript::ChooseOptions(bool opc, const std::string& speed, std::vector<std::string>* offered,
                                 std::string* chosen) {
    *offered = m_driver.ComboItems(IDC_SPEED_COMBO);
    if (!speed.empty()) {
        int index = -1;
        for (size_t i = 0; i < offered->size() && index < 0; ++i)
            if ((*offered)[i].compare(0, speed.size(), speed) == 0) index = static_cast<int>(i);
        if (index < 0) return Fail("no speed \"" + speed + "\"; the list holds " + Quote(*offered));
        if (!m_driver.SelectComboItemByKeys(IDC_SPEED_COMBO, index))
            return Fail("speed \"" + speed + "\" cannot be chosen");
    }
    int selected = m_driver.ComboSelection(IDC_SPEED_COMBO);
    *chosen = selected >= 0 && selected < static_cast<int>(offered->size()) ? (*offered)[selected] : "";
    if (m_driver.IsControlEnabled(IDC_SEND_OPC) && m_driver.IsButtonChecked(IDC_SEND_OPC) != opc) {
        m_driver.ClickControl(IDC_SEND_OPC);
        if (!PollUntil([&] { return m_driver.IsButtonChecked(IDC_SEND_OPC) == opc; }))
            return Fail("the power-calibration box does not take the click");
    }
    Picture(kPageNames[kOptionsPage]);
    return NextTo(kSummaryPage);
}

bool WizardScript::ReadSummary(std::string* text) {
    *text = m_driver.ControlText(IDC_SUMMARY_TEXT);
    Picture(kPageNames[kSummaryPage]);
    return true;
}

bool WizardScript::Burn(ListTexts* log, DWORD timeoutMs) {
    if (!NextTo(kBurningPage)) return false;
    // Ended: the percentage, shown from the page's activation, is hidden again and only Next is
    // left (the buttons alone might still be the summary's, their change being posted).
    if (!PollUntil([&] {
            return !::IsWindowVisible(::GetDlgItem(m_driver.ActivePage(), IDC_BURN_PERCENT)) &&
                   m_driver.IsButtonEnabled(kButtonNext) && !m_driver.IsButtonEnabled(kButtonBack);
        }, timeoutMs)) {
        *log = m_driver.ListRows(IDC_BURN_LOG, 2);
        return Fail("the burn did not end; last row \"" + (log->empty() ? "" : log->back()[1]) + "\"");
    }
    *log = m_driver.ListRows(IDC_BURN_LOG, 2);
    Picture(kPageNames[kBurningPage]);
    return true;
}

bool WizardScript::SaveLog(const std::string& path) {
    ::DeleteFileA(path.c_str());  // no overwrite question to answer
    m_driver.ClickControl(IDC_SAVE_LOG);
    HWND dialog = nullptr;
    if (!PollUntil([&] {
            std::vector<HWND> boxes = MessageBoxes();
            dialog = boxes.empty() ? nullptr : boxes.front();
            return dialog != nullptr;
        }))
        return Fail("Save Log opened no dialog");
    if (!TypeIntoFileDialog(dialog, path)) return Fail("the save dialog has no file-name box");
    if (!PollUntil([&] { return MessageBoxes().empty(); }))
        return Fail("the save dialog did not close");
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail("Save Log wrote no " + path);
    return true;
}

bool WizardScript::Finish(std::string* result) {
    if (!NextTo(kFinishPage)) return false;
    if (!PollUntil([&] { return m_driver.IsButtonEnabled(kButtonFinish); }))
        return Fail("Finish is not enabled");
    *result = m_driver.ControlText(IDC_FINISH_RESULT);
    Picture(kPageNames[kFinishPage]);
    m_driver.Press(PSBTN_FINISH);
    if (!PollUntil([&] { return !m_driver.IsOpen(); })) return Fail("Finish did not close the wizard");
    return true;
}

bool WizardScript::Cancel() {
    m_driver.Press(PSBTN_CANCEL);
    if (!PollUntil([&] { return !m_driver.IsOpen(); })) return Fail("Cancel did not close the wizard");
    return true;
}

bool WizardScript::RunToFinish(const WizardChoices& choices, WizardSeen* seen) {
    if (!Welcome() || !Transport(choices.spti) || !ScanDevices(&seen->devices)) return false;
    seen->deviceRow = choices.media.empty() ? 0 : -1;
    for (size_t i = 0; i < seen->devices.size() && seen->deviceRow < 0; ++i)
        if (seen->devices[i][3] == choices.media) seen->deviceRow = static_cast<int>(i);
    if (seen->deviceRow < 0) return Fail("no drive holds a " + choices.media);
    std::string refusal;
    return ChooseDevice(seen->deviceRow, &refusal) && ChooseImage(choices.image, &seen->imageInfo) &&
           ChooseMode(choices.method, choices.testMode, &seen->methods) &&
           ChooseOptions(choices.opc, choices.speed, &seen->speeds, &seen->speedText) &&
           ReadSummary(&seen->summary) && Burn(&seen->log, 120000) &&
           (choices.saveLogAs.empty() || SaveLog(choices.saveLogAs)) && Finish(&seen->result);
}
