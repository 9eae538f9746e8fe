#include "drive/DeviceScanner.h"

#include <cstdio>
#include <cstring>

#include "drive/DeviceProbe.h"
#include "drive/DriveObject.h"
#include "drive/StarBurn.h"

namespace {
constexpr SIZE_T kScanStackSize = 0x200000;
constexpr int kSptiNameCount = 20;
}  // namespace

DriveSystemCalls DriveSystemCalls::Real() {
    return DriveSystemCalls{&QueryDosDeviceA, &GetVolumeInformationA, &CreateThread};
}

CDeviceScanner::CDeviceScanner() : m_system(DriveSystemCalls::Real()) {}

CDeviceScanner::~CDeviceScanner() { JoinWorker(); }

// Waits for the current worker and releases its handle. An earlier worker is joined here too, so
// no handle is left behind when a new scan replaces it. From the worker itself (a completion
// function that starts the next scan) there is nothing to wait for: its scan is over.
void CDeviceScanner::JoinWorker() {
    if (m_thread == INVALID_HANDLE_VALUE) return;
    if (GetCurrentThreadId() != m_threadId) WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = INVALID_HANDLE_VALUE;
    m_threadId = 0;
}

// Joins a worker that may still be finishing before the array changes hands again. When no worker
// can be created the scan still ends, with an empty list, on the calling thread, so a caller
// waiting for the completion is never left waiting.
void CDeviceScanner::StartScan(CompletionFn onComplete, void* context, int32_t transport,
                               bool writersOnly) {
    JoinWorker();
    m_transport = transport;
    m_writersOnly = writersOnly;
    m_deviceArray.RemoveAll();
    m_onComplete = onComplete;
    m_context = context;

    DWORD threadId = 0;
    HANDLE thread = m_system.createThread(nullptr, kScanStackSize, ScanThread, this,
                                          STACK_SIZE_PARAM_IS_A_RESERVATION, &threadId);
    if (thread == nullptr) {
        if (m_onComplete != nullptr) m_onComplete(m_context, &m_deviceArray);
        return;
    }
    m_thread = thread;
    m_threadId = threadId;
}

DWORD WINAPI CDeviceScanner::ScanThread(LPVOID parameter) {
    if (parameter == nullptr) return 0;
    static_cast<CDeviceScanner*>(parameter)->Scan();
    return 0;
}

void CDeviceScanner::DeviceFound(uint32_t reason, void* context, void* data1, void*) {
    if (context == nullptr || reason != STARBURN_CALLBACK_REASON_DEVICE_FOUND) return;
    if (data1 == nullptr) return;
    DEVICE_RECORD record;
    record.m_accessKind = kAccessByAddress;
    std::memcpy(record.m_address, data1, sizeof(record.m_address));
    try {
        static_cast<CDeviceScanner*>(context)->m_deviceArray.Add(record);
    } catch (...) {
        // Out of memory inside the library's callback: this drive is left out.
    }
}

void CDeviceScanner::Scan() {
    try {
        if (m_transport == kTransportAspi) {
            StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, DeviceFound, this);
        } else if (m_transport == kTransportSpti) {
            for (int n = 0; n < kSptiNameCount; ++n) {
                DEVICE_RECORD record;
                record.m_accessKind = kAccessByName;
                std::snprintf(record.m_deviceName, 128, "CdRom%d", n);
                LibraryErrorOutputs errors;
                // Kept only when the library can open it; the probe opens it again later.
                if (!ScopedDriveObject(record, errors)) continue;
                m_deviceArray.Add(record);
            }
        }

        int i = 0;
        while (i < m_deviceArray.GetCount()) {
            if (!ProbeDevice(i)) {
                m_deviceArray.RemoveAt(i);
            } else if (m_writersOnly && m_deviceArray.GetAt(i).MediaFormatByte(6) == 0) {
                m_deviceArray.RemoveAt(i);
            } else {
                ++i;
            }
        }
    } catch (...) {
        // Out of memory mid-scan: a half-probed list is worse than none.
        m_deviceArray.RemoveAll();
    }
    if (m_onComplete != nullptr) m_onComplete(m_context, &m_deviceArray);
}

bool CDeviceScanner::ProbeDevice(int index) {
    if (index < 0 || index >= m_deviceArray.GetCount()) return false;
    return ProbeDeviceRecord(m_deviceArray.GetAt(index), m_system);
}
