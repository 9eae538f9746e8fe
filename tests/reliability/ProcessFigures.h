// What the process holds of the system: handles, threads and private memory, read as Task
// Manager reads them, and the scans and burns whose repetition must leave them flat.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "tests/drive/VirtualDrives.h"

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

// Two writers on virtual recorders (a CD writer and a DVD writer) under the library for the
// life of the object; the CD writer gets a blank CD-R before every burn.
class Workload {
public:
    Workload();
    ~Workload();
    Workload(const Workload&) = delete;
    Workload& operator=(const Workload&) = delete;

    // One scan of every drive, waited for; false when it does not end or finds the wrong drives.
    bool Scan();
    // One whole burn of the burn worker (its thirteen steps, with the page's messages answered),
    // in write method `method` (0..3); false when it does not end in success.
    bool Burn(int32_t method, std::string* why);

private:
    std::shared_ptr<drivetest::TestDeviceProvider> m_provider;
    std::shared_ptr<burnlib::VirtualRecorder> m_cdWriter;
    std::string m_image;
};

}  // namespace reliability
