// The word-parallel sector encoder, written once over a vector type V and compiled in one file
// per instruction set. Internal to burnlib/cd; include it only from an encoder's .cpp.
//
// V provides: type T, kBytes, Load/Store (unaligned), Zero, Xor, And, Xtime (each byte times
// alpha in GF(2^8)), and Edc (the EDC of n bytes).
//
// P parity: the 24 data rows of 86 bytes are contiguous, so a vector holds many columns at once
// and Horner's rule (acc = acc*alpha ^ row) gives the weighted sum with one Xtime per row.
//
// Q parity: word (row r, column c) of the 26x43 word matrix lies on diagonal (r - c) mod 26 and
// has weight alpha^(44-c). Placing row r at offset 26 - r in a 69-word accumulator (index
// i = 26 - r + c) makes every index hold words of one diagonal (d = -i mod 26), and the weight
// splits into alpha^(45-i) * alpha^(25-r): the row part is Horner over rows again, the index part
// is applied once at the end. The row placed at offset 26 - r is itself a contiguous load of the
// sector 88 bytes further per row, masked to the row's 86 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd::detail {
namespace {

constexpr uint8_t kInverseOf3 = 0xF4;  // 1/(1+alpha); checked against the table below

// 0xFF over 86 bytes with room for a vector to start up to 64 bytes either side.
struct RowMask {
    alignas(64) uint8_t bytes[64 + 86 + 64];
    constexpr RowMask() : bytes{} {
        for (size_t i = 64; i < 64 + 86; ++i) bytes[i] = 0xFF;
    }
};
constexpr RowMask kRowMask{};

template <class V>
class VectorEncoder {
public:
    using T = typename V::T;
    static constexpr size_t B = V::kBytes;

    static void Encode(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
        sector[0] = 0;
        std::memset(sector + 1, 0xFF, 10);
        sector[11] = 0;
        std::memcpy(sector + kHeaderOffset, header, 4);
        if (userData)
            std::memcpy(sector + kUserOffset, userData, 2048);
        else
            std::memset(sector + kUserOffset, 0, 2048);
        const uint32_t edc = V::Edc(sector, kEdcOffset);
        for (int i = 0; i < 4; ++i) sector[kEdcOffset + i] = static_cast<uint8_t>(edc >> (8 * i));
        std::memset(sector + kZeroOffset, 0, 8);
        ParityP(sector);
        ParityQ(sector);
        if (scramble) Scramble(sector);
    }

private:
    static T MulInverseOf3(T x) {
        T result = V::Zero();
        for (int bit = 0; bit < 8; ++bit) {
            if (kInverseOf3 >> bit & 1) result = V::Xor(result, x);
            x = V::Xtime(x);
        }
        return result;
    }

    static void ParityP(uint8_t* sector) {
        constexpr size_t n = (kPColumns + B - 1) / B;
        T s0[n], s1[n];
        for (size_t k = 0; k < n; ++k) s0[k] = s1[k] = V::Zero();
        for (size_t m = 0; m < kPRows; ++m) {
            const uint8_t* row = sector + kHeaderOffset + kPColumns * m;
            for (size_t k = 0; k < n; ++k) {
                const T x = V::Load(row + k * B);
                s0[k] = V::Xor(s0[k], x);
                s1[k] = V::Xor(V::Xtime(s1[k]), x);
            }
        }
        // Rows weighed alpha^23..alpha^0 so far; the code wants alpha^25..alpha^2. The vectors
        // reach past the 86 columns; those lanes land where the b parity and Q parity are
        // written afterwards, so a before b, and both before Q.
        T a[n];
        for (size_t k = 0; k < n; ++k) {
            a[k] = MulInverseOf3(V::Xor(s0[k], V::Xtime(V::Xtime(s1[k]))));
            V::Store(sector + kParityPOffset + k * B, a[k]);
        }
        for (size_t k = 0; k < n; ++k) V::Store(sector + kParityPOffset + kPColumns + k * B, V::Xor(s0[k], a[k]));
    }

    // Accumulator byte p holds index i = p/2 - kShift; the shift keeps the first load of row 0
    // inside the sector for wide vectors.
    static constexpr size_t kShift = B > 16 ? 6 : 0;
    static constexpr size_t kAccBytes = 2 * (69 + kShift);
    static constexpr size_t kAccVectors = (kAccBytes + B - 1) / B;

    static void ParityQ(uint8_t* sector) {
        T a0[kAccVectors], a1[kAccVectors];
        for (size_t k = 0; k < kAccVectors; ++k) a0[k] = a1[k] = V::Zero();
        for (size_t r = 0; r < kQRows; ++r) {
            for (size_t k = 0; k < kAccVectors; ++k) a1[k] = V::Xtime(a1[k]);
            const size_t lo = 2 * (26 - r + kShift);  // accumulator byte of the row's column 0
            const size_t hi = lo + kPColumns;
            // sector byte of accumulator byte p: 12 + 86r + (p - lo)
            const size_t rowStart = kHeaderOffset + kPColumns * r;
            for (size_t k = lo / B; k <= (hi - 1) / B; ++k) {
                const ptrdiff_t rel = static_cast<ptrdiff_t>(k * B) - static_cast<ptrdiff_t>(lo);
                T x = V::Load(sector + rowStart + rel);
                if (rel < 0 || rel + static_cast<ptrdiff_t>(B) > static_cast<ptrdiff_t>(kPColumns))
                    x = V::And(x, V::Load(kRowMask.bytes + 64 + rel));
                a0[k] = V::Xor(a0[k], x);
                a1[k] = V::Xor(a1[k], x);
            }
        }
        alignas(64) uint8_t acc0[kAccVectors * B];
        alignas(64) uint8_t acc1[kAccVectors * B];
        for (size_t k = 0; k < kAccVectors; ++k) {
            V::Store(acc0 + k * B, a0[k]);
            V::Store(acc1 + k * B, a1[k]);
        }
        uint8_t s0[kQDiagonals] = {}, s1[kQDiagonals] = {};
        for (size_t p = 2 * (1 + kShift); p < kAccBytes; ++p) {
            const size_t i = p / 2 - kShift;
            const size_t lane = 2 * ((26 - i % 26) % 26) + (p & 1);
            s0[lane] ^= acc0[p];
            const uint8_t v = acc1[p];
            if (v) s1[lane] ^= kTables.gfExp[kTables.gfLog[v] + (45 + 255 - i) % 255];
        }
        for (size_t lane = 0; lane < kQDiagonals; ++lane) {
            const uint8_t a = kTables.divideBy3[s0[lane] ^ s1[lane]];
            sector[kParityQOffset + lane] = a;
            sector[kParityQOffset + kQDiagonals + lane] = static_cast<uint8_t>(s0[lane] ^ a);
        }
    }

    static void Scramble(uint8_t* sector) {
        size_t i = 0;
        for (; i + B <= 2352; i += B)
            V::Store(sector + i, V::Xor(V::Load(sector + i), V::Load(kTables.scramble + i)));
        for (; i < 2352; ++i) sector[i] ^= kTables.scramble[i];
    }
};

}  // namespace
}  // namespace burnlib::cd::detail
