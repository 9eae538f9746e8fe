// The encoder on 256-bit AVX2 vectors. This file alone is compiled for AVX2 and PCLMULQDQ; it is
// called only after the processor was seen to have both, and shares no inline code with the
// baseline files (everything here has internal linkage).
#include <immintrin.h>

#include "burnlib/cd/SectorVector.h"

namespace burnlib::cd::detail {
namespace {

// x^n mod P for the EDC polynomial, bit e standing for x^e.
constexpr uint64_t XPowerModP(unsigned n) {
    uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r >> 32 & 1) r ^= 0x18001801Bull;
    }
    return r;
}

constexpr uint64_t Reflect64(uint64_t v) {
    uint64_t r = 0;
    for (int i = 0; i < 64; ++i) r |= (v >> i & 1) << (63 - i);
    return r;
}

// Folding constants for carry-less multiplication on reflected data. A 128-bit block loaded from
// memory holds x^127 in bit 0; its low half H and high half L stand for H*x^64 + L. Moving the
// block D bits further down the message multiplies it by x^D, i.e. H by x^(D+64) and L by x^D,
// both reduced mod P. A carry-less product of two reflected 64-bit lanes comes out one power
// of x short in this layout, hence the -1.
constexpr uint64_t kFold512High = Reflect64(XPowerModP(512 + 64 - 1));
constexpr uint64_t kFold512Low = Reflect64(XPowerModP(512 - 1));
constexpr uint64_t kFold128High = Reflect64(XPowerModP(128 + 64 - 1));
constexpr uint64_t kFold128Low = Reflect64(XPowerModP(128 - 1));

inline __m128i Fold(__m128i x, __m128i constants, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00), _mm_clmulepi64_si128(x, constants, 0x11)),
                         next);
}

inline __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Folds the message down to its last 16 bytes without changing its remainder mod P, then lets
// the table finish those (the CRC starts from zero, so the remainder is all that counts).
uint32_t EdcFolded(const uint8_t* p, size_t n) {
    if (n < 64) return EdcSliced(p, n);
    const __m128i k512 = _mm_set_epi64x(static_cast<int64_t>(kFold512Low), static_cast<int64_t>(kFold512High));
    const __m128i k128 = _mm_set_epi64x(static_cast<int64_t>(kFold128Low), static_cast<int64_t>(kFold128High));
    __m128i x0 = Load128(p), x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
    size_t done = 64;
    for (; done + 64 <= n; done += 64) {
        x0 = Fold(x0, k512, Load128(p + done));
        x1 = Fold(x1, k512, Load128(p + done + 16));
        x2 = Fold(x2, k512, Load128(p + done + 32));
        x3 = Fold(x3, k512, Load128(p + done + 48));
    }
    __m128i x = Fold(Fold(Fold(x0, k128, x1), k128, x2), k128, x3);
    for (; done + 16 <= n; done += 16) x = Fold(x, k128, Load128(p + done));
    alignas(16) uint8_t last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
    return EdcSliced(p + done, n - done, EdcSliced(last, 16));
}

struct Avx2 {
    using T = __m256i;
    static constexpr size_t kBytes = 32;
    static T Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static T Zero() { return _mm256_setzero_si256(); }
    static T Xor(T a, T b) { return _mm256_xor_si256(a, b); }
    static T And(T a, T b) { return _mm256_and_si256(a, b); }
    static T Xtime(T x) {
        const T carry = _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_setzero_si256(), x), _mm256_set1_epi8(0x1D));
        return _mm256_xor_si256(_mm256_add_epi8(x, x), carry);
    }
    static uint32_t Edc(const uint8_t* p, size_t n) { return EdcFolded(p, n); }
};

}  // namespace

void EncodeAvx2(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
    VectorEncoder<Avx2>::Encode(sector, userData, header, scramble);
}

}  // namespace burnlib::cd::detail
