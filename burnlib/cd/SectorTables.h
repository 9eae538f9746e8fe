// Constant tables shared by the sector encoders (internal to burnlib/cd).
#pragma once

#include <cstddef>
#include <cstdint>

namespace burnlib::cd::detail {

// Sector layout.
constexpr size_t kHeaderOffset = 12;
constexpr size_t kUserOffset = 16;
constexpr size_t kEdcOffset = 2064;
constexpr size_t kZeroOffset = 2068;
constexpr size_t kParityPOffset = 2076;  // 86 "a" bytes, then 86 "b" bytes
constexpr size_t kParityQOffset = 2248;  // 52 "a" bytes, then 52 "b" bytes
constexpr size_t kPColumns = 86;          // byte columns of the P code (43 words x 2 planes)
constexpr size_t kPRows = 24;
constexpr size_t kQDiagonals = 52;        // byte diagonals of the Q code (26 words x 2 planes)
constexpr size_t kQRows = 26;             // rows of 86 bytes that the Q code covers (12..2247)

// Plain arrays without member functions: the AVX2 encoder's file reads them too, and must not
// instantiate inline functions that the baseline files share.
struct EncoderTables {
    // GF(2^8) with x^8+x^4+x^3+x^2+1; exp runs over 512 entries so log sums need no reduction.
    uint8_t gfExp[512];
    uint8_t gfLog[256];
    // Multiplication by 1/(1+alpha), which solves both parity symbols of a vector.
    uint8_t divideBy3[256];
    // Reflected CRC-32 of the EDC, eight tables for eight bytes per step.
    uint32_t edc[8][256];
    // XOR pattern of the whole sector: twelve zeros over the sync, then the scrambler sequence.
    alignas(64) uint8_t scramble[2352];
};
extern const EncoderTables kTables;

// value * alpha^exponent, exponent from -255 up. Static: the wide encoders' files are compiled
// for other instruction sets and must not share an inline copy with the baseline.
static inline uint8_t GfMulExp(uint8_t value, int exponent) {
    return value == 0 ? 0 : kTables.gfExp[(kTables.gfLog[value] + exponent + 255) % 255];
}

uint32_t EdcBytewise(const uint8_t* data, size_t size);
// Continues from `crc` (0 for a whole sector).
uint32_t EdcSliced(const uint8_t* data, size_t size, uint32_t crc = 0);

// Kernels: `sector` receives all 2352 bytes; `header` is bytes 12..15 already in BCD.
void EncodeScalar(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble);
void EncodeSwar64(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble);
#if defined(__x86_64__) || defined(_M_X64)
#define QF_CD_X86 1
void EncodeSse2(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble);
void EncodeAvx2(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble);
#endif

}  // namespace burnlib::cd::detail
