#include "burnlib/mmc/WriteSetup.h"

#include <vector>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/WriteStream.h"

namespace burnlib::mmc {

namespace {

// Page 05h up to the packet size and the audio pause length.
constexpr size_t kWritePageMinimum = 16;

bool ReadWritePage(MmcDevice& device, std::vector<uint8_t>* reply, size_t* offset) {
    size_t length = 0;
    if (!ReadModePage(device, kPageWriteParameters, kPageControlCurrent, reply, offset, &length))
        return false;
    if (length < kWritePageMinimum || length < size_t{(*reply)[*offset + 1]} + 2u)
        return device.BadResponse();
    return true;
}

bool Sends(const Feature* f, size_t byte, uint8_t mask) {
    return f != nullptr && (f->Byte(byte) & mask) != 0;
}

}  // namespace

std::vector<uint8_t> ModeSelectList(const std::vector<uint8_t>& reply, size_t offset) {
    std::vector<uint8_t> list(reply.begin(), reply.begin() + offset + 2 + reply[offset + 1]);
    list[0] = list[1] = 0;
    list[offset] &= 0x3F;
    return list;
}

bool SendModeSelect(MmcDevice& device, std::vector<uint8_t>& list) {
    return device.Execute(MakeModeSelect10(static_cast<uint16_t>(list.size())),
                          DataDirection::Out, list.data(), static_cast<uint32_t>(list.size()));
}

bool SetWriteParameters(MmcDevice& device, const WriteParameterSettings& s) {
    std::vector<uint8_t> reply;
    size_t offset = 0;
    if (!ReadWritePage(device, &reply, &offset)) return false;
    std::vector<uint8_t> list = ModeSelectList(reply, offset);
    uint8_t* page = list.data() + offset;
    page[2] = static_cast<uint8_t>((page[2] & 0x40) | (s.linkSizeValid ? 0x20 : 0) |
                                   (s.testWrite ? 0x10 : 0) | (s.writeType & 0x0F));
    page[3] = static_cast<uint8_t>(((s.multiSession & 0x03) << 6) | (s.fixedPacket ? 0x20 : 0) |
                                   (s.copy ? 0x10 : 0) | (s.trackMode & 0x0F));
    page[4] = static_cast<uint8_t>((page[4] & 0xF0) | (s.dataBlockType & 0x0F));
    if (s.linkSizeValid) page[5] = s.linkSize;
    page[8] = 0x00;  // session format: CD-DA or CD-ROM
    PutBe32(page + 10, s.fixedPacket ? s.packetSize : 0);
    return SendModeSelect(device, list);
}

bool SetMultiSession(MmcDevice& device, uint8_t multiSession) {
    std::vector<uint8_t> reply;
    size_t offset = 0;
    if (!ReadWritePage(device, &reply, &offset)) return false;
    if ((reply[offset + 3] >> 6) == (multiSession & 0x03)) return true;
    std::vector<uint8_t> list = ModeSelectList(reply, offset);
    uint8_t* page = list.data() + offset;
    page[3] = static_cast<uint8_t>((page[3] & 0x3F) | ((multiSession & 0x03) << 6));
    return SendModeSelect(device, list);
}

namespace {

bool BufferUnderrunSupported(MmcDevice& device, bool* supported) {
    const Configuration* features = nullptr;
    if (device.ReadSupportedFeatures(&features)) {
        *supported = Sends(features->Find(0x0021), 2, 0x01) ||
                     Sends(features->Find(0x002D), 0, 0x40) ||
                     Sends(features->Find(0x002E), 0, 0x40) ||
                     Sends(features->Find(0x002F), 0, 0x40);
        if (*supported) return true;
    } else if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x20)) {
        return false;
    }
    const Capabilities* caps = nullptr;
    if (!device.ReadDriveCapabilities(&caps)) return false;
    *supported = caps->bufferUnderrunProtection;
    return true;
}

}  // namespace

bool ReadBufferUnderrunProtection(MmcDevice& device, bool* supported, bool* enabled) {
    *supported = *enabled = false;
    if (!BufferUnderrunSupported(device, supported)) return false;
    std::vector<uint8_t> reply;
    size_t offset = 0, length = 0;
    if (!ReadModePage(device, kPageWriteParameters, kPageControlCurrent, &reply, &offset,
                      &length)) {
        // A drive that writes nothing has no write parameters and so nothing switched on.
        return !device.Cancelled() && device.FailedWith(kSenseIllegalRequest, 0x24);
    }
    WriteParameters p;
    if (!ParseWriteParametersPage(reply.data() + offset, length, &p)) return device.BadResponse();
    *enabled = p.bufferUnderrunProtection;
    return true;
}

