// The burn session: the fixed sequence of library calls of one burn, run on a worker thread, and
// the progress it reports. The worker talks to the burning page only by messages and never
// touches a control.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "drive/DeviceRecord.h"
#include "drive/StarBurn.h"
#include "framework/Handles.h"

// Kinds of a burning-log row (wParam of WM_BURN_LOG).
enum : WPARAM {
    LOG_TIMED = 1,    // stamped with the local time
    LOG_UNTIMED = 2,  // no time stamp
    LOG_FATAL = 3,    // the final row of a failed burn, no time stamp
};

// What one burn needs, filled by the burning page before it starts the worker.
struct BurnParams {
    int32_t m_burningSpeed = 0;  // KB/s
    DEVICE_RECORD m_device;
    bool m_sendOpc = false;
    bool m_testMode = false;
    HWND m_hPageWnd = nullptr;  // receives every message of the worker
    char m_imagePath[260] = {};
    int32_t m_burningMode = 0;  // 0 TAO, 1 SAO, 2 DAO PQ, 3 DAO raw P-W
    HANDLE m_hBurnEvent = nullptr;
    // Written and cleared only under g_grabberLock once the worker has created it.
    STARBURN_GRABBER m_burnGrabber = nullptr;
    int32_t m_cancelled = 0;  // the user confirmed a cancel

    // Every field back to its empty value, except the event, which outlives the burns.
    void Reset();
};

extern BurnParams g_burnParams;
// Percentage of the write, 0..100; every access holds g_progressLock.
extern int32_t g_burnPercent;
extern CCriticalSection g_progressLock;
// The text of the next log row: written by the worker, read by the page while the worker waits.
extern std::string g_logText;
// Orders the release of m_burnGrabber against a cancel from the page.
extern CCriticalSection g_grabberLock;

// The worker: param is the address of g_burnParams. Returns 1 after a success, 0 otherwise.
UINT BurnThreadProc(void* param);
// The library's notification callback: turns write progress into g_burnPercent.
void BurnProgressCallback(uint32_t reason, void* context, void* special1, void* special2);

// The running library call on the burn's drive object fails; false when there is none.
bool CancelBurnDrive(BurnParams& params);
// Releases the burn's drive object, if any, and clears the reference.
void ReleaseBurnDrive(BurnParams& params);
