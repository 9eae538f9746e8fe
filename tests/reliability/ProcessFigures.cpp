#include "tests/reliability/ProcessFigures.h"

#include <psapi.h>
#include <tlhelp32.h>

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

}  // namespace reliability
