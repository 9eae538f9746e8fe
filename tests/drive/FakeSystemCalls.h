// Staged drive letters and volume labels for the probe, in place of the operating system's.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "drive/DeviceScanner.h"

namespace drivetest {

struct FakeSystem {
    // "G:" -> its target strings, NUL-separated as QueryDosDeviceA returns them.
    static std::map<std::string, std::string> dosTargets;
    // Root path ("G:\") -> label; a root not listed fails the query.
    static std::map<std::string, std::string> labels;
    static std::vector<std::string> dosQueries;
    static std::vector<std::string> labelQueries;
    static std::atomic<bool> refuseThreads;
    static std::vector<HANDLE> threads;  // every worker handle handed out, in order
    static std::mutex lock;

    static void Reset();
    static DriveSystemCalls Calls();
};

}  // namespace drivetest
