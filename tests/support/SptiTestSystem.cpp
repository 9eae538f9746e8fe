#include "tests/support/SptiTestSystem.h"

#include <cstring>

#include "burnlib/api/SptiDeviceProvider.h"

namespace burnlib {

namespace {

// The access a control code demands of the handle (bits 14-15: 1 read, 2 write).
bool HandleMayUse(DWORD handleAccess, DWORD code) {
    const DWORD required = (code >> 14) & 3;
    if ((required & FILE_READ_ACCESS) && !(handleAccess & GENERIC_READ)) return false;
    if ((required & FILE_WRITE_ACCESS) && !(handleAccess & GENERIC_WRITE)) return false;
    return true;
}

DWORD ErrorOf(LockSupport support) {
    return support == LockSupport::InvalidFunction ? ERROR_INVALID_FUNCTION : ERROR_NOT_SUPPORTED;
}

}  // namespace

std::shared_ptr<SptiTestSystem> SptiTestSystem::Create(
    std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters) {
    return std::shared_ptr<SptiTestSystem>(
        new SptiTestSystem(std::move(recorders), std::move(letters)));
}

SptiTestSystem::SptiTestSystem(std::vector<std::shared_ptr<VirtualRecorder>> recorders,
                               std::vector<char> letters) {
    for (size_t i = 0; i < recorders.size(); ++i) {
        Drive drive;
        drive.recorder = std::move(recorders[i]);
        const char letter = i < letters.size() ? letters[i] : 0;
        drive.letter = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 32) : letter;
        drive.mounted = drive.letter != 0;
        m_drives.push_back(std::move(drive));
    }
}

SptiSystemCalls SptiTestSystem::Calls() {
    std::shared_ptr<SptiTestSystem> self = shared_from_this();
    SptiSystemCalls calls;
    calls.createFile = [self](LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                              DWORD disposition, DWORD, HANDLE) {
        return self->CreateFile(path, access, share, disposition);
    };
    calls.deviceIoControl = [self](HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                   DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
        return self->Control(handle, code, in, inSize, out, outSize, returned, overlapped);
    };
    calls.closeHandle = [self](HANDLE handle) { return self->CloseHandle(handle); };
    calls.queryDosDevice = [self](LPCSTR name, LPSTR target, DWORD maxChars) {
        return self->QueryDosDevice(name, target, maxChars);
    };
    return calls;
}

