#include "FakeSystemCalls.h"

#include <cstring>

namespace drivetest {

std::map<std::string, std::string> FakeSystem::dosTargets;
std::map<std::string, std::string> FakeSystem::labels;
std::vector<std::string> FakeSystem::dosQueries;
std::vector<std::string> FakeSystem::labelQueries;
std::atomic<bool> FakeSystem::refuseThreads{false};
std::vector<HANDLE> FakeSystem::threads;
std::mutex FakeSystem::lock;

namespace {
DWORD WINAPI FakeQueryDosDevice(LPCSTR name, LPSTR target, DWORD maxChars) {
    std::lock_guard<std::mutex> guard(FakeSystem::lock);
    FakeSystem::dosQueries.push_back(name);
    auto it = FakeSystem::dosTargets.find(name);
    if (it == FakeSystem::dosTargets.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const std::string answer = it->second + std::string(2, '\0');
    if (answer.size() > maxChars) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(target, answer.data(), answer.size());
    return static_cast<DWORD>(answer.size());
}

BOOL WINAPI FakeGetVolumeInformation(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD,
                                     LPDWORD, LPDWORD, LPSTR, DWORD) {
    std::lock_guard<std::mutex> guard(FakeSystem::lock);
    FakeSystem::labelQueries.push_back(root == nullptr ? "(null)" : root);
    auto it = FakeSystem::labels.find(root == nullptr ? "" : root);
    if (it == FakeSystem::labels.end() || it->second.size() >= labelSize) {
        if (label != nullptr && labelSize > 0) std::strcpy(label, "garbage");
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    std::strcpy(label, it->second.c_str());
    return TRUE;
}

HANDLE WINAPI FakeCreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                               LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                               LPDWORD threadId) {
    if (FakeSystem::refuseThreads.load()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE thread = CreateThread(attributes, stackSize, start, parameter, flags, threadId);
    std::lock_guard<std::mutex> guard(FakeSystem::lock);
    FakeSystem::threads.push_back(thread);
    return thread;
}
}  // namespace

void FakeSystem::Reset() {
    std::lock_guard<std::mutex> guard(lock);
    dosTargets.clear();
    labels.clear();
    dosQueries.clear();
    labelQueries.clear();
    refuseThreads = false;
    threads.clear();
}

DriveSystemCalls FakeSystem::Calls() {
    DriveSystemCalls calls = DriveSystemCalls::Real();
    calls.queryDosDevice = FakeQueryDosDevice;
    calls.getVolumeInformation = FakeGetVolumeInformation;
    calls.createThread = FakeCreateThread;
    return calls;
}

}  // namespace drivetest