bool SetBufferUnderrunProtection(MmcDevice& device, bool enable) {
    bool supported = false;
    if (!BufferUnderrunSupported(device, &supported)) return false;
    if (!supported) {
        if (!enable) return true;
        FailOperation(device, Outcome::NotSupported,
                      "the drive has no buffer-underrun protection to switch on");
        return false;
    }
    std::vector<uint8_t> reply;
    size_t offset = 0;
    if (!ReadWritePage(device, &reply, &offset)) return false;
    if (((reply[offset + 2] & 0x40) != 0) == enable) return true;
    std::vector<uint8_t> list = ModeSelectList(reply, offset);
    uint8_t* page = list.data() + offset;
    page[2] = static_cast<uint8_t>((page[2] & ~0x40) | (enable ? 0x40 : 0));
    // Page 05h goes back whole, and a drive checks all of it against the disc it holds: a CD
    // write type left from before (Track-At-Once is the usual default) would refuse BUFE on a
    // DVD. There the page takes the type every DVD writer accepts; the write sets its own later.
    const uint8_t writeType = page[2] & 0x0F;
    uint16_t profile = kProfileNone;
    if ((writeType == kWriteTypeTrackAtOnce || writeType == kWriteTypeRaw) &&
        device.ReadCurrentProfile(&profile) && profile != kProfileNone && profile != kProfileCdR &&
        profile != kProfileCdRw && profile != kProfileCdRom) {
        page[2] = static_cast<uint8_t>((page[2] & 0xE0) | kWriteTypeIncremental);  // no test write
        page[4] = static_cast<uint8_t>((page[4] & 0xF0) | kBlockTypeMode1);
    }
    return SendModeSelect(device, list);
}

bool SendOpc(MmcDevice& device) {
    // Calibration takes seconds on some discs.
    if (device.Execute(MakeSendOpc(), DataDirection::None, nullptr, 0, nullptr, 200)) return true;
    if (device.FailedWith(kSenseIllegalRequest, 0x20) ||
        device.FailedWith(kSenseIllegalRequest, 0x24)) {
        CommandFailure f = device.LastFailure();
        f.outcome = Outcome::NotSupported;
        f.text = "the drive does not calibrate its laser power on request: " + f.text;
        device.SetFailure(f);
    }
    return false;
}

bool CanTestWrite(MmcDevice& device, uint16_t profile, uint8_t writeType, bool* able) {
    *able = false;
    const bool cd = profile == kProfileCdR || profile == kProfileCdRw;
    const bool dvdMinus = profile == kProfileDvdR || profile == kProfileDvdRwSequential ||
                          profile == kProfileDvdRDl;
    if (!cd && !dvdMinus) return true;
    const Configuration* features = nullptr;
    if (device.ReadSupportedFeatures(&features)) {
        uint16_t code = 0x002F;
        if (cd) code = writeType == kWriteTypeTrackAtOnce ? 0x002D : 0x002E;
        *able = Sends(features->Find(code), 0, 0x04);
        return true;
    }
    if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x20)) return false;
    const Capabilities* caps = nullptr;
    if (!device.ReadDriveCapabilities(&caps)) return false;
    *able = cd && caps->testWrite;
    return true;
}

DriveHold::~DriveHold() {
    if (!m_locked && !m_exclusive) return;
    MmcDevice::CleanupScope cleanup(m_device);
    if (m_locked)
        m_device.Execute(MakePreventAllowMediumRemoval(false), DataDirection::None, nullptr, 0);
    if (m_exclusive) m_device.ReleaseExclusiveAccess();
}

bool DriveHold::TakeExclusive() {
    uint32_t systemError = 0;
    bool taken = false;
    if (!m_device.AcquireExclusiveAccess(&systemError, &taken)) {
        FailOperation(m_device, Outcome::SystemError,
                      "another program is using the drive: exclusive access refused (system "
                      "error " + std::to_string(systemError) + ")",
                      systemError);
        return false;
    }
    m_exclusive = taken;
    return true;
}

bool DriveHold::LockTray() {
    if (!m_device.Execute(MakePreventAllowMediumRemoval(true), DataDirection::None, nullptr, 0))
        return false;
    m_locked = true;
    return true;
}

}  // namespace burnlib::mmc