// \\.\CdRomN and \\.\X: as the system names them; sharing as CreateFile enforces it between
// the handles open on one drive.
HANDLE SptiTestSystem::CreateFile(LPCSTR path, DWORD access, DWORD share, DWORD disposition) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const std::string name = path != nullptr ? path : "";
    size_t drive = m_drives.size();
    bool volumePath = false;
    if (name.rfind("\\\\.\\CdRom", 0) == 0 && name.size() > 9) {
        const std::string number = name.substr(9);
        if (number.find_first_not_of("0123456789") == std::string::npos && number.size() < 4)
            drive = std::stoul(number);
    } else if (name.size() == 6 && name.rfind("\\\\.\\", 0) == 0 && name[5] == ':') {
        for (size_t i = 0; i < m_drives.size(); ++i)
            if (m_drives[i].letter != 0 && m_drives[i].letter == (name[4] & ~0x20)) drive = i;
        volumePath = true;
    }
    if (drive >= m_drives.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    for (const auto& [value, open] : m_handles) {
        if (open->drive != drive) continue;
        const bool refused = ((access & GENERIC_READ) && !(open->share & FILE_SHARE_READ)) ||
                             ((access & GENERIC_WRITE) && !(open->share & FILE_SHARE_WRITE)) ||
                             ((open->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                             ((open->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
        if (refused) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    auto open = std::make_unique<OpenHandle>();
    open->drive = drive;
    open->volumePath = volumePath;
    open->access = access;
    open->share = share;
    const uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    m_handles[value] = std::move(open);
    return reinterpret_cast<HANDLE>(value);
}

BOOL SptiTestSystem::CloseHandle(HANDLE handle) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_handles.end()) {
        ++m_badCloses;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DropLocks(*it->second);
    m_handles.erase(it);
    return TRUE;
}

// A handle going away takes its locks with it, as the system's cleanup does.
void SptiTestSystem::DropLocks(const OpenHandle& handle) {
    Drive& drive = m_drives[handle.drive];
    if (drive.deviceHolder == &handle) {
        drive.recorder->ReleaseExclusive(&handle);
        drive.deviceHolder = nullptr;
        ++m_locksEndedByClose;
    }
    if (drive.volumeHolder == &handle) {
        drive.volumeHolder = nullptr;
        drive.mounted = true;
        ++m_locksEndedByClose;
    }
}

DWORD SptiTestSystem::QueryDosDevice(LPCSTR name, LPSTR target, DWORD maxChars) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const std::string dosName = name != nullptr ? name : "";
    for (size_t i = 0; i < m_drives.size(); ++i) {
        if (m_drives[i].letter == 0 || dosName.size() != 2 || dosName[1] != ':' ||
            (dosName[0] & ~0x20) != m_drives[i].letter)
            continue;
        // One target string, then the empty string that ends the list.
        const std::string answer = "\\Device\\CdRom" + std::to_string(i) + std::string(2, '\0');
        if (answer.size() > maxChars) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(target, answer.data(), answer.size());
        return static_cast<DWORD>(answer.size());
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

BOOL SptiTestSystem::Control(HANDLE value, DWORD code, void* in, DWORD inSize, void* out,
                             DWORD outSize, DWORD* returned, OVERLAPPED* overlapped) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_controls[code];
    DWORD error = 0;
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(value));
    if (it == m_handles.end()) {
        error = ERROR_INVALID_HANDLE;
    } else if (returned == nullptr || overlapped != nullptr) {
        error = ERROR_INVALID_PARAMETER;  // a synchronous handle needs the count
    } else if (!HandleMayUse(it->second->access, code)) {
        error = ERROR_ACCESS_DENIED;
    } else {
        const OpenHandle& handle = *it->second;
        *returned = 0;
        switch (code) {
        case IOCTL_SCSI_PASS_THROUGH_DIRECT:
            error = PassThrough(lock, handle, in, inSize, out, outSize, returned);
            break;
        case IOCTL_STORAGE_QUERY_PROPERTY:
            error = QueryProperty(in, inSize, out, outSize, returned);
            break;
        case IOCTL_SCSI_GET_ADDRESS: error = GetAddress(handle, out, outSize, returned); break;
        case kIoctlCdromExclusiveAccess:
            error = Exclusive(handle, in, inSize, out, outSize, returned);
            break;
        case FSCTL_LOCK_VOLUME:
        case FSCTL_UNLOCK_VOLUME:
        case FSCTL_DISMOUNT_VOLUME: error = Volume(handle, code); break;
        default: error = ERROR_INVALID_FUNCTION; break;
        }
    }
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

// What cdrom.sys does with IOCTL_CDROM_EXCLUSIVE_ACCESS: one handle holds the drive; the lock
// is refused while a file system is mounted unless the caller says to ignore it.
DWORD SptiTestSystem::Exclusive(const OpenHandle& handle, const void* in, DWORD inSize,
                                void* out, DWORD outSize, DWORD* returned) {
    if (m_exclusiveSupport != LockSupport::Supported) return ErrorOf(m_exclusiveSupport);
    if (in == nullptr || inSize < sizeof(CdromExclusiveAccess)) return ERROR_INVALID_PARAMETER;
    CdromExclusiveAccess request;
    std::memcpy(&request, in, sizeof request);
    ++m_exclusiveRequests[request.requestType];
    Drive& drive = m_drives[handle.drive];
    switch (request.requestType) {
    case kExclusiveAccessQueryState: {
        if (out == nullptr || outSize < sizeof(CdromExclusiveLockState))
            return ERROR_INVALID_PARAMETER;
        CdromExclusiveLockState state = {};
        state.lockState = drive.deviceHolder != nullptr;
        std::memcpy(state.callerName, drive.caller.c_str(), drive.caller.size());
        std::memcpy(out, &state, sizeof state);
        *returned = sizeof state;
        return 0;
    }
    case kExclusiveAccessLockDevice: {
        if (inSize < sizeof(CdromExclusiveLock)) return ERROR_INVALID_PARAMETER;
        CdromExclusiveLock lock;
        std::memcpy(&lock, in, sizeof lock);
        const void* end = std::memchr(lock.callerName, 0, sizeof lock.callerName);
        if (end == nullptr || lock.callerName[0] == 0) return ERROR_INVALID_PARAMETER;
        if (drive.deviceHolder != nullptr) return ERROR_ACCESS_DENIED;
        // The code for a mounted volume is not published; the transport treats every code but
        // access denied and not supported alike.
        if (drive.mounted && !(request.flags & kCdromLockIgnoreVolume)) return ERROR_BAD_COMMAND;
        if (!drive.recorder->ClaimExclusive(&handle)) return ERROR_ACCESS_DENIED;
        drive.deviceHolder = &handle;
        drive.caller = reinterpret_cast<const char*>(lock.callerName);
        return 0;
    }
    case kExclusiveAccessUnlockDevice:
        if (drive.deviceHolder != &handle) return ERROR_INVALID_PARAMETER;
        drive.recorder->ReleaseExclusive(&handle);
        drive.deviceHolder = nullptr;
        drive.caller.clear();
        return 0;
    default: return ERROR_INVALID_PARAMETER;
    }
}

bool SptiTestSystem::OtherVolumeHandleOpen(const OpenHandle& handle) const {
    for (const auto& [value, open] : m_handles)
        if (open.get() != &handle && open->drive == handle.drive && open->volumePath) return true;
    return false;
}

// The file system's volume controls, on a volume handle only: the lock is refused while another
// handle holds it or has the volume open.
DWORD SptiTestSystem::Volume(const OpenHandle& handle, DWORD code) {
    if (m_volumeSupport != LockSupport::Supported) return ErrorOf(m_volumeSupport);
    if (!handle.volumePath) return ERROR_INVALID_PARAMETER;
    Drive& drive = m_drives[handle.drive];
    switch (code) {
    case FSCTL_LOCK_VOLUME:
        if (drive.volumeHolder == &handle) return 0;
        if (drive.volumeHolder != nullptr || OtherVolumeHandleOpen(handle))
            return ERROR_ACCESS_DENIED;
        drive.volumeHolder = &handle;
        return 0;
    case FSCTL_UNLOCK_VOLUME:
        if (drive.volumeHolder != &handle) return ERROR_NOT_LOCKED;
        drive.volumeHolder = nullptr;
        drive.mounted = true;  // the file system mounts again on its next look at the disc
        return 0;
    default:  // FSCTL_DISMOUNT_VOLUME
        drive.mounted = false;
        ++drive.dismounts;
        return 0;
    }
}

void SptiTestSystem::SetAdapter(uint32_t maximumTransferLength, uint32_t alignmentMask) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_maxTransfer = maximumTransferLength;
    m_alignmentMask = alignmentMask;
}

void SptiTestSystem::SetExclusiveAccess(LockSupport support) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_exclusiveSupport = support;
}

void SptiTestSystem::SetVolumeLock(LockSupport support) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_volumeSupport = support;
}

std::vector<PassThroughSeen> SptiTestSystem::PassThroughs() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_passThroughs;
}

