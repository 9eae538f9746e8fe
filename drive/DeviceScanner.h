// Finds the optical drives on a worker thread, describes each one and hands the list back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "drive/DeviceRecord.h"

// The operating-system calls of discovery, replaceable so tests can stage drive letters, labels
// and a refused thread. Real() gives the system's own functions.
struct DriveSystemCalls {
    DWORD(WINAPI* queryDosDevice)(LPCSTR deviceName, LPSTR targetPath, DWORD maxChars);
    BOOL(WINAPI* getVolumeInformation)(LPCSTR rootPath, LPSTR label, DWORD labelSize,
                                       LPDWORD serial, LPDWORD maxComponent, LPDWORD flags,
                                       LPSTR fileSystem, DWORD fileSystemSize);
    HANDLE(WINAPI* createThread)(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadId);

    static DriveSystemCalls Real();
};

enum : int32_t { kTransportAspi = 0, kTransportSpti = 1 };

class CDeviceScanner {
public:
    // Called once at the end of every scan: on the worker thread, or within StartScan when no
    // worker could be started (then with an empty array).
    typedef void (*CompletionFn)(void* context, CDeviceArray* devices);

    CDeviceScanner();
    ~CDeviceScanner();
    CDeviceScanner(const CDeviceScanner&) = delete;
    CDeviceScanner& operator=(const CDeviceScanner&) = delete;

    void StartScan(CompletionFn onComplete, void* context, int32_t transport, bool writersOnly);
    bool ProbeDevice(int index);

    // Test seam for the operating-system calls.
    void SetSystemCalls(const DriveSystemCalls& calls) { m_system = calls; }
    CDeviceArray& GetDeviceArray() { return m_deviceArray; }

private:
    static DWORD WINAPI ScanThread(LPVOID parameter);
    static void DeviceFound(uint32_t reason, void* context, void* data1, void* data2);
    void Scan();
    void JoinWorker();

    CompletionFn m_onComplete = nullptr;
    void* m_context = nullptr;
    int32_t m_transport = kTransportSpti;
    HANDLE m_thread = INVALID_HANDLE_VALUE;
    CDeviceArray m_deviceArray;
    bool m_writersOnly = false;
    DWORD m_threadId = 0;
    DriveSystemCalls m_system;
};
