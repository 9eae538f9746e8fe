#include "burn/WBurning.h"

#include <commdlg.h>

#include <algorithm>

#include "app/WizardMessages.h"
#include "burn/BurnSession.h"
#include "burn/PPFinish.h"
#include "framework/Strings.h"
#include "pages/WaitThread.h"
#include "res/resource.h"

namespace {
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressPeriodMs = 1000;

DWORD WINAPI BurnThreadEntry(void* param) {
    return BurnThreadProc(param);
}

// "%8s : %s\n" of one row: the time right-aligned in eight places, eight blanks when untimed.
std::string LogLine(const std::string& time, const std::string& text) {
    return FormatStr("%8s : %s\n", time.c_str(), text.c_str());
}

// The system's description of an error, without its trailing line break.
std::string SystemErrorText(DWORD error) {
    char buffer[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}
}  // namespace

CWBurning::CWBurning() : CWizardPage(IDD_BURNING, IDS_BURNING_TITLE, IDS_BURNING_SUBTITLE) {
    MapMessage(WM_BURN_FINISHED, &CWBurning::OnBurnFinished);
    MapMessage(WM_BURN_LOG, &CWBurning::OnBurnLog);
    MapMessage(WM_BURN_WRITING, &CWBurning::OnBurnWriting);
    MapCommand(IDC_SAVE_LOG, &CWBurning::OnSaveLog);
}

CWBurning::~CWBurning() {
    StopWorker();
}

void CWBurning::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_BURN_LOG, m_log);
    DDX_Control(dx, IDC_BURN_PROGRESS, m_progress);
}