void SptiTestSystem::ClearPassThroughs() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_passThroughs.clear();
}

uint32_t SptiTestSystem::ControlCount(DWORD code) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_controls.find(code);
    return it == m_controls.end() ? 0 : it->second;
}

uint32_t SptiTestSystem::ExclusiveRequests(ULONG type) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_exclusiveRequests.find(type);
    return it == m_exclusiveRequests.end() ? 0 : it->second;
}

uint32_t SptiTestSystem::Dismounts(size_t drive) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_drives.at(drive).dismounts;
}

size_t SptiTestSystem::OpenHandles() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_handles.size();
}

uint32_t SptiTestSystem::BadCloses() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_badCloses;
}

uint32_t SptiTestSystem::LocksEndedByClose() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_locksEndedByClose;
}

bool SptiTestSystem::DeviceLocked(size_t drive) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_drives.at(drive).deviceHolder != nullptr;
}

bool SptiTestSystem::VolumeLocked(size_t drive) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_drives.at(drive).volumeHolder != nullptr;
}

bool SptiTestSystem::VolumeMounted(size_t drive) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_drives.at(drive).mounted;
}

std::string SptiTestSystem::LockCaller(size_t drive) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_drives.at(drive).caller;
}

std::shared_ptr<DeviceProvider> MakeSeamedSptiDeviceProvider(
    std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters) {
    return MakeSeamedSptiDeviceProvider(
        SptiTestSystem::Create(std::move(recorders), std::move(letters)));
}

std::shared_ptr<DeviceProvider> MakeSeamedSptiDeviceProvider(
    std::shared_ptr<SptiTestSystem> system) {
    return MakeSptiDeviceProvider(system->Calls());
}

}  // namespace burnlib
