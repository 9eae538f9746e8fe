#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd::detail {
namespace {

// 15-bit shift register seeded with 1: each step emits bit 0 and feeds bit0^bit1 into bit 14;
// the emitted bits fill each byte from its least significant bit.
constexpr EncoderTables MakeTables() {
    EncoderTables t{};
    unsigned value = 1;
    for (size_t i = 0; i < 512; ++i) {
        t.gfExp[i] = static_cast<uint8_t>(value);
        value <<= 1;
        if (value & 0x100) value ^= 0x11D;
    }
    for (size_t i = 0; i < 255; ++i) t.gfLog[t.gfExp[i]] = static_cast<uint8_t>(i);
    for (size_t v = 1; v < 256; ++v) t.divideBy3[v] = t.gfExp[(t.gfLog[v] + 255 - t.gfLog[3]) % 255];

    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xD8018001u : 0u);
        t.edc[0][i] = crc;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) t.edc[k][i] = (t.edc[k - 1][i] >> 8) ^ t.edc[0][t.edc[k - 1][i] & 0xFF];

    unsigned reg = 1;
    for (size_t i = kHeaderOffset; i < 2352; ++i) {
        unsigned byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
            byte |= (reg & 1) << bit;
            const unsigned feedback = (reg ^ (reg >> 1)) & 1;
            reg = (reg >> 1) | (feedback << 14);
        }
        t.scramble[i] = static_cast<uint8_t>(byte);
    }
    return t;
}

inline uint32_t Load32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

constinit const EncoderTables kTables = MakeTables();

uint32_t EdcBytewise(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ kTables.edc[0][(crc ^ data[i]) & 0xFF];
    return crc;
}

uint32_t EdcSliced(const uint8_t* data, size_t size, uint32_t crc) {
    const auto& t = kTables.edc;
    for (; size >= 8; size -= 8, data += 8) {
        const uint32_t lo = crc ^ Load32(data);
        const uint32_t hi = Load32(data + 4);
        crc = t[7][lo & 0xFF] ^ t[6][lo >> 8 & 0xFF] ^ t[5][lo >> 16 & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][hi >> 8 & 0xFF] ^ t[1][hi >> 16 & 0xFF] ^ t[0][hi >> 24];
    }
    for (; size > 0; --size, ++data) crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
    return crc;
}

}  // namespace burnlib::cd::detail
