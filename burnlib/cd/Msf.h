// CD addresses: block numbers (LBA) and the minute/second/frame times that sector headers and
// sub-channel Q carry, in binary-coded decimal.
#pragma once

#include <cstdint>

namespace burnlib::cd {

constexpr int32_t kFramesPerSecond = 75;
constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;
// Block 0 sits 2 seconds into the program area.
constexpr int32_t kMsfOffset = 150;
// Lead-in blocks carry times from 90 minutes up, which wrap to negative block numbers.
constexpr int32_t kLeadInMsfOffset = 450150;
constexpr int32_t kFirstLeadInLba = 90 * kFramesPerMinute - kLeadInMsfOffset;  // -45150

struct Msf {
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t frame = 0;
};

constexpr uint8_t ToBcd(uint32_t value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

// A count of frames (0 .. 99:59:74) as a time, binary.
constexpr Msf FramesToMsf(int32_t frames) {
    return Msf{static_cast<uint8_t>(frames / kFramesPerMinute),
               static_cast<uint8_t>(frames / kFramesPerSecond % 60),
               static_cast<uint8_t>(frames % kFramesPerSecond)};
}

// The absolute time of a block: block + 2 s in the program area, 90 minutes and up in the
// lead-in (blocks -45150 .. -151).
constexpr Msf LbaToMsf(int32_t lba) {
    return FramesToMsf(lba >= -kMsfOffset ? lba + kMsfOffset : lba + kLeadInMsfOffset);
}

constexpr int32_t MsfToLba(Msf msf) {
    const int32_t frames = msf.minute * kFramesPerMinute + msf.second * kFramesPerSecond + msf.frame;
    return msf.minute >= 90 ? frames - kLeadInMsfOffset : frames - kMsfOffset;
}

constexpr Msf ToBcd(Msf msf) { return Msf{ToBcd(msf.minute), ToBcd(msf.second), ToBcd(msf.frame)}; }

}  // namespace burnlib::cd
