// Drives behind the SPTI system calls: each \\.\CdRomN (and \\.\X: for its letter) is a virtual
// recorder, reached through the packed SCSI_PASS_THROUGH_DIRECT requests a port driver would
// unpack, so the whole library runs over the Windows marshalling. It checks what a port driver
// checks (lengths, offsets, direction, buffer alignment, transfer size, the handle's access),
// answers the adapter, address, exclusive-access and volume controls, and counts what it saw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/transport/SptiTransport.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

// How a drive or its volume answers a lock request.
enum class LockSupport { Supported, InvalidFunction, NotSupported };

// One pass-through request as the port driver received it.
struct PassThroughSeen {
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    uint8_t dataIn = 0;
    uint32_t dataTransferLength = 0;
    const void* dataBuffer = nullptr;
    uint32_t timeOutValue = 0;
    uint8_t senseInfoLength = 0;
    uint32_t senseInfoOffset = 0;
    uint32_t inSize = 0;
    uint32_t outSize = 0;
};

class SptiTestSystem : public std::enable_shared_from_this<SptiTestSystem> {
public:
    // Drive i is recorders[i]; letters[i] its drive letter (0 or missing: none).
    static std::shared_ptr<SptiTestSystem> Create(
        std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters = {});

    // The system calls that reach these drives; they keep the system alive.
    SptiSystemCalls Calls();

    // The adapter every drive reports through IOCTL_STORAGE_QUERY_PROPERTY (default 64 KiB, no
    // alignment; physical pages enough for the transfer length).
    void SetAdapter(uint32_t maximumTransferLength, uint32_t alignmentMask);
    void SetExclusiveAccess(LockSupport support);
    void SetVolumeLock(LockSupport support);

    std::vector<PassThroughSeen> PassThroughs() const;
    void ClearPassThroughs();
    uint32_t ControlCount(DWORD code) const;        // every control code sent, by code
    uint32_t ExclusiveRequests(ULONG type) const;   // IOCTL_CDROM_EXCLUSIVE_ACCESS, by type
    uint32_t Dismounts(size_t drive) const;
    size_t OpenHandles() const;
    uint32_t BadCloses() const;                     // CloseHandle on a handle not open
    uint32_t LocksEndedByClose() const;             // locks the system dropped with a handle
    bool DeviceLocked(size_t drive) const;
    bool VolumeLocked(size_t drive) const;
    bool VolumeMounted(size_t drive) const;
    std::string LockCaller(size_t drive) const;

private:
    struct Drive {
        std::shared_ptr<VirtualRecorder> recorder;
        char letter = 0;
        bool mounted = false;  // a file system on the disc (drives with a letter)
        const void* deviceHolder = nullptr;
        const void* volumeHolder = nullptr;
        std::string caller;
        uint32_t dismounts = 0;
    };
    struct OpenHandle {
        size_t drive = 0;
        bool volumePath = false;  // opened as \\.\X:
        DWORD access = 0;
        DWORD share = 0;
    };

    SptiTestSystem(std::vector<std::shared_ptr<VirtualRecorder>> recorders,
                   std::vector<char> letters);

    HANDLE CreateFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition);
    BOOL CloseHandle(HANDLE handle);
    DWORD QueryDosDevice(LPCSTR name, LPSTR target, DWORD maxChars);
    BOOL Control(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned, OVERLAPPED* overlapped);

    // Each returns 0 or the system error the call fails with; called with m_mutex held except
    // PassThrough, which drops it while the recorder works.
    DWORD PassThrough(std::unique_lock<std::mutex>& lock, const OpenHandle& handle, void* in,
                      DWORD inSize, void* out, DWORD outSize, DWORD* returned);
    DWORD QueryProperty(const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);
    DWORD GetAddress(const OpenHandle& handle, void* out, DWORD outSize, DWORD* returned);
    DWORD Exclusive(const OpenHandle& handle, const void* in, DWORD inSize, void* out,
                    DWORD outSize, DWORD* returned);
    DWORD Volume(const OpenHandle& handle, DWORD code);
    void DropLocks(const OpenHandle& handle);
    bool OtherVolumeHandleOpen(const OpenHandle& handle) const;

    mutable std::mutex m_mutex;
    std::vector<Drive> m_drives;
    std::map<uintptr_t, std::unique_ptr<OpenHandle>> m_handles;
    uintptr_t m_nextHandle = 0x7100;
    uint32_t m_maxTransfer = 65536;
    uint32_t m_alignmentMask = 0;
    LockSupport m_exclusiveSupport = LockSupport::Supported;
    LockSupport m_volumeSupport = LockSupport::Supported;
    std::vector<PassThroughSeen> m_passThroughs;
    std::map<DWORD, uint32_t> m_controls;
    std::map<ULONG, uint32_t> m_exclusiveRequests;
    uint32_t m_badCloses = 0;
    uint32_t m_locksEndedByClose = 0;
};

// The library's drives CdRom0, CdRom1, ... over SPTI marshalling to these recorders, listed and
// opened through the SPTI provider (drive i at port 1, bus 0, target i, LUN 0, like the
// virtual provider's). Install with SetDeviceProvider as MakeVirtualDeviceProvider's.
std::shared_ptr<DeviceProvider> MakeSeamedSptiDeviceProvider(
    std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters = {});
// The same over a system a test keeps, to set its adapter and locks and to look at its counts.
std::shared_ptr<DeviceProvider> MakeSeamedSptiDeviceProvider(
    std::shared_ptr<SptiTestSystem> system);

}  // namespace burnlib
