#include "burnlib/virtual/DriveModel.h"

#include <algorithm>

namespace burnlib {

bool DriveModel::CanRead(uint16_t profile) const {
    return profile != kProfileNone &&
           (std::find(readProfiles.begin(), readProfiles.end(), profile) != readProfiles.end() ||
            CanWrite(profile));
}

bool DriveModel::CanWrite(uint16_t profile) const {
    return profile != kProfileNone &&
           std::find(writeProfiles.begin(), writeProfiles.end(), profile) != writeProfiles.end();
}

std::vector<std::string> DriveModel::Disagreements() const {
    std::vector<std::string> out;
    auto writesAny = [&](std::initializer_list<uint16_t> profiles) {
        return std::any_of(profiles.begin(), profiles.end(), [&](uint16_t p) { return CanWrite(p); });
    };
    auto check = [&](const char* flag, bool value, bool expected) {
        if (value != expected) out.push_back(flag);
    };
    const bool cdWriting = cdTao || cdSao || cdRaw;
    check("cdTao/cdSao/cdRaw", cdWriting, WritesCd());
    check("cdTestWrite", cdTestWrite && !cdWriting, false);
    check("cdRawMultiSession", cdRawMultiSession && !cdRaw, false);
    check("dvdMinusWrite", dvdMinusWrite, writesAny({kProfileDvdR, kProfileDvdRwSequential, kProfileDvdRDl}));
    check("dvdMinusRw", dvdMinusRw, CanWrite(kProfileDvdRwSequential));
    check("dvdMinusDualLayer", dvdMinusDualLayer, CanWrite(kProfileDvdRDl));
    check("dvdMinusTestWrite", dvdMinusTestWrite && !dvdMinusWrite, false);
    check("dvdMinusRwRestricted", dvdMinusRwRestricted, CanWrite(kProfileDvdRwRestricted));
    check("dvdPlusR", dvdPlusR, CanWrite(kProfileDvdPlusR));
    check("dvdPlusRDualLayer", dvdPlusRDualLayer, CanWrite(kProfileDvdPlusRDl));
    check("dvdPlusRw", dvdPlusRw, CanWrite(kProfileDvdPlusRw));
    check("bdWrite", bdWrite, writesAny({kProfileBdR, kProfileBdRRandom, kProfileBdRe}));
    check("hdDvdWrite", hdDvdWrite, writesAny({kProfileHdDvdR, kProfileHdDvdRam}));
    return out;
}

bool DriveModel::WritesCd() const { return CanWrite(kProfileCdR) || CanWrite(kProfileCdRw); }

}  // namespace burnlib
