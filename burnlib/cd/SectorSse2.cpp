// The encoder on 128-bit SSE2 vectors, which every x86-64 processor has.
#include <emmintrin.h>

#include "burnlib/cd/SectorVector.h"

namespace burnlib::cd::detail {
namespace {

struct Sse2 {
    using T = __m128i;
    static constexpr size_t kBytes = 16;
    static T Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static T Zero() { return _mm_setzero_si128(); }
    static T Xor(T a, T b) { return _mm_xor_si128(a, b); }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    static T Xtime(T x) {
        const T carry = _mm_and_si128(_mm_cmplt_epi8(x, _mm_setzero_si128()), _mm_set1_epi8(0x1D));
        return _mm_xor_si128(_mm_add_epi8(x, x), carry);
    }
    static uint32_t Edc(const uint8_t* p, size_t n) { return EdcSliced(p, n); }
};

}  // namespace

void EncodeSse2(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
    VectorEncoder<Sse2>::Encode(sector, userData, header, scramble);
}

}  // namespace burnlib::cd::detail
