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

bool DriveModel::WritesCd() const { return CanWrite(kProfileCdR) || CanWrite(kProfileCdRw); }

}  // namespace burnlib
