#include "burnlib/virtual/RawDecoder.h"

#include <cstdio>

#include "burnlib/virtual/RawDecoderText.h"

namespace burnlib::rawdecoder {

using detail::Bcd;
using detail::Hex;

namespace {

constexpr size_t kEdcOffset = 2064;
constexpr size_t kPParityOffset = 2076;

uint8_t MulAlpha(uint8_t a) {
    return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0x00));
}

// Word w of the 1170 16-bit words of bytes 12..2351, in one byte plane.
uint8_t Symbol(std::span<const uint8_t, kSectorSize> s, int plane, int w) {
    return s[12 + 2 * w + plane];
}

// A vector is sound when the XOR of its symbols (row of ones) and its Horner sum with alpha
// (row alpha^(n-1-m)) are both zero.
template <typename WordOf>
bool Syndromes(std::span<const uint8_t, kSectorSize> s, int plane, int length, WordOf wordOf, uint8_t* s0,
               uint8_t* s1) {
    uint8_t x = 0, h = 0;
    for (int m = 0; m < length; ++m) {
        uint8_t v = Symbol(s, plane, wordOf(m));
        x ^= v;
        h = static_cast<uint8_t>(MulAlpha(h) ^ v);
    }
    *s0 = x;
    *s1 = h;
    return x == 0 && h == 0;
}

}  // namespace

Msf MsfOfFrames(int32_t frames) {
    return {frames / (60 * 75), (frames / 75) % 60, frames % 75};
}

Msf MsfOfLba(int32_t lba) {
    return MsfOfFrames(lba >= -150 ? lba + 150 : lba + 450150);
}

std::string ToString(const Msf& msf) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", msf.m, msf.s, msf.f);
    return text;
}

// The recorder runs this over every raw block, so the eight shifts of each byte value are done
// once, bit by bit, into a table.
uint32_t Edc(std::span<const uint8_t> bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> out{};
        for (uint32_t value = 0; value < 256; ++value) {
            uint32_t crc = value;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xD8018001u : 0u);
            out[value] = crc;
        }
        return out;
    }();
    uint32_t crc = 0;
    for (uint8_t b : bytes) crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF];
    return crc;
}

uint16_t QCrc(std::span<const uint8_t> bytes) {
    uint16_t crc = 0;
    for (uint8_t b : bytes) {
        crc = static_cast<uint16_t>(crc ^ (b << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

const std::array<uint8_t, kSectorSize - 12>& ScrambleSequence() {
    static const std::array<uint8_t, kSectorSize - 12> sequence = [] {
        std::array<uint8_t, kSectorSize - 12> out{};
        uint16_t reg = 0x0001;
        for (uint8_t& byte : out) {
            for (int bit = 0; bit < 8; ++bit) {
                byte = static_cast<uint8_t>(byte | ((reg & 1) << bit));
                uint16_t feedback = (reg ^ (reg >> 1)) & 1;
                reg = static_cast<uint16_t>((reg >> 1) | (feedback << 14));
            }
        }
        return out;
    }();
    return sequence;
}

uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1) product ^= a;
        a = MulAlpha(a);
        b >>= 1;
    }
    return product;
}

std::string FirstNonZeroSyndrome(std::span<const uint8_t, kSectorSize> s) {
    uint8_t s0 = 0, s1 = 0;
    for (int plane = 0; plane < 2; ++plane) {
        for (int c = 0; c < 43; ++c) {
            if (!Syndromes(s, plane, 26, [c](int m) { return c + 43 * m; }, &s0, &s1))
                return "ECC P check failed (plane " + std::to_string(plane) + ", column " + std::to_string(c) +
                       ", syndromes " + Hex(s0) + " " + Hex(s1) + ")";
        }
    }
    for (int plane = 0; plane < 2; ++plane) {
        for (int d = 0; d < 26; ++d) {
            auto wordOf = [d](int m) { return m < 43 ? (44 * m + 43 * d) % 1118 : 1118 + (m - 43) * 26 + d; };
            if (!Syndromes(s, plane, 45, wordOf, &s0, &s1))
                return "ECC Q check failed (plane " + std::to_string(plane) + ", diagonal " + std::to_string(d) +
                       ", syndromes " + Hex(s0) + " " + Hex(s1) + ")";
        }
    }
    return {};
}

Check DecodeSector(std::span<const uint8_t> raw, Sector* out) {
    if (raw.size() != kSectorSize)
        return Check::Fail("sector is " + std::to_string(raw.size()) + " bytes, expected 2352");
    static const uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (size_t i = 0; i < 12; ++i)
        if (raw[i] != kSync[i]) return Check::Fail("sync pattern wrong at byte " + std::to_string(i));

    const auto& sequence = ScrambleSequence();
    for (size_t i = 0; i < 12; ++i) out->plain[i] = raw[i];
    for (size_t i = 12; i < kSectorSize; ++i) out->plain[i] = raw[i] ^ sequence[i - 12];
    const std::span<const uint8_t, kSectorSize> s(out->plain);

    out->mode = s[15];
    if (out->mode != 0x01) {
        // The mode byte reads right before descrambling only when the sector was never scrambled.
        if (raw[15] == 0x01)
            return Check::Fail("sector not scrambled (mode byte reads 01 only before descrambling)");
        return Check::Fail("mode byte is " + Hex(out->mode) + ", expected 01");
    }
    if (!Bcd(s[12], &out->header.m) || !Bcd(s[13], &out->header.s) || !Bcd(s[14], &out->header.f) ||
        out->header.s > 59 || out->header.f > 74)
        return Check::Fail("header address " + Hex(s[12]) + " " + Hex(s[13]) + " " + Hex(s[14]) + " is not BCD MSF");

    uint32_t edc = Edc(s.first(kEdcOffset));
    uint32_t stored = s[kEdcOffset] | (s[kEdcOffset + 1] << 8) | (s[kEdcOffset + 2] << 16) |
                      (static_cast<uint32_t>(s[kEdcOffset + 3]) << 24);
    if (edc != stored) {
        char text[80];
        std::snprintf(text, sizeof text, "EDC mismatch (stored %08X, computed %08X)", stored, edc);
        return Check::Fail(text);
    }
    for (size_t i = kEdcOffset + 4; i < kPParityOffset; ++i)
        if (s[i] != 0) return Check::Fail("intermediate byte " + std::to_string(i) + " is not zero");
    std::string syndrome = FirstNonZeroSyndrome(s);
    if (!syndrome.empty()) return Check::Fail(syndrome);
    return Check::Pass();
}

}  // namespace burnlib::rawdecoder
