#include "tests/reliability/Workload.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "app/WizardMessages.h"
#include "burn/BurnSession.h"
#include "burnlib/api/DeviceProvider.h"
#include "drive/DeviceScanner.h"
#include "framework/Handles.h"

namespace reliability {

class Workload::FaultTarget : public burnlib::ScsiTarget {
public:
    explicit FaultTarget(std::shared_ptr<burnlib::VirtualRecorder> recorder)
        : m_recorder(std::move(recorder)) {}
    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        Fault fault;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            fault = m_fault;
        }
        if (fault)
            if (std::optional<burnlib::ScsiResult> answer = fault(request)) return *answer;
        return m_recorder->Execute(request);
    }
    bool ClaimExclusive(const void* owner) override {
        return !m_refuseExclusive && m_recorder->ClaimExclusive(owner);
    }
    void ReleaseExclusive(const void* owner) override { m_recorder->ReleaseExclusive(owner); }
    std::atomic<bool> m_refuseExclusive{false};
    void Set(Fault fault) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_fault = std::move(fault);
    }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
    std::mutex m_lock;
    Fault m_fault;
};

std::string MakeTempFile(const std::string& name, uint64_t bytes) {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + name;
    std::vector<char> data(static_cast<size_t>(bytes));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 2048 + 1);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!data.empty()) ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    ::CloseHandle(file);
    return path;
}

namespace {

// The page the worker reports to: every message answered as the burning page answers it.
struct BurnWindow {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<BurnOutcome*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        switch (msg) {
        case WM_BURN_LOG:
            if (self) {
                self->rows.push_back(g_logText);
                self->fatalRowLast = wParam == LOG_FATAL;
                if (wParam == LOG_FATAL) ++self->fatalRows;
            }
            // As the burning page does when it shows the final row of a failure.
            if (wParam == LOG_FATAL) ReleaseBurnDrive(g_burnParams);
            return 1;
        case WM_BURN_WRITING:
            ::SetEvent(g_burnParams.m_hBurnEvent);
            return 1;
        case WM_BURN_FINISHED:
            if (self) self->succeeded = true;
            return 1;
        default:
            return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }
};

DWORD WINAPI RunWorker(LPVOID) {
    return BurnThreadProc(&g_burnParams);
}

struct ScanWait {
    CHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    int count = -1;
    static void OnComplete(void* context, CDeviceArray* devices) {
        auto* self = static_cast<ScanWait*>(context);
        self->count = devices->GetCount();
        ::SetEvent(self->done.Get());
    }
};

}  // namespace

Workload::Workload(burnlib::Medium medium, burnlib::DriveModel model)
    : m_provider(std::make_shared<drivetest::TestDeviceProvider>()), m_freshMedium(medium) {
    m_cdWriter = std::make_shared<burnlib::VirtualRecorder>(std::move(model), std::move(medium));
    m_target = std::make_shared<FaultTarget>(m_cdWriter);
    m_provider->AddTarget("CdRom0", m_target);
    m_provider->Add("CdRom1", drivetest::DvdWriter({1385, 5540}), drivetest::BlankDvdPlusR());
    burnlib::SetDeviceProvider(m_provider);
    m_image = MakeTempFile("qf-reliability.iso", 300 * 2048 + 1024);
}

Workload::~Workload() {
    StarBurn_DownShut();
    burnlib::SetDeviceProvider(nullptr);
    ::DeleteFileA(m_image.c_str());
}

void Workload::SetFault(Fault fault) { m_target->Set(std::move(fault)); }
void Workload::SetExclusiveRefused(bool refused) { m_target->m_refuseExclusive = refused; }
void Workload::InsertFreshDisc() { m_cdWriter->InsertMedium(m_freshMedium); }

int Workload::Scan() {
    StarBurn_UpStartEx();
    ScanWait wait;
    {
        CDeviceScanner scanner;
        scanner.StartScan(&ScanWait::OnComplete, &wait, kTransportSpti, true);
        if (::WaitForSingleObject(wait.done.Get(), 60000) != WAIT_OBJECT_0) return -1;
    }  // the scanner joins its thread here
    return wait.count;
}

bool Workload::Burn(int32_t method, std::string* why) {
    InsertFreshDisc();
    BurnOutcome outcome = Burn(method, m_image);
    if (!outcome.succeeded) *why = outcome.ended ? outcome.lastRow() : "the burn did not end within a minute";
    return outcome.succeeded;
}

BurnOutcome Workload::Burn(int32_t method, const std::string& image) {
    StarBurn_UpStartEx();
    static const ATOM windowClass = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &BurnWindow::Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "QfReliabilityBurnPage";
        return ::RegisterClassA(&wc);
    }();
    (void)windowClass;
    BurnOutcome outcome;
    HWND window = ::CreateWindowA("QfReliabilityBurnPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&outcome));
    CHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));

    g_burnParams.Reset();
    g_burnParams.m_hBurnEvent = event.Get();
    g_burnParams.m_hPageWnd = window;
    g_burnParams.m_device.m_accessKind = kAccessByName;
    std::strcpy(g_burnParams.m_device.m_deviceName, "CdRom0");
    std::strncpy(g_burnParams.m_imagePath, image.c_str(), sizeof g_burnParams.m_imagePath - 1);
    g_burnParams.m_burningMode = method;
    g_burnParams.m_sendOpc = method % 2 == 1;

    CHandle worker(::CreateThread(nullptr, 0, &RunWorker, nullptr, 0, nullptr));
    HANDLE workerHandle = worker.Get();
    const DWORD deadline = ::GetTickCount() + 60000;
    while (!outcome.ended && ::GetTickCount() < deadline) {
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &workerHandle, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        outcome.ended = wait == WAIT_OBJECT_0;
    }
    if (!outcome.ended) {
        // Whatever the worker does next cannot be waited for; the test has failed already.
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        worker.Release();
        return outcome;
    }
    // The notification of success is queued behind the worker's end.
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    ::DestroyWindow(window);
    outcome.driveReleased = g_burnParams.m_burnGrabber == nullptr;
    g_burnParams.Reset();
    g_burnParams.m_hBurnEvent = nullptr;
    return outcome;
}

}  // namespace reliability
