// The encoder on 64-bit words: eight byte lanes per operation on any processor.
#include <cstring>

#include "burnlib/cd/SectorVector.h"

namespace burnlib::cd::detail {
namespace {

struct Swar64 {
    using T = uint64_t;
    static constexpr size_t kBytes = 8;
    static T Load(const uint8_t* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(uint8_t* p, T v) { std::memcpy(p, &v, sizeof v); }
    static T Zero() { return 0; }
    static T Xor(T a, T b) { return a ^ b; }
    static T And(T a, T b) { return a & b; }
    static T Xtime(T x) {
        return ((x & 0x7F7F7F7F7F7F7F7Full) << 1) ^ (((x >> 7) & 0x0101010101010101ull) * 0x1D);
    }
    static uint32_t Edc(const uint8_t* p, size_t n) { return EdcSliced(p, n); }
};

}  // namespace

void EncodeSwar64(uint8_t* sector, const uint8_t* userData, const uint8_t header[4], bool scramble) {
    VectorEncoder<Swar64>::Encode(sector, userData, header, scramble);
}

}  // namespace burnlib::cd::detail
