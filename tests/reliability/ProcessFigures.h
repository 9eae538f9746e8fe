// What the process holds of the system: handles, threads and private memory, read as Task
// Manager reads them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace reliability {

// The system's own counters, and the same read by walking: Wine answers GetProcessHandleCount
// and the private bytes of GetProcessMemoryInfo with 0, so a check on those alone could not fail.
struct ProcessFigures {
    DWORD handles = 0;             // GetProcessHandleCount
    DWORD openHandles = 0;         // handle values the system still recognises
    DWORD threads = 0;
    uint64_t privateBytes = 0;     // GetProcessMemoryInfo
    uint64_t committedPrivate = 0; // committed private pages of the address space

    static ProcessFigures Take();
};

}  // namespace reliability
