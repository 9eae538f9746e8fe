#include "burnlib/transport/SptiTransport.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace burnlib {

void PrepareCommandBlock(const ScsiRequest& request, void* buffer, SptiCommandBlock* block) {
    std::memset(block, 0, sizeof *block);
    SCSI_PASS_THROUGH_DIRECT& s = block->sptd;
    s.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    s.CdbLength = request.cdbLength;
    s.SenseInfoLength = sizeof block->sense;
    s.SenseInfoOffset = offsetof(SptiCommandBlock, sense);
    switch (request.direction) {
        case DataDirection::In: s.DataIn = SCSI_IOCTL_DATA_IN; break;
        case DataDirection::Out: s.DataIn = SCSI_IOCTL_DATA_OUT; break;
        case DataDirection::None: s.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED; break;
    }
    s.DataTransferLength = request.direction == DataDirection::None ? 0 : request.dataLength;
    s.DataBuffer = s.DataTransferLength == 0 ? nullptr : buffer;
    s.TimeOutValue = request.timeoutSeconds;
    std::memcpy(s.Cdb, request.cdb, std::min<size_t>(request.cdbLength, sizeof s.Cdb));
}

ScsiResult ResultFromCommandBlock(const SptiCommandBlock& block, bool ioctlSucceeded,
                                  DWORD systemError, uint32_t requestedLength) {
    if (!ioctlSucceeded) return ScsiResult::SystemFailure(systemError != 0 ? systemError : 1);
    ScsiResult r = ScsiResult::Ok(std::min<uint32_t>(block.sptd.DataTransferLength,
                                                     requestedLength));
    r.status = block.sptd.ScsiStatus;
    if (r.status == kScsiStatusCheckCondition) {
        // The port driver reports how much sense it stored only through the sense bytes
        // themselves: fixed format says its additional length at byte 7, descriptor format too.
        const uint8_t code = block.sense[0] & 0x7F;
        uint32_t length = 0;
        if (code == 0x70 || code == 0x71 || code == 0x72 || code == 0x73)
            length = std::min<uint32_t>(8u + block.sense[7], kSenseBufferSize);
        std::memcpy(r.sense, block.sense, length);
        r.senseLength = static_cast<uint8_t>(length);
    }
    return r;
}

SptiSystemCalls SptiSystemCalls::Real() {
    SptiSystemCalls calls;
    calls.createFile = &CreateFileA;
    calls.deviceIoControl = &DeviceIoControl;
    calls.closeHandle = &CloseHandle;
    calls.queryDosDevice = &QueryDosDeviceA;
    return calls;
}

char SptiDriveLetter(const std::string& name, const SptiSystemCalls& system) {
    if (name.size() == 2 && name[1] == ':') {
        const char letter = static_cast<char>(name[0] & ~0x20);
        return letter >= 'A' && letter <= 'Z' ? letter : 0;
    }
    if (!system.queryDosDevice) return 0;
    const std::string target = "\\Device\\" + name;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char dosName[3] = {letter, ':', '\0'};
        char buffer[512] = {};
        if (system.queryDosDevice(dosName, buffer, sizeof buffer - 1) != 0 && target == buffer)
            return letter;
    }
    return 0;
}

std::unique_ptr<SptiTransport> SptiTransport::Open(const std::string& name, DWORD* systemError,
                                                   const SptiSystemCalls& system) {
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = system.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *systemError = GetLastError();
        return nullptr;
    }
    *systemError = 0;
    std::unique_ptr<SptiTransport> transport(new SptiTransport(handle, name, system));
    transport->QueryAdapter();
    transport->m_bounce =
        VirtualAlloc(nullptr, transport->m_maxTransfer, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    return transport;
}

SptiTransport::SptiTransport(HANDLE handle, std::string name, const SptiSystemCalls& system)
    : m_system(system), m_name(std::move(name)), m_handle(handle) {}

SptiTransport::~SptiTransport() {
    ReleaseExclusiveAccess();
    if (m_bounce != nullptr) VirtualFree(m_bounce, 0, MEM_RELEASE);
    m_system.closeHandle(m_handle);
}

void SptiTransport::QueryAdapter() {
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_ADAPTER_DESCRIPTOR descriptor = {};
    DWORD returned = 0;
    if (!m_system.deviceIoControl(m_handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                  &descriptor, sizeof descriptor, &returned, nullptr) ||
        returned < offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask) + sizeof(ULONG))
        return;  // keep 64 KiB, no alignment: what every adapter manages
    uint64_t max = descriptor.MaximumTransferLength;
    if (descriptor.MaximumPhysicalPages > 1)
        max = std::min<uint64_t>(max, (descriptor.MaximumPhysicalPages - 1) * 4096ull);
    if (max >= 2048) m_maxTransfer = static_cast<uint32_t>(std::min<uint64_t>(max, 1u << 20));
    m_alignmentMask = descriptor.AlignmentMask;
}

ScsiResult SptiTransport::Execute(const ScsiRequest& request) {
    const bool hasData = request.direction != DataDirection::None && request.dataLength != 0;
    if (hasData && (request.data == nullptr || request.dataLength > m_maxTransfer))
        return ScsiResult::SystemFailure(ERROR_INVALID_PARAMETER);
    void* buffer = request.data;
    const bool bounce = hasData &&
                        (reinterpret_cast<uintptr_t>(request.data) & m_alignmentMask) != 0;
    if (bounce) {
        if (m_bounce == nullptr) return ScsiResult::SystemFailure(ERROR_NOT_ENOUGH_MEMORY);
        buffer = m_bounce;
        if (request.direction == DataDirection::Out)
            std::memcpy(m_bounce, request.data, request.dataLength);
    }
    SptiCommandBlock block;
    PrepareCommandBlock(request, hasData ? buffer : nullptr, &block);
    DWORD returned = 0;
    const BOOL ok = m_system.deviceIoControl(m_handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block,
                                             sizeof block, &block, sizeof block, &returned,
                                             nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    ScsiResult result = ResultFromCommandBlock(block, ok != FALSE, error,
                                               hasData ? request.dataLength : 0);
    if (bounce && ok && request.direction == DataDirection::In)
        std::memcpy(request.data, m_bounce, result.transferred);
    return result;
}

bool SptiTransport::GetAddress(ScsiAddress* address) const {
    SCSI_ADDRESS a = {};
    a.Length = sizeof a;
    DWORD returned = 0;
    if (!m_system.deviceIoControl(m_handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &a, sizeof a,
                                  &returned, nullptr))
        return false;
    address->port = a.PortNumber;
    address->bus = a.PathId;
    address->target = a.TargetId;
    address->lun = a.Lun;
    return true;
}

}  // namespace burnlib
