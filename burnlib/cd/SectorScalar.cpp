// The byte-at-a-time encoder: every parity vector walked as the code defines it, so the faster
// encoders have something plain to be compared with.
#include <cstring>

#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd::detail {
namespace {

constexpr size_t kWordBase = kHeaderOffset;  // parity words count 16-bit words from byte 12

void SolveParity(uint8_t s0, uint8_t s1, uint8_t* a, uint8_t* b) {
    *a = kTables.divideBy3[s0 ^ s1];
    *b = static_cast<uint8_t>(s0 ^ *a);
}

}  // namespace

void EncodeScalar(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
    sector[0] = 0;
    std::memset(sector + 1, 0xFF, 10);
    sector[11] = 0;
    std::memcpy(sector + kHeaderOffset, header, 4);
    if (userData)
        std::memcpy(sector + kUserOffset, userData, 2048);
    else
        std::memset(sector + kUserOffset, 0, 2048);
    const uint32_t edc = EdcBytewise(sector, kEdcOffset);
    for (int i = 0; i < 4; ++i) sector[kEdcOffset + i] = static_cast<uint8_t>(edc >> (8 * i));
    std::memset(sector + kZeroOffset, 0, 8);

    for (size_t plane = 0; plane < 2; ++plane) {
        auto byteOf = [&](size_t word) -> uint8_t& { return sector[kWordBase + 2 * word + plane]; };
        // P: 43 columns of 24 words, weights alpha^(25-m) for m = 0..23, parity at m = 24, 25.
        for (size_t c = 0; c < 43; ++c) {
            uint8_t s0 = 0, s1 = 0;
            for (size_t m = 0; m < 24; ++m) {
                const uint8_t v = byteOf(c + 43 * m);
                s0 ^= v;
                s1 ^= GfMulExp(v, static_cast<int>(25 - m));
            }
            SolveParity(s0, s1, &byteOf(1032 + c), &byteOf(1075 + c));
        }
        // Q: 26 diagonals of 43 words (P parity included), weights alpha^(44-m).
        for (size_t d = 0; d < 26; ++d) {
            uint8_t s0 = 0, s1 = 0;
            for (size_t m = 0; m < 43; ++m) {
                const uint8_t v = byteOf((44 * m + 43 * d) % 1118);
                s0 ^= v;
                s1 ^= GfMulExp(v, static_cast<int>(44 - m));
            }
            SolveParity(s0, s1, &byteOf(1118 + d), &byteOf(1144 + d));
        }
    }

    if (scramble)
        for (size_t i = kHeaderOffset; i < 2352; ++i) sector[i] ^= kTables.scramble[i];
}

}  // namespace burnlib::cd::detail
