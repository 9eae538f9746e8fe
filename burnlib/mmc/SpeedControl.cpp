#include "burnlib/mmc/SpeedControl.h"

#include <algorithm>
#include <vector>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Profiles.h"

namespace burnlib::mmc {

namespace {

bool IsStreamingProfile(uint16_t profile) {
    return IsDvdProfile(profile) || IsBdProfile(profile) || IsHdDvdProfile(profile);
}

// GET PERFORMANCE type 00h, nominal performance: the speed the drive now reads (or writes) the
// disc at. 0 when the drive does not say.
bool ReadNominalPerformance(MmcDevice& device, bool write, uint32_t* kBps) {
    *kBps = 0;
    uint8_t reply[8 + 16 * 8] = {};
    uint32_t got = 0;
    // Tolerance 10b (10 %), nominal figures; bit 2 asks for writing.
    const Cdb cdb = MakeGetPerformance(0x00, write ? 0x14 : 0x10, 0, 8);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got))
        return !device.Cancelled();
    std::vector<PerformanceDescriptor> descriptors;
    if (!ParsePerformance(reply, got, &descriptors)) return true;
    for (const PerformanceDescriptor& d : descriptors)
        *kBps = std::max({*kBps, d.startPerformance, d.endPerformance});
    return true;
}

// The speeds selected now: page 2Ah "current write speed selected" and GET PERFORMANCE, which
// current drives fill; the obsolete page fields only when those say nothing. Null: not wanted.
bool CurrentSpeeds(MmcDevice& device, const Capabilities& caps, uint32_t* read,
                   uint32_t* write) {
    if (read != nullptr) {
        if (!ReadNominalPerformance(device, false, read)) return false;
        if (*read == 0) *read = caps.currentReadSpeed;
    }
    if (write == nullptr) return true;
    *write = caps.selectedWriteSpeed;
    if (*write == 0) {
        if (!ReadNominalPerformance(device, true, write)) return false;
        if (*write == 0) *write = caps.currentWriteSpeed;
    }
    return true;
}

// For DVD and later media the write-speed descriptors are the authoritative list.
bool MaximumSpeedsFromPerformance(MmcDevice& device, uint32_t* maxRead, uint32_t* maxWrite) {
    uint8_t reply[8 + 16 * 32] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeGetPerformance(0x03, 0, 0, 32);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    std::vector<WriteSpeedDescriptor> descriptors;
    if (!ParseWriteSpeeds(reply, got, &descriptors)) return device.BadResponse(cdb, got);
    uint32_t read = 0, written = 0;
    for (const WriteSpeedDescriptor& d : descriptors) {
        read = std::max(read, d.readSpeed);
        written = std::max(written, d.writeSpeed);
    }
    if (read != 0) *maxRead = read;
    if (written != 0) *maxWrite = written;
    return true;
}

bool MaximumSpeeds(MmcDevice& device, const Capabilities& caps, uint16_t profile,
                   uint32_t* maxRead, uint32_t* maxWrite) {
    *maxRead = caps.maxReadSpeed;
    *maxWrite = caps.maxWriteSpeed;
    if (!caps.writeSpeeds.empty())
        *maxWrite = *std::max_element(caps.writeSpeeds.begin(), caps.writeSpeeds.end());
    if (IsStreamingProfile(profile) && !MaximumSpeedsFromPerformance(device, maxRead, maxWrite) &&
        device.Cancelled())
        return false;
    return true;
}

// 0 when the drive has no profiles (MMC-1 CD drives) or none could be read.
bool ProfileOrNone(MmcDevice& device, uint16_t* profile) {
    *profile = 0;
    return device.ReadCurrentProfile(profile) || !device.Cancelled();
}

