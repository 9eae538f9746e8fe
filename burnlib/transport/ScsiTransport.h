// The one road from the engine to a drive: a SCSI command with its data phase, and what came back.
// Portable: no windows.h here; the SPTI transport and the virtual recorder both sit behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace burnlib {

enum class DataDirection : uint8_t { None, In, Out };

struct ScsiAddress {
    uint8_t port = 0;
    uint8_t bus = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
    friend bool operator==(const ScsiAddress&, const ScsiAddress&) = default;
};

struct ScsiRequest {
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    DataDirection direction = DataDirection::None;
    uint8_t* data = nullptr;      // dataLength bytes, owned by the caller
    uint32_t dataLength = 0;
    uint32_t timeoutSeconds = 30;
};

enum : uint8_t {
    kScsiStatusGood = 0x00,
    kScsiStatusCheckCondition = 0x02,
    kScsiStatusBusy = 0x08,
};

enum : uint8_t {
    kSenseNoSense = 0x0,
    kSenseRecoveredError = 0x1,
    kSenseNotReady = 0x2,
    kSenseMediumError = 0x3,
    kSenseHardwareError = 0x4,
    kSenseIllegalRequest = 0x5,
    kSenseUnitAttention = 0x6,
    kSenseDataProtect = 0x7,
    kSenseAbortedCommand = 0xB,
};

constexpr uint32_t kSenseBufferSize = 32;

struct ScsiResult {
    bool delivered = false;       // false: the command never reached the drive
    uint32_t systemError = 0;     // the operating system's error when not delivered
    uint8_t status = kScsiStatusGood;
    uint8_t sense[kSenseBufferSize] = {};
    uint8_t senseLength = 0;
    uint32_t transferred = 0;     // data bytes actually moved

    bool Good() const { return delivered && status == kScsiStatusGood; }
    // Decodes fixed (70h/71h) and descriptor (72h/73h) sense; 0 when there is none.
    uint8_t SenseKey() const;
    uint8_t Asc() const;
    uint8_t Ascq() const;

    static ScsiResult Ok(uint32_t transferred);
    static ScsiResult Check(uint8_t key, uint8_t asc, uint8_t ascq);
    static ScsiResult SystemFailure(uint32_t error);
};

// An opened drive, as the engine sees it. Execute is called from one thread at a time.
class ScsiTransport {
public:
    virtual ~ScsiTransport() = default;
    virtual ScsiResult Execute(const ScsiRequest& request) = 0;
    // Largest data phase one command may carry, in bytes.
    virtual uint32_t MaxTransferLength() const = 0;
    // Data buffers must satisfy (address & AlignmentMask()) == 0.
    virtual uint32_t AlignmentMask() const { return 0; }
    virtual bool GetAddress(ScsiAddress* address) const = 0;

    // Before writing: keeps other programs off the drive until ReleaseExclusiveAccess. False, with
    // *systemError, when another program holds the drive. Where the system offers no way to take
    // it, true with *taken false: the write goes on without it rather than not at all.
    virtual bool AcquireExclusiveAccess(uint32_t* systemError, bool* taken) {
        *systemError = 0;
        *taken = false;
        return true;
    }
    virtual void ReleaseExclusiveAccess() {}
};

// The drive end of a transport: whatever answers commands (the virtual recorder). Shared by every
// transport opened on the same drive, so it must be safe to call from several threads.
class ScsiTarget {
public:
    virtual ~ScsiTarget() = default;
    virtual ScsiResult Execute(const ScsiRequest& request) = 0;
    // Exclusive access for one opener (a transport); false when another one holds it.
    virtual bool ClaimExclusive(const void* /*owner*/) { return true; }
    virtual void ReleaseExclusive(const void* /*owner*/) {}
};

}  // namespace burnlib
