// Keeping other programs off a drive while it writes: the drive's exclusive lock, else its
// volume locked and dismounted.
#include <cstring>

#include "burnlib/transport/SptiTransport.h"

namespace burnlib {

namespace {

constexpr char kCallerName[] = "Quillfire";

// The answers of a system or drive that has no such lock (Wine gives these).
bool Unsupported(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
}

}  // namespace

DWORD SptiTransport::LockDevice() {
    CdromExclusiveLock lock = {};
    lock.access.requestType = kExclusiveAccessLockDevice;
    lock.access.flags = 0;  // refused while a file system is mounted: it would still read
    static_assert(sizeof kCallerName <= sizeof lock.callerName);
    std::memcpy(lock.callerName, kCallerName, sizeof kCallerName);
    DWORD returned = 0;
    if (!m_system.deviceIoControl(m_handle, kIoctlCdromExclusiveAccess, &lock, sizeof lock,
                                  nullptr, 0, &returned, nullptr)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    m_deviceLocked = true;
    return 0;
}

// The volume lock lives with the handle it was taken on, so that handle stays open until
// UnlockVolume. A transport opened on the volume itself ("F:") locks its own handle: a second
// handle on the volume would keep the lock from being granted. A volume that cannot be locked is
// left mounted: dismounting it under another program's open files would lose their changes.
DWORD SptiTransport::LockVolume() {
    const char letter = SptiDriveLetter(m_name, m_system);
    if (letter == 0) return ERROR_NOT_SUPPORTED;
    const bool ownHandle = m_name.size() == 2 && m_name[1] == ':';
    HANDLE volume = m_handle;
    if (!ownHandle) {
        const char path[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
        volume = m_system.createFile(path, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
        // Whatever keeps the volume from opening (no disc mounted, no right to open volumes),
        // it says nothing of another program holding the drive.
        if (volume == INVALID_HANDLE_VALUE) return ERROR_NOT_SUPPORTED;
    }
    DWORD returned = 0;
    if (!m_system.deviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                                  nullptr)) {
        const DWORD error = GetLastError();
        if (!ownHandle) m_system.closeHandle(volume);
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    // Locked, the volume has no other users; dismounting makes the file system let go of the
    // drive (its cached view of the disc is stale once we write).
    m_system.deviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned,
                             nullptr);
    m_volume = volume;
    return 0;
}

void SptiTransport::UnlockVolume() {
    if (m_volume == INVALID_HANDLE_VALUE) return;
    DWORD returned = 0;
    m_system.deviceIoControl(m_volume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                             nullptr);
    if (m_volume != m_handle) m_system.closeHandle(m_volume);
    m_volume = INVALID_HANDLE_VALUE;
}

bool SptiTransport::AcquireExclusiveAccess(uint32_t* systemError, bool* taken) {
    *systemError = 0;
    *taken = m_deviceLocked || m_volume != INVALID_HANDLE_VALUE;
    if (*taken) return true;

    const DWORD deviceError = LockDevice();
    if (deviceError == 0) {
        *taken = true;
        return true;
    }
    if (deviceError == ERROR_ACCESS_DENIED) {
        *systemError = deviceError;
        return false;
    }
    // No exclusive lock here, or a mounted file system in its way: the volume's own lock.
    const DWORD volumeError = LockVolume();
    if (volumeError == ERROR_ACCESS_DENIED) {
        *systemError = volumeError;
        return false;
    }
    if (volumeError == 0 && !Unsupported(deviceError)) {
        // The file system is off the drive now, so the drive's lock can be had too.
        const DWORD again = LockDevice();
        if (again == ERROR_ACCESS_DENIED) {
            UnlockVolume();
            *systemError = again;
            return false;
        }
    }
    // Neither lock to be had: the write goes on without one rather than not at all.
    *taken = m_deviceLocked || m_volume != INVALID_HANDLE_VALUE;
    return true;
}

void SptiTransport::ReleaseExclusiveAccess() {
    if (m_deviceLocked) {
        CdromExclusiveAccess unlock = {};
        unlock.requestType = kExclusiveAccessUnlockDevice;
        DWORD returned = 0;
        m_system.deviceIoControl(m_handle, kIoctlCdromExclusiveAccess, &unlock, sizeof unlock,
                                 nullptr, 0, &returned, nullptr);
        m_deviceLocked = false;
    }
    UnlockVolume();
}

}  // namespace burnlib
