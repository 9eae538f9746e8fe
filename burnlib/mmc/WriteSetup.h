// What a write sets up before its first WRITE and takes down after its last: the write
// parameters page, buffer-underrun protection, power calibration, and the hold on the drive
// (exclusive access, a locked tray).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "burnlib/mmc/MmcDevice.h"

namespace burnlib::mmc {

// The fields of page 05h a write chooses; the rest of the page (BUFE among them) stays as the
// drive has it.
struct WriteParameterSettings {
    uint8_t writeType = 0;      // 0 incremental, 1 TAO, 2 SAO, 3 raw
    bool testWrite = false;
    uint8_t multiSession = 0;   // 00b closed when the session is, 11b next session allowed
    bool fixedPacket = false;
    bool copy = false;
    uint8_t trackMode = 0;      // Q control: 4 data, 6 data copy permitted, 5 DVD incremental
    uint8_t dataBlockType = 0;  // 1 raw + PQ, 3 raw + P-W, 8 Mode 1 user data
    bool linkSizeValid = false;
    uint8_t linkSize = 0;
    uint32_t packetSize = 0;    // blocks, with fixedPacket
};

enum : uint8_t {
    kWriteTypeIncremental = 0,
    kWriteTypeTrackAtOnce = 1,
    kWriteTypeSessionAtOnce = 2,
    kWriteTypeRaw = 3,
    kMultiSessionClosed = 0,
    kMultiSessionOpen = 3,
    kTrackModeData = 4,
    kTrackModeDataCopy = 6,
    kTrackModeDvdIncremental = 5,
    kBlockTypeRawPq = 1,
    kBlockTypeRawPw = 3,
    kBlockTypeMode1 = 8,
};

// A page as MODE SELECT takes it from a MODE SENSE reply: the header's mode data length and the
// page's PS bit are reserved there.
std::vector<uint8_t> ModeSelectList(const std::vector<uint8_t>& reply, size_t offset);
bool SendModeSelect(MmcDevice& device, std::vector<uint8_t>& list);

// MODE SENSE of the current page 05h, the chosen fields, MODE SELECT.
bool SetWriteParameters(MmcDevice& device, const WriteParameterSettings& settings);
// Only the multi-session field, left as it is when it already holds the value.
bool SetMultiSession(MmcDevice& device, uint8_t multiSession);

// Buffer-underrun protection: the drive has it (write features or capabilities page), and the
// page 05h BUFE bit is on.
bool ReadBufferUnderrunProtection(MmcDevice& device, bool* supported, bool* enabled);
bool SetBufferUnderrunProtection(MmcDevice& device, bool enable);

// SEND OPC INFORMATION with DoOpc; a drive that does not take it fails with NotSupported.
bool SendOpc(MmcDevice& device);

// Whether the drive can simulate a write on this profile with this write type (TAO, SAO, raw,
// or DVD incremental).
bool CanTestWrite(MmcDevice& device, uint16_t profile, uint8_t writeType, bool* able);

// Exclusive access to the drive and, on request, a locked tray, for one write; both given back
// when it goes, on every path (a cancelled write included).
class DriveHold {
public:
    explicit DriveHold(MmcDevice& device) : m_device(device) {}
    ~DriveHold();
    DriveHold(const DriveHold&) = delete;
    DriveHold& operator=(const DriveHold&) = delete;

    // Another program holding the drive fails; a system without the means goes on without it.
    bool TakeExclusive();
    bool LockTray();

private:
    MmcDevice& m_device;
    bool m_exclusive = false;
    bool m_locked = false;
};

}  // namespace burnlib::mmc
