// MMC profiles and the inserted-disc codes 0..22 the library reports for them.
#pragma once

#include <cstdint>

namespace burnlib::mmc {

enum : int32_t {
    kDiscUnknown = 0,
    kDiscCdRom = 1,
    kDiscCdR = 2,
    kDiscCdRw = 3,
    kDiscDvdRom = 4,
    kDiscDvdR = 5,
    kDiscDvdRam = 6,
    kDiscDvdRwRestricted = 7,
    kDiscDvdRwSequential = 8,
    kDiscDvdPlusRw = 9,
    kDiscLegacyCdRom = 10,  // drives without profiles
    kDiscLegacyCdR = 11,
    kDiscLegacyCdRw = 12,
    kDiscDvdPlusR = 13,
    kDiscNone = 14,
    kDiscDvdPlusRDl = 15,
    kDiscDvdRDl = 16,
    kDiscBdRom = 17,
    kDiscBdR = 18,
    kDiscBdRe = 19,
    kDiscHdDvdRom = 20,
    kDiscHdDvdR = 21,
    kDiscHdDvdRw = 22,
};

enum : uint16_t {
    kProfileNone = 0x0000,
    kProfileCdRom = 0x0008,
    kProfileCdR = 0x0009,
    kProfileCdRw = 0x000A,
    kProfileDvdRom = 0x0010,
    kProfileDvdR = 0x0011,
    kProfileDvdRam = 0x0012,
    kProfileDvdRwRestricted = 0x0013,
    kProfileDvdRwSequential = 0x0014,
    kProfileDvdRDl = 0x0015,
    kProfileDvdRDlJump = 0x0016,
    kProfileDvdPlusRw = 0x001A,
    kProfileDvdPlusR = 0x001B,
    kProfileDvdPlusRwDl = 0x002A,
    kProfileDvdPlusRDl = 0x002B,
    kProfileBdRom = 0x0040,
    kProfileBdRSrm = 0x0041,
    kProfileBdRRrm = 0x0042,
    kProfileBdRe = 0x0043,
    kProfileHdDvdRom = 0x0050,
    kProfileHdDvdR = 0x0051,
    kProfileHdDvdRam = 0x0052,
    kProfileHdDvdRw = 0x0053,
    kProfileHdDvdRDl = 0x0058,
    kProfileHdDvdRwDl = 0x005A,
};

int32_t DiscCodeForProfile(uint16_t profile);
bool IsCdProfile(uint16_t profile);
bool IsDvdProfile(uint16_t profile);
bool IsBdProfile(uint16_t profile);
bool IsHdDvdProfile(uint16_t profile);

}  // namespace burnlib::mmc