// The last block of the disc, recorded or not (SET STREAMING covers the whole disc); -1 on a
// cancel.
int32_t CapacityEndLba(MmcDevice& device) {
    // The last possible lead-out covers the whole disc; on DVD and later media it is an LBA.
    DiscInformation disc;
    if (ReadDiscInformation(device, &disc) && disc.hasLeadOut && disc.lastPossibleLeadOut > 1 &&
        disc.lastPossibleLeadOut < 0x80000000u)
        return static_cast<int32_t>(disc.lastPossibleLeadOut - 1);
    if (device.Cancelled()) return -1;
    uint32_t last = 0;
    if (ReadCapacity(device, &last) && last > 0 && last < 0x80000000u)
        return static_cast<int32_t>(last);
    if (device.Cancelled()) return -1;
    return 0;
}

}  // namespace

bool ReadSpeeds(MmcDevice& device, Speeds* out) {
    Capabilities caps;
    if (!ReadCapabilities(device, &caps)) return false;
    Speeds s;
    if (!CurrentSpeeds(device, caps, &s.currentRead, &s.currentWrite)) return false;
    uint16_t profile = 0;
    if (!ProfileOrNone(device, &profile)) return false;
    if (!MaximumSpeeds(device, caps, profile, &s.maximumRead, &s.maximumWrite)) return false;
    *out = s;
    return true;
}

bool SetSpeeds(MmcDevice& device, uint32_t readKBps, uint32_t writeKBps) {
    const bool keepRead = readKBps == kSpeedUnchanged;
    const bool keepWrite = writeKBps == kSpeedUnchanged;
    if (keepRead && keepWrite) return true;

    uint16_t profile = 0;
    if (!ProfileOrNone(device, &profile)) return false;
    const bool streaming = IsStreamingProfile(profile);
    uint32_t read = readKBps, write = writeKBps;
    // The speed-setting commands take both directions at once; a direction left unchanged gets
    // the drive's current speed back. One the drive cannot tell goes to the maximum, where
    // drives start.
    Capabilities caps;
    const bool needMaximum = streaming && (read == kSpeedMaximum || write == kSpeedMaximum);
    if (keepRead || keepWrite || needMaximum) {
        if (!ReadCapabilities(device, &caps)) return false;
    }
    if (keepRead || keepWrite) {
        if (!CurrentSpeeds(device, caps, keepRead ? &read : nullptr,
                           keepWrite ? &write : nullptr))
            return false;
    }

    if (streaming) {
        // SET STREAMING has no "fastest" value: ask for the fastest speed the drive lists, or
        // for more than any drive does (drives round a request down to a speed they have).
        if (read == kSpeedMaximum || write == kSpeedMaximum) {
            uint32_t maxRead = 0, maxWrite = 0;
            if (!MaximumSpeeds(device, caps, profile, &maxRead, &maxWrite)) return false;
            if (read == kSpeedMaximum) read = maxRead != 0 ? maxRead : 0xFFFFFFFFu;
            if (write == kSpeedMaximum) write = maxWrite != 0 ? maxWrite : 0xFFFFFFFFu;
        }
        const int32_t endLba = CapacityEndLba(device);
        if (endLba < 0) return false;
        uint8_t descriptor[28] = {};
        PutBe32(descriptor + 4, 0);
        PutBe32(descriptor + 8, static_cast<uint32_t>(endLba));
        PutBe32(descriptor + 12, read);
        PutBe32(descriptor + 16, 1000);
        PutBe32(descriptor + 20, write);
        PutBe32(descriptor + 24, 1000);
        return device.Execute(MakeSetStreaming(sizeof descriptor), DataDirection::Out, descriptor,
                              sizeof descriptor);
    }
    // SET CD SPEED: FFFFh is the drive's fastest.
    auto cd = [](uint32_t v) {
        return v == kSpeedMaximum ? uint16_t{0xFFFF}
                                  : static_cast<uint16_t>(std::min<uint32_t>(v, 0xFFFF));
    };
    return device.Execute(MakeSetCdSpeed(cd(read), cd(write)), DataDirection::None, nullptr, 0);
}

}  // namespace burnlib::mmc
