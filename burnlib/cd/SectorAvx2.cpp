// The encoder on 256-bit AVX2 vectors. This file alone is compiled for AVX2 and PCLMULQDQ; it is
// called only after the processor was seen to have both, and shares no inline code with the
// baseline files (everything here has internal linkage).
#include <immintrin.h>

#include "burnlib/cd/SectorVector.h"

namespace burnlib::cd::detail {
namespace {

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
    static uint32_t Edc(const uint8_t* p, size_t n) { return EdcSliced(p, n); }
};

}  // namespace

void EncodeAvx2(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
    VectorEncoder<Avx2>::Encode(sector, userData, header, scramble);
}

}  // namespace burnlib::cd::detail
