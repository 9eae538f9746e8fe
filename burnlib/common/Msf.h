// CD addresses in minutes/seconds/frames (75 frames a second, binary values). Block 0 is 00:02:00;
// lead-in blocks (below -150) are given as times from 90:00:00 on, counting towards 99:59:74
// just before the program area's pregap. Header-only and free of any layer's types.
#pragma once

#include <algorithm>
#include <cstdint>

namespace burnlib {

struct Msf {
    uint8_t m = 0, s = 0, f = 0;
    friend bool operator==(const Msf&, const Msf&) = default;
};

inline constexpr int32_t kFramesPerSecond = 75;
inline constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;

// Minutes are capped at 255; addresses before the start of a 90-minute lead-in give 00:00:00.
constexpr Msf LbaToMsf(int32_t lba) {
    int64_t frames = lba >= -150 ? int64_t{lba} + 150 : int64_t{lba} + 450150;
    if (frames < 0) frames = 0;
    Msf msf;
    msf.m = static_cast<uint8_t>(std::min<int64_t>(frames / kFramesPerMinute, 255));
    msf.s = static_cast<uint8_t>(frames / kFramesPerSecond % 60);
    msf.f = static_cast<uint8_t>(frames % kFramesPerSecond);
    return msf;
}

constexpr int32_t MsfToLba(uint8_t m, uint8_t s, uint8_t f) {
    const int32_t frames = (int32_t{m} * 60 + s) * kFramesPerSecond + f;
    return m >= 90 ? frames - 450150 : frames - 150;
}

constexpr int32_t MsfToLba(Msf msf) { return MsfToLba(msf.m, msf.s, msf.f); }

}  // namespace burnlib
