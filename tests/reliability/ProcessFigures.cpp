#include "tests/reliability/ProcessFigures.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <vector>

#include "app/WizardMessages.h"
#include "burn/BurnSession.h"
#include "burnlib/api/DeviceProvider.h"
#include "drive/DeviceScanner.h"
#include "framework/Handles.h"

namespace reliability {

ProcessFigures ProcessFigures::Take() {
    ProcessFigures f;
    ::GetProcessHandleCount(::GetCurrentProcess(), &f.handles);
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == self) ++f.threads;
    // Handle values are small multiples of four handed out lowest first; a gap of a few thousand
    // unused values means the table has ended.
    for (uintptr_t value = 4, unused = 0; unused < 4096; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++f.openHandles;
            unused = 0;
        } else {
            ++unused;
        }
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr;
         ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) f.committedPrivate += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory))
        f.privateBytes = memory.PrivateUsage;
    return f;
}

namespace {

// A small image: 300 blocks and a half, so the last block is padded.
std::string MakeImage() {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "qf-reliability.iso";
    std::vector<char> bytes(300 * 2048 + 1024);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 2048);
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return path;
}

// The page the worker reports to: every message answered as the burning page answers it.
struct BurnWindow {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        BurnWindow* self = reinterpret_cast<BurnWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        switch (msg) {
        case WM_BURN_LOG:
            if (self && wParam == LOG_FATAL) self->fatal = g_logText;
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
    bool succeeded = false;
    std::string fatal;
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

Workload::Workload() : m_provider(std::make_shared<drivetest::TestDeviceProvider>()) {
    m_cdWriter = m_provider->Add("CdRom0", drivetest::CdWriter(drivetest::StandardCdSteps()),
                                 drivetest::BlankCdR());
    m_cdWriter->SetKeepWrittenData(false);
    m_provider->Add("CdRom1", drivetest::DvdWriter({1385, 5540}), drivetest::BlankDvdPlusR());
    burnlib::SetDeviceProvider(m_provider);
    m_image = MakeImage();
}

Workload::~Workload() {
    StarBurn_DownShut();
    burnlib::SetDeviceProvider(nullptr);
    ::DeleteFileA(m_image.c_str());
}

bool Workload::Scan() {
    StarBurn_UpStartEx();
    ScanWait wait;
    {
        CDeviceScanner scanner;
        scanner.StartScan(&ScanWait::OnComplete, &wait, kTransportSpti, true);
        if (::WaitForSingleObject(wait.done.Get(), 60000) != WAIT_OBJECT_0) return false;
    }  // the scanner joins its thread here
    return wait.count == 2;
}

bool Workload::Burn(int32_t method, std::string* why) {
    m_cdWriter->InsertMedium(drivetest::BlankCdR());
    StarBurn_UpStartEx();

    static ATOM windowClass = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &BurnWindow::Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "QfReliabilityBurnPage";
        return ::RegisterClassA(&wc);
    }();
    (void)windowClass;
    BurnWindow page;
    HWND window = ::CreateWindowA("QfReliabilityBurnPage", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&page));
    CHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));

    g_burnParams.Reset();
    g_burnParams.m_hBurnEvent = event.Get();
    g_burnParams.m_hPageWnd = window;
    g_burnParams.m_device.m_accessKind = kAccessByName;
    std::strcpy(g_burnParams.m_device.m_deviceName, "CdRom0");
    std::strcpy(g_burnParams.m_imagePath, m_image.c_str());
    g_burnParams.m_burningMode = method;
    g_burnParams.m_sendOpc = method % 2 == 1;

    CHandle worker(::CreateThread(nullptr, 0, &RunWorker, nullptr, 0, nullptr));
    HANDLE workerHandle = worker.Get();
    bool ended = false;
    const DWORD deadline = ::GetTickCount() + 60000;
    while (!ended && ::GetTickCount() < deadline) {
        const DWORD wait = ::MsgWaitForMultipleObjects(1, &workerHandle, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
        ended = wait == WAIT_OBJECT_0;
    }
    if (!ended) {
        *why = "the burn did not end within a minute";
        ::DestroyWindow(window);
        return false;  // the worker is left running: the figures are void anyway
    }
    // The notification of success is queued behind the worker's end.
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    ::DestroyWindow(window);
    g_burnParams.Reset();
    g_burnParams.m_hBurnEvent = nullptr;
    if (!page.succeeded) *why = page.fatal.empty() ? "the burn did not report success" : page.fatal;
    return page.succeeded;
}

}  // namespace reliability
