// A user's way through the real wizard running as its own program: started with the virtual
// drives it is to offer, then driven page by page with the messages a mouse and a keyboard
// produce, reading back what the user would see. Shared by the end-to-end test and the demo.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/gui/WizardDriver.h"

using ListTexts = std::vector<std::vector<std::string>>;

// The wizard program as a child process; a program still running at destruction is ended.
class WizardProcess {
public:
    WizardProcess() = default;
    ~WizardProcess();
    WizardProcess(const WizardProcess&) = delete;
    WizardProcess& operator=(const WizardProcess&) = delete;

    // Starts the program with these variables added to this process's environment and waits
    // for its wizard to show. False (with Failure()) when it does not start or show.
    bool Start(const std::string& program,
               const std::vector<std::pair<std::string, std::string>>& environment);
    HWND Sheet() const { return m_sheet; }
    bool WaitForExit(DWORD timeoutMs);
    void Kill();
    const std::string& Failure() const { return m_failure; }

private:
    PROCESS_INFORMATION m_process{};
    HWND m_sheet = nullptr;
    std::string m_failure;
};

// What one way through the wizard chooses.
struct WizardChoices {
    bool spti = true;
    std::string media;      // the drive whose Media column reads this; the first row when empty
    std::string image;      // typed into the image page's open dialog
    std::string method;     // entry of the mode page; empty keeps the preselected one
    bool testMode = false;
    bool opc = true;
    std::string speed;      // the options page's first entry starting with this; empty keeps the default
    std::string saveLogAs;  // saved through the burning page's save dialog when not empty
};

// What the user saw on that way.
struct WizardSeen {
    ListTexts devices;                 // the device table: product, vendor, revision, media, size, label
    int deviceRow = -1;                // the row chosen
    std::string imageInfo;             // the image page's size line
    std::vector<std::string> methods;  // the mode page's entries
    std::vector<std::string> speeds;   // the options page's entries
    std::string speedText;             // the entry chosen
    std::string summary;
    ListTexts log;                     // the burning log: time, information
    std::string result;                // the completion page's text
};

class WizardScript {
public:
    // Pictures of every page go into `pictures` when it is not empty (BMP files).
    explicit WizardScript(HWND sheet, std::string pictures = {});

    // Where and why the last step stopped.
    const std::string& Failure() const { return m_failure; }
    const WizardDriver& Driver() const { return m_driver; }
    int PageIndex() const;

    bool Welcome();
    bool Transport(bool spti);
    // Waits for the device page's scan to end and reads its table.
    bool ScanDevices(ListTexts* rows);
    // Chooses the row with the arrow keys and presses Next. True on the image page; false when
    // the page refused, with the message box's text in *refusal (the box answered OK).
    bool ChooseDevice(int row, std::string* refusal);
    bool ChooseImage(const std::string& path, std::string* info);
    bool ChooseMode(const std::string& method, bool testMode, std::vector<std::string>* offered);
    bool ChooseOptions(bool opc, const std::string& speed, std::vector<std::string>* offered,
                       std::string* chosen);
    bool ReadSummary(std::string* text);
    // Next on the summary; waits for the burn to end and reads the log.
    bool Burn(ListTexts* log, DWORD timeoutMs);
    bool SaveLog(const std::string& path);
    // Next to the completion page, its result text, then Finish.
    bool Finish(std::string* result);
    // Cancel on whatever page is shown; true once the wizard has closed.
    bool Cancel();

    // The whole way from the welcome page to Finish.
    bool RunToFinish(const WizardChoices& choices, WizardSeen* seen);

private:
    bool Fail(const std::string& what);
    bool NextTo(int page);
    bool WaitForPageIndex(int page, DWORD timeoutMs = kDefaultTimeoutMs);
    void Picture(const char* name);
    std::vector<HWND> MessageBoxes() const;

    WizardDriver m_driver;
    DWORD m_processId = 0;
    std::string m_pictures;
    std::string m_failure;
};
