// The Windows SCSI pass-through: commands to \\.\CdRomN through IOCTL_SCSI_PASS_THROUGH_DIRECT.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "burnlib/transport/ScsiTransport.h"

namespace burnlib {

// Every call the pass-through makes to the system about a drive, replaceable so tests can put a
// drive of their own behind the Windows marshalling. Real() gives the system's own functions;
// GetLastError is read after a failed call, so a replacement sets it as the system would.
struct SptiSystemCalls {
    std::function<HANDLE(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile)>
        createFile;
    std::function<BOOL(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                       DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped)>
        deviceIoControl;
    std::function<BOOL(HANDLE handle)> closeHandle;
    std::function<DWORD(LPCSTR deviceName, LPSTR targetPath, DWORD maxChars)> queryDosDevice;

    static SptiSystemCalls Real();
};

// IOCTL_CDROM_EXCLUSIVE_ACCESS: CTL_CODE(FILE_DEVICE_CD_ROM, 17h, METHOD_BUFFERED,
// FILE_READ_ACCESS | FILE_WRITE_ACCESS). Not in the headers we build with, so its records are
// laid out here from the published interface.
constexpr DWORD kIoctlCdromExclusiveAccess =
    CTL_CODE(FILE_DEVICE_CD_ROM, 0x17, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
static_assert(kIoctlCdromExclusiveAccess == 0x0002C05C, "exclusive access control code");

enum : ULONG {  // CDROM_EXCLUSIVE_ACCESS_TYPE
    kExclusiveAccessQueryState = 0,
    kExclusiveAccessLockDevice = 1,
    kExclusiveAccessUnlockDevice = 2,
};
enum : ULONG {  // CDROM_EXCLUSIVE_ACCESS flags
    kCdromLockIgnoreVolume = 0x1,
    kCdromNoMediaNotifications = 0x2,
};
constexpr size_t kCdromExclusiveCallerLength = 64;

struct CdromExclusiveAccess {  // query and unlock input
    ULONG requestType;
    ULONG flags;
};
struct CdromExclusiveLock {  // lock input: the request and who asks
    CdromExclusiveAccess access;
    UCHAR callerName[kCdromExclusiveCallerLength];
};
struct CdromExclusiveLockState {  // query output
    BOOLEAN lockState;
    UCHAR callerName[kCdromExclusiveCallerLength];
};
static_assert(sizeof(CdromExclusiveAccess) == 8, "exclusive access request layout");
static_assert(offsetof(CdromExclusiveLock, callerName) == 8, "exclusive lock layout");
static_assert(sizeof(CdromExclusiveLock) == 72, "exclusive lock layout");
static_assert(sizeof(CdromExclusiveLockState) == 65, "exclusive lock state layout");

// The pass-through block and the sense buffer the port driver fills, in one I/O buffer.
struct SptiCommandBlock {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;  // keeps the sense buffer where SenseInfoOffset says, on both ABIs
    UCHAR sense[kSenseBufferSize];
};

#ifdef _WIN64
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56, "pass-through layout (x64)");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36, "x64 layout");
static_assert(offsetof(SptiCommandBlock, sense) == 60, "sense offset (x64)");
static_assert(sizeof(SptiCommandBlock) == 96, "command block size (x64)");
#else
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "pass-through layout (x86)");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20, "x86 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24, "x86 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28, "x86 layout");
static_assert(offsetof(SptiCommandBlock, sense) == 48, "sense offset (x86)");
static_assert(sizeof(SptiCommandBlock) == 80, "command block size (x86)");
#endif
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8, "pass-through layout");

// Fills the command block for a request whose data lives at `buffer`.
void PrepareCommandBlock(const ScsiRequest& request, void* buffer, SptiCommandBlock* block);
// What the drive answered, from the finished command block and the IOCTL's own result.
ScsiResult ResultFromCommandBlock(const SptiCommandBlock& block, bool ioctlSucceeded,
                                  DWORD systemError, uint32_t requestedLength);

// The drive letter whose DOS device is \Device\<name> ('F' for "F:" itself); 0 when none.
char SptiDriveLetter(const std::string& name, const SptiSystemCalls& system);

class SptiTransport final : public ScsiTransport {
public:
    // Opens \\.\<name> ("CdRom0", or "F:"); null with *systemError when it cannot be opened.
    static std::unique_ptr<SptiTransport> Open(const std::string& name, DWORD* systemError,
                                               const SptiSystemCalls& system =
                                                   SptiSystemCalls::Real());
    ~SptiTransport() override;
    SptiTransport(const SptiTransport&) = delete;
    SptiTransport& operator=(const SptiTransport&) = delete;

    ScsiResult Execute(const ScsiRequest& request) override;
    uint32_t MaxTransferLength() const override { return m_maxTransfer; }
    uint32_t AlignmentMask() const override { return m_alignmentMask; }
    bool GetAddress(ScsiAddress* address) const override;

    // The drive's own exclusive lock; where a mounted file system stands in its way or the
    // drive has none, the volume locked and dismounted. Both are held until released.
    bool AcquireExclusiveAccess(uint32_t* systemError, bool* taken) override;
    void ReleaseExclusiveAccess() override;

private:
    SptiTransport(HANDLE handle, std::string name, const SptiSystemCalls& system);
    void QueryAdapter();
    DWORD LockDevice();  // 0, or the system's error
    DWORD LockVolume();  // 0, or the system's error (ERROR_NOT_SUPPORTED: no volume to lock)
    void UnlockVolume();

    SptiSystemCalls m_system;
    std::string m_name;
    HANDLE m_handle;
    HANDLE m_volume = INVALID_HANDLE_VALUE;  // locked (m_handle, or a handle of its own)
    bool m_deviceLocked = false;
    uint32_t m_maxTransfer = 64 * 1024;
    uint32_t m_alignmentMask = 0;
    void* m_bounce = nullptr;  // page-aligned, m_maxTransfer bytes, for callers' odd buffers
};

}  // namespace burnlib
