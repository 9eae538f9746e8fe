// Reading and setting the drive's speeds, in kB/s (k = 1000).
#pragma once

#include <cstdint>

#include "burnlib/mmc/MmcDevice.h"

namespace burnlib::mmc {

struct Speeds {
    uint32_t currentRead = 0, maximumRead = 0, currentWrite = 0, maximumWrite = 0;
};

// SetSpeeds arguments: leave that direction as it is, or go as fast as the drive can with the
// disc in it. The same on every medium.
constexpr uint32_t kSpeedUnchanged = 0xFFFF;
constexpr uint32_t kSpeedMaximum = 0;

bool ReadSpeeds(MmcDevice& device, Speeds* out);
bool SetSpeeds(MmcDevice& device, uint32_t readKBps, uint32_t writeKBps);

}  // namespace burnlib::mmc
