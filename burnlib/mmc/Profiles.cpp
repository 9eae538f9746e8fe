#include "burnlib/mmc/Profiles.h"

namespace burnlib::mmc {

int32_t DiscCodeForProfile(uint16_t profile) {
    switch (profile) {
        case kProfileNone: return kDiscNone;
        case kProfileCdRom: return kDiscCdRom;
        case kProfileCdR: return kDiscCdR;
        case kProfileCdRw: return kDiscCdRw;
        case kProfileDvdRom: return kDiscDvdRom;
        case kProfileDvdR: return kDiscDvdR;
        case kProfileDvdRam: return kDiscDvdRam;
        case kProfileDvdRwRestricted: return kDiscDvdRwRestricted;
        case kProfileDvdRwSequential: return kDiscDvdRwSequential;
        case kProfileDvdPlusRw: return kDiscDvdPlusRw;
        case kProfileDvdPlusR: return kDiscDvdPlusR;
        case kProfileDvdPlusRDl: return kDiscDvdPlusRDl;
        case kProfileDvdRDl:
        case kProfileDvdRDlJump: return kDiscDvdRDl;
        case kProfileBdRom: return kDiscBdRom;
        case kProfileBdRSrm:
        case kProfileBdRRrm: return kDiscBdR;
        case kProfileBdRe: return kDiscBdRe;
        case kProfileHdDvdRom: return kDiscHdDvdRom;
        case kProfileHdDvdR:
        case kProfileHdDvdRDl: return kDiscHdDvdR;
        case kProfileHdDvdRam:
        case kProfileHdDvdRw:
        case kProfileHdDvdRwDl: return kDiscHdDvdRw;
        default: return kDiscUnknown;
    }
}

bool IsCdProfile(uint16_t profile) { return profile >= 0x0008 && profile <= 0x000A; }
bool IsDvdProfile(uint16_t profile) {
    return (profile >= 0x0010 && profile <= 0x0016) || profile == 0x001A || profile == 0x001B ||
           profile == 0x002A || profile == 0x002B;
}
bool IsBdProfile(uint16_t profile) { return profile >= 0x0040 && profile <= 0x0043; }
bool IsHdDvdProfile(uint16_t profile) { return profile >= 0x0050 && profile <= 0x005A; }

}  // namespace burnlib::mmc
