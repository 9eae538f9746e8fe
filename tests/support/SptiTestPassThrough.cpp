// The port driver's side of the pass-through and its adapter and address queries.
#include <cstring>

#include "tests/support/SptiTestSystem.h"

namespace burnlib {

// The request is checked as a port driver checks it before the drive sees anything; the data
// phase then goes straight between the caller's buffer and the drive, and the status, the count
// of bytes moved and (on CHECK CONDITION) the sense come back in the output block.
DWORD SptiTestSystem::PassThrough(std::unique_lock<std::mutex>& lock, const OpenHandle& handle,
                                  void* in, DWORD inSize, void* out, DWORD outSize,
                                  DWORD* returned) {
    constexpr DWORD kBlock = sizeof(SCSI_PASS_THROUGH_DIRECT);
    if (in == nullptr || inSize < kBlock || out == nullptr || outSize < kBlock)
        return ERROR_INVALID_PARAMETER;
    SCSI_PASS_THROUGH_DIRECT s;
    std::memcpy(&s, in, sizeof s);

    PassThroughSeen seen;
    std::memcpy(seen.cdb, s.Cdb, sizeof seen.cdb);
    seen.cdbLength = s.CdbLength;
    seen.dataIn = s.DataIn;
    seen.dataTransferLength = s.DataTransferLength;
    seen.dataBuffer = s.DataBuffer;
    seen.timeOutValue = s.TimeOutValue;
    seen.senseInfoLength = s.SenseInfoLength;
    seen.senseInfoOffset = s.SenseInfoOffset;
    seen.inSize = inSize;
    seen.outSize = outSize;
    m_passThroughs.push_back(seen);

    if (s.Length != sizeof(SCSI_PASS_THROUGH_DIRECT)) return ERROR_INVALID_PARAMETER;
    if (s.CdbLength == 0 || s.CdbLength > sizeof s.Cdb) return ERROR_INVALID_PARAMETER;
    if (s.SenseInfoLength > 0 &&
        (s.SenseInfoOffset < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
         s.SenseInfoOffset + s.SenseInfoLength > std::min(inSize, outSize)))
        return ERROR_INVALID_PARAMETER;
    if (s.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) return ERROR_INVALID_PARAMETER;
    if (s.DataTransferLength > 0) {
        if (s.DataIn == SCSI_IOCTL_DATA_UNSPECIFIED || s.DataBuffer == nullptr)
            return ERROR_INVALID_PARAMETER;
        if ((reinterpret_cast<uintptr_t>(s.DataBuffer) & m_alignmentMask) != 0)
            return ERROR_INVALID_PARAMETER;
        if (s.DataTransferLength > m_maxTransfer) return ERROR_INVALID_PARAMETER;
    }
    Drive& drive = m_drives[handle.drive];
    if (drive.deviceHolder != nullptr && drive.deviceHolder != &handle) return ERROR_ACCESS_DENIED;

    ScsiRequest request;
    std::memcpy(request.cdb, s.Cdb, s.CdbLength);
    request.cdbLength = s.CdbLength;
    request.direction = s.DataTransferLength == 0          ? DataDirection::None
                        : s.DataIn == SCSI_IOCTL_DATA_IN ? DataDirection::In
                                                           : DataDirection::Out;
    request.data = static_cast<uint8_t*>(s.DataBuffer);
    request.dataLength = s.DataTransferLength;
    request.timeoutSeconds = s.TimeOutValue;
    std::shared_ptr<VirtualRecorder> recorder = drive.recorder;

    // Another handle's command (a cancel, a status poll) may run while this one does.
    lock.unlock();
    const ScsiResult result = recorder->Execute(request);
    lock.lock();
    if (!result.delivered) return result.systemError != 0 ? result.systemError : ERROR_IO_DEVICE;

    if (out != in) std::memmove(out, in, std::min(inSize, outSize));
    s.ScsiStatus = result.status;
    s.DataTransferLength = result.transferred;
    std::memcpy(out, &s, sizeof s);
    *returned = sizeof s;
    if (result.status == kScsiStatusCheckCondition && s.SenseInfoLength > 0) {
        const uint32_t sense = std::min<uint32_t>(result.senseLength, s.SenseInfoLength);
        std::memcpy(static_cast<uint8_t*>(out) + s.SenseInfoOffset, result.sense, sense);
        *returned = s.SenseInfoOffset + sense;
    }
    return 0;
}

// STORAGE_ADAPTER_DESCRIPTOR for StorageAdapterProperty, PropertyStandardQuery; as much of it as
// the caller's buffer holds, as the system gives it.
DWORD SptiTestSystem::QueryProperty(const void* in, DWORD inSize, void* out, DWORD outSize,
                                    DWORD* returned) {
    if (in == nullptr || inSize < offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters))
        return ERROR_INVALID_PARAMETER;
    STORAGE_PROPERTY_QUERY query;
    std::memcpy(&query, in, offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
    if (query.QueryType != PropertyStandardQuery) return ERROR_INVALID_FUNCTION;
    if (query.PropertyId != StorageAdapterProperty) return ERROR_NOT_SUPPORTED;
    if (out == nullptr || outSize < 2 * sizeof(ULONG)) return ERROR_INSUFFICIENT_BUFFER;
    STORAGE_ADAPTER_DESCRIPTOR descriptor = {};
    descriptor.Version = sizeof descriptor;
    descriptor.Size = sizeof descriptor;
    descriptor.MaximumTransferLength = m_maxTransfer;
    descriptor.MaximumPhysicalPages = m_maxTransfer / 4096 + 1;
    descriptor.AlignmentMask = m_alignmentMask;
    descriptor.BusType = BusTypeAtapi;
    const DWORD n = std::min<DWORD>(outSize, sizeof descriptor);
    std::memcpy(out, &descriptor, n);
    *returned = n;
    return 0;
}

DWORD SptiTestSystem::GetAddress(const OpenHandle& handle, void* out, DWORD outSize,
                                 DWORD* returned) {
    if (out == nullptr || outSize < sizeof(SCSI_ADDRESS)) return ERROR_INSUFFICIENT_BUFFER;
    SCSI_ADDRESS address = {};
    address.Length = sizeof address;
    address.PortNumber = 1;
    address.PathId = 0;
    address.TargetId = static_cast<UCHAR>(handle.drive);
    address.Lun = 0;
    std::memcpy(out, &address, sizeof address);
    *returned = sizeof address;
    return 0;
}

}  // namespace burnlib
