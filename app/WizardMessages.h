// The wizard's own window and thread messages, numbered from WM_USER as the threads that send
// them expect.
#pragma once

#include <windows.h>

// Device scan to the device page: the scan has ended (wParam = the device array, not waited for).
constexpr UINT WM_DEVICES_SCANNED = WM_USER + 5;

// Wait dialog: the user clicked its Cancel (sent to the owner without waiting), and the thread
// messages that set its action text and close it.
constexpr UINT WM_WAIT_CANCELLED = WM_USER + 12;
constexpr UINT WM_WAIT_SETTEXT = WM_USER + 13;
constexpr UINT WM_WAIT_CLOSE = WM_USER + 14;

// Burn worker to the burning page: success (not waited for), one log row (wParam = row kind) and
// the write about to start (both waited for).
constexpr UINT WM_BURN_FINISHED = WM_USER + 6;
constexpr UINT WM_BURN_LOG = WM_USER + 7;
constexpr UINT WM_BURN_WRITING = WM_USER + 9;