BOOL CWBurning::OnInitDialog() {
    CWizardPage::OnInitDialog();
    m_sheet = GetWizard();
    int width = m_log.GetClientRect().right;
    m_log.InsertColumn(0, LoadStr(IDS_COL_TIME), LVCFMT_LEFT, width / 6);
    m_log.InsertColumn(1, LoadStr(IDS_COL_INFORMATION), LVCFMT_LEFT, (5 * width) / 6 - 30);
    m_log.SetExtendedStyle(m_log.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_progress.SetRange(0, 100);
    m_burnEvent.Reset(::CreateEventA(nullptr, TRUE, FALSE, "BurnEvent"));
    g_burnParams.m_hBurnEvent = m_burnEvent.Get();
    if (!m_burnEvent.IsValid()) {
        if (CPropertySheet* sheet = GetSheet()) sheet->EndDialog(0);
    }
    return TRUE;
}

BOOL CWBurning::OnSetActive() {
    if (const CWizardState* state = GetWizardState()) {
        m_log.DeleteAllItems();
        AddLogRow(LoadStr(IDS_LOG_HEADER), LOG_TIMED);
        AddLogRow(LoadStr(IDS_LOG_SOURCE_FILE), LOG_TIMED);
        AddLogRow(state->m_imagePath, LOG_UNTIMED);
        AddLogRow(FormatStr(LoadStr(IDS_LOG_DESTINATION).c_str(), state->m_selectedDevice.m_product,
                            state->m_selectedDevice.m_vendor),
                  LOG_TIMED);
        AddLogRow(FormatStr(LoadStr(IDS_LOG_REQUESTED_SPEED).c_str(), state->m_speedText.c_str()),
                  LOG_TIMED);
        switch (state->m_burningMode) {
        case 0: AddLogRow(LoadStr(IDS_LOG_METHOD_TAO), LOG_TIMED); break;
        case 1: AddLogRow(LoadStr(IDS_LOG_METHOD_SAO), LOG_TIMED); break;
        case 2:
        case 3: AddLogRow(LoadStr(IDS_LOG_METHOD_DAO), LOG_TIMED); break;
        default: break;
        }
        StartBurn(*state);
    }
    return CWizardPage::OnSetActive();
}

void CWBurning::StartBurn(const CWizardState& state) {
    // A page shows one burn at a time; an earlier worker has ended (or is stopped) first.
    StopWorker();
    {
        CScopedLock lock(g_progressLock);
        g_burnPercent = 0;
    }
    BurnParams& params = g_burnParams;
    params.Reset();
    params.m_hPageWnd = m_hWnd;
    params.m_cancelled = 0;
    params.m_sendOpc = state.m_sendOpc;
    params.m_burningMode = state.m_burningMode;
    params.m_testMode = state.m_testMode;
    params.m_device = state.m_selectedDevice;
    params.m_burningSpeed = state.m_burningSpeed;
    std::copy(std::begin(state.m_imagePath), std::end(state.m_imagePath), params.m_imagePath);
    params.m_imagePath[sizeof(params.m_imagePath) - 1] = '\0';
    SetBurnUi(true);
    m_burnThread.Reset(::CreateThread(nullptr, 0, BurnThreadEntry, &params, 0, nullptr));
}

void CWBurning::SetBurnUi(bool start) {
    CPropertySheet* sheet = GetSheet();
    if (start) {
        m_progress.SetPos(0);
        if (sheet) sheet->SetWizardButtons(0);
        SetItemText(IDC_BURN_PERCENT, "0%");
        ShowItem(IDC_BURN_PERCENT, true);
        SetTimer(kProgressTimer, kProgressPeriodMs);
    } else {
        m_burning = 0;
        m_progress.SetPos(100);
        if (sheet) sheet->SetWizardButtons(PSWIZB_NEXT);
        ShowItem(IDC_BURN_PERCENT, false);
        KillTimer(kProgressTimer);
    }
}

void CWBurning::OnTimer(UINT_PTR) {
    int32_t percent;
    {
        CScopedLock lock(g_progressLock);
        percent = g_burnPercent;
    }
    m_progress.SetPos(percent);
    SetItemText(IDC_BURN_PERCENT, FormatStr("%d%%", percent));
}

void CWBurning::AddLogRow(const std::string& text, WPARAM kind) {
    std::string time;
    if (kind == LOG_TIMED) {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        time = FormatStr("%.2d:%.2d:%.2d", now.wHour, now.wMinute, now.wSecond);
    }
    int index = m_log.InsertItem(m_log.GetItemCount(), time);
    m_log.SetItemText(index, 1, text);
    // The newest row stays in view, so the burn's progress can be followed without scrolling.
    m_log.Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

LRESULT CWBurning::OnBurnWriting(WPARAM, LPARAM) {
    m_burning = 1;
    ::SetEvent(g_burnParams.m_hBurnEvent);
    return 1;
}

// After a cancel the drive object is released as after an error: no later call needs it, and a
// drive object left behind would keep the drive from anyone else for the rest of the run.
LRESULT CWBurning::OnBurnLog(WPARAM kind, LPARAM) {
    AddLogRow(g_logText, kind);
    if (kind != LOG_FATAL) return 1;
    UINT result = IDS_RESULT_ERROR;
    if (g_burnParams.m_cancelled) {
        g_logText = LoadStr(IDS_LOG_CANCELLED);
        AddLogRow(g_logText, LOG_TIMED);
        SetBurnUi(false);
        CWaitThread::Close(m_waitThread);
        result = IDS_RESULT_CANCELLED;
    } else {
        SetBurnUi(false);
    }
    ReleaseBurnDrive(g_burnParams);
    HandResult(result);
    return 1;
}

LRESULT CWBurning::OnBurnFinished(WPARAM, LPARAM) {
    SetBurnUi(false);
    HandResult(IDS_RESULT_SUCCESS);
    CWaitThread::Close(m_waitThread);
    return 1;
}

void CWBurning::HandResult(UINT textId) {
    CPropertySheet* sheet = GetSheet();
    if (!sheet) return;
    for (int i = 0; i < sheet->GetPageCount(); ++i) {
        if (auto* finish = dynamic_cast<CPPFinish*>(sheet->GetPage(i)))
            finish->SetResultText(LoadStr(textId));
    }
}

// Worker rows and the end of the burn keep arriving while the question is open (they are sent
// messages), so the answer is acted on only if the burn still has a drive object to stop.
BOOL CWBurning::OnQueryCancel() {
    if (!m_burning) return CWizardPage::OnQueryCancel();
    int answer = ::MessageBoxA(m_hWnd, LoadStr(IDS_CONFIRM_CANCEL).c_str(),
                               LoadStr(IDS_APP_NAME).c_str(), MB_YESNO);
    if (answer == IDYES && m_burning && !g_burnParams.m_cancelled) {
        CScopedLock lock(g_grabberLock);
        if (g_burnParams.m_burnGrabber) {
            AddLogRow(LoadStr(IDS_LOG_CANCELLING), LOG_TIMED);
            m_waitThread =
                CWaitThread::Show(IDS_CANCEL_BURNING, IDR_AVI_SEARCH, IDS_CANCELLING_BURN, 0, m_hWnd);
            StarBurn_CdvdBurnerGrabber_Cancel(g_burnParams.m_burnGrabber);
            g_burnParams.m_cancelled = 1;
        }
    }
    return FALSE;
}

void CWBurning::OnSaveLog() {
    std::string filter = LoadStr(IDS_LOG_FILE_FILTER);
    std::replace(filter.begin(), filter.end(), '|', '\0');
    char path[MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrDefExt = "";
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (!::GetSaveFileNameA(&dialog)) return;
    SaveLogTo(path);
}

bool CWBurning::SaveLogTo(const std::string& path) {
    CHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD error = file.IsValid() ? ERROR_SUCCESS : ::GetLastError();
    // The count is read again after every row: rows the worker adds meanwhile are saved too.
    for (int i = 0; error == ERROR_SUCCESS && i < m_log.GetItemCount(); ++i) {
        std::string line = LogLine(m_log.GetItemText(i, 0), m_log.GetItemText(i, 1));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                         nullptr) ||
            written != line.size())
            error = ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
    }
    if (error == ERROR_SUCCESS) return true;
    std::string message =
        FormatStr(LoadStr(IDS_FILE_ERROR).c_str(), path.c_str(), SystemErrorText(error).c_str());
    ::MessageBoxA(m_hWnd, message.c_str(), LoadStr(IDS_APP_NAME).c_str(), MB_OK | MB_ICONERROR);
    return false;
}

// The worker finds the page gone at its next row and releases the drive object itself; the
// cancel makes a long library call end soon. Sent messages are served meanwhile, since a row
// sent just before the window went waits for this thread to refuse it.
void CWBurning::StopWorker() {
    if (!m_burnThread.IsValid()) return;
    CancelBurnDrive(g_burnParams);
    HANDLE thread = m_burnThread.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) !=
           WAIT_OBJECT_0) {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_burnThread.Reset();
}
