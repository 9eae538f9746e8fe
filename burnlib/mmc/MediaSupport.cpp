#include "burnlib/mmc/MediaSupport.h"

#include "burnlib/mmc/Profiles.h"

namespace burnlib::mmc {

namespace {

bool AnyByteSet(const Feature* f, size_t from, size_t to) {
    if (f == nullptr) return false;
    for (size_t i = from; i < to; ++i)
        if (f->Byte(i) != 0) return true;
    return false;
}

MediaSupport FromFeatures(const Configuration& c) {
    MediaSupport m;
    auto has = [&](uint16_t p) { return c.HasProfile(p); };
    auto writeBit = [&](uint16_t code) {
        const Feature* f = c.Find(code);
        return f != nullptr && (f->Byte(0) & 0x01) != 0;
    };
    const bool cdWrite = c.Find(0x002D) != nullptr || c.Find(0x002E) != nullptr;
    // DVD-R/-RW Write: DVD-R always; byte 4 bit 1 adds DVD-RW, bit 3 DVD-R DL.
    const Feature* dvdMinus = c.Find(0x002F);
    const bool dvdRWrite = dvdMinus != nullptr;
    const bool dvdRwWrite = dvdMinus != nullptr && (dvdMinus->Byte(0) & 0x02) != 0;
    const bool dvdRDlWrite = dvdMinus != nullptr && (dvdMinus->Byte(0) & 0x08) != 0;
    // BD Write: class 0..3 version bitmaps, BD-RE in bytes 8-15 and BD-R in bytes 16-23 of
    // the descriptor; a medium with no version set is not written.
    const Feature* bd = c.Find(0x0041);
    const bool bdReWrite = AnyByteSet(bd, 4, 12);
    const bool bdRWrite = AnyByteSet(bd, 12, 20);
    const bool hdDvdWrite = c.Find(0x0051) != nullptr;

    const bool anyCd = has(kProfileCdRom) || has(kProfileCdR) || has(kProfileCdRw);
    m.cdRomRead = anyCd;
    m.cdRRead = has(kProfileCdR) || has(kProfileCdRom);
    m.cdRwRead = has(kProfileCdRw) || c.Find(0x001D) != nullptr;
    m.cdRWrite = has(kProfileCdR) && cdWrite;
    m.cdRwWrite = has(kProfileCdRw) && cdWrite;

    m.dvdRomRead = has(kProfileDvdRom);
    m.dvdRRead = has(kProfileDvdR) || has(kProfileDvdRom);
    m.dvdRWrite = has(kProfileDvdR) && dvdRWrite;
    m.dvdRDlRead = has(kProfileDvdRDl) || has(kProfileDvdRDlJump);
    m.dvdRDlWrite = m.dvdRDlRead && dvdRDlWrite;
    m.dvdRwRead = has(kProfileDvdRwRestricted) || has(kProfileDvdRwSequential);
    m.dvdRwWrite = (has(kProfileDvdRwSequential) && dvdRwWrite) ||
                   (has(kProfileDvdRwRestricted) && (dvdRwWrite || c.Find(0x002C) != nullptr));
    m.dvdRwDlRead = has(0x0017);
    m.dvdRwDlWrite = m.dvdRwDlRead && dvdRwWrite && dvdRDlWrite;
    m.dvdRamRead = has(kProfileDvdRam);
    m.dvdRamWrite = has(kProfileDvdRam) && c.Find(0x0020) != nullptr;
    m.dvdPlusRwRead = has(kProfileDvdPlusRw);
    m.dvdPlusRwWrite = m.dvdPlusRwRead && writeBit(0x002A);
    m.dvdPlusRwDlRead = has(kProfileDvdPlusRwDl);
    m.dvdPlusRwDlWrite = m.dvdPlusRwDlRead && writeBit(0x003A);
    m.dvdPlusRRead = has(kProfileDvdPlusR);
    m.dvdPlusRWrite = m.dvdPlusRRead && writeBit(0x002B);
    m.dvdPlusRDlRead = has(kProfileDvdPlusRDl);
    m.dvdPlusRDlWrite = m.dvdPlusRDlRead && writeBit(0x003B);

    m.bdRomRead = has(kProfileBdRom);
    m.bdRRead = has(kProfileBdRSrm) || has(kProfileBdRRrm);
    m.bdRWrite = m.bdRRead && bdRWrite;
    m.bdReRead = has(kProfileBdRe);
    m.bdReWrite = m.bdReRead && bdReWrite;
    m.hdDvdRomRead = has(kProfileHdDvdRom);
    m.hdDvdRRead = has(kProfileHdDvdR) || has(kProfileHdDvdRDl);
    m.hdDvdRWrite = m.hdDvdRRead && hdDvdWrite;
    m.hdDvdRamRead = has(kProfileHdDvdRam);
    m.hdDvdRamWrite = m.hdDvdRamRead && hdDvdWrite;
    m.hdDvdRwRead = has(kProfileHdDvdRw) || has(kProfileHdDvdRwDl);
    m.hdDvdRwWrite = m.hdDvdRwRead && hdDvdWrite;
    return m;
}

}  // namespace

bool ReadMediaSupport(MmcDevice& device, MediaSupport* out) {
    const Configuration* features = nullptr;
    if (device.ReadSupportedFeatures(&features)) {
        *out = FromFeatures(*features);
        return true;
    }
    if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x20)) return false;
    // A drive without profiles tells what it handles in the capabilities page.
    const Capabilities* caps = nullptr;
    if (!device.ReadDriveCapabilities(&caps)) return false;
    MediaSupport m;
    m.cdRomRead = true;
    m.cdRRead = caps->cdRRead;
    m.cdRwRead = caps->cdRwRead;
    m.cdRWrite = caps->cdRWrite;
    m.cdRwWrite = caps->cdRwWrite;
    m.dvdRomRead = caps->dvdRomRead;
    m.dvdRRead = caps->dvdRRead;
    m.dvdRWrite = caps->dvdRWrite;
    m.dvdRamRead = caps->dvdRamRead;
    m.dvdRamWrite = caps->dvdRamWrite;
    *out = m;
    return true;
}

}  // namespace burnlib::mmc
