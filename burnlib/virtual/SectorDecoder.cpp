#include "burnlib/virtual/RawDecoder.h"

#include <cstdio>
#include <cstring>

#include "burnlib/virtual/RawDecoderText.h"

namespace burnlib::rawdecoder {

using detail::Bcd;
using detail::Hex;

namespace {

constexpr size_t kEdcOffset = 2064;
constexpr size_t kPParityOffset = 2076;

// The sync bytes are kept; the rest is XORed with the scramble sequence eight bytes at a time.
void Descramble(const uint8_t* raw, uint8_t* plain) {
    std::memcpy(plain, raw, 12);
    const uint8_t* sequence = ScrambleSequence().data();
    size_t i = 12;
    for (; i + 8 <= kSectorSize; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, raw + i, 8);
        std::memcpy(&b, sequence + i - 12, 8);
        a ^= b;
        std::memcpy(plain + i, &a, 8);
    }
    for (; i < kSectorSize; ++i) plain[i] = raw[i] ^ sequence[i - 12];
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
// once, bit by bit, into a table, and seven more tables take eight bytes a step: table k carries
// a byte through k more bytes of zeros. The CRC has no initial value or final XOR, so it is
// linear: the sector's 2064 bytes run as three independent streams of 688, joined by carrying
// the earlier part's value through 688 bytes of zeros.
namespace {

constexpr size_t kEdcStream = 688;
static_assert(3 * kEdcStream == kEdcOffset);

struct EdcTables {
    std::array<std::array<uint32_t, 256>, 8> slice{};
    std::array<std::array<uint32_t, 256>, 4> zeros{};  // a value, byte k of it, through 688 zero bytes
};

const EdcTables& EdcTable() {
    static const EdcTables tables = [] {
        EdcTables t;
        auto& byte = t.slice[0];
        for (uint32_t value = 0; value < 256; ++value) {
            uint32_t crc = value;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0xD8018001u : 0u);
            byte[value] = crc;
        }
        for (size_t k = 1; k < t.slice.size(); ++k)
            for (uint32_t value = 0; value < 256; ++value)
                t.slice[k][value] = (t.slice[k - 1][value] >> 8) ^ byte[t.slice[k - 1][value] & 0xFF];
        uint32_t column[32];
        for (int bit = 0; bit < 32; ++bit) {
            uint32_t crc = 1u << bit;
            for (size_t i = 0; i < kEdcStream; ++i) crc = (crc >> 8) ^ byte[crc & 0xFF];
            column[bit] = crc;
        }
        for (int k = 0; k < 4; ++k)
            for (uint32_t value = 0; value < 256; ++value)
                for (int bit = 0; bit < 8; ++bit)
                    if (value & (1u << bit)) t.zeros[k][value] ^= column[8 * k + bit];
        return t;
    }();
    return tables;
}

uint32_t EdcStep(const EdcTables& t, uint32_t crc, const uint8_t* p) {
    const auto& s = t.slice;
    const uint32_t low = crc ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    return s[7][low & 0xFF] ^ s[6][(low >> 8) & 0xFF] ^ s[5][(low >> 16) & 0xFF] ^ s[4][low >> 24] ^
           s[3][p[4]] ^ s[2][p[5]] ^ s[1][p[6]] ^ s[0][p[7]];
}

uint32_t ThroughZeros(const EdcTables& t, uint32_t crc) {
    return t.zeros[0][crc & 0xFF] ^ t.zeros[1][(crc >> 8) & 0xFF] ^ t.zeros[2][(crc >> 16) & 0xFF] ^
           t.zeros[3][crc >> 24];
}

}  // namespace

uint32_t Edc(std::span<const uint8_t> bytes) {
    const EdcTables& t = EdcTable();
    const uint8_t* p = bytes.data();
    size_t left = bytes.size();
    if (left == 3 * kEdcStream) {
        uint32_t a = 0, b = 0, c = 0;
        for (size_t i = 0; i < kEdcStream; i += 8) {
            a = EdcStep(t, a, p + i);
            b = EdcStep(t, b, p + kEdcStream + i);
            c = EdcStep(t, c, p + 2 * kEdcStream + i);
        }
        return ThroughZeros(t, ThroughZeros(t, a) ^ b) ^ c;
    }
    uint32_t crc = 0;
    for (; left >= 8; left -= 8, p += 8) crc = EdcStep(t, crc, p);
    for (; left > 0; --left, ++p) crc = (crc >> 8) ^ t.slice[0][(crc ^ *p) & 0xFF];
    return crc;
}

// Ten bytes of every block's Q, so the byte table is made once, bit by bit.
uint16_t QCrc(std::span<const uint8_t> bytes) {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> out{};
        for (uint32_t value = 0; value < 256; ++value) {
            auto crc = static_cast<uint16_t>(value << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
            out[value] = crc;
        }
        return out;
    }();
    uint16_t crc = 0;
    for (uint8_t b : bytes) crc = static_cast<uint16_t>((crc << 8) ^ table[(crc >> 8) ^ b]);
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

Check DecodeSector(std::span<const uint8_t> raw, Sector* out) {
    if (raw.size() != kSectorSize)
        return Check::Fail("sector is " + std::to_string(raw.size()) + " bytes, expected 2352");
    static const uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (std::memcmp(raw.data(), kSync, sizeof kSync) != 0)
        for (size_t i = 0; i < 12; ++i)
            if (raw[i] != kSync[i]) return Check::Fail("sync pattern wrong at byte " + std::to_string(i));

    Descramble(raw.data(), out->plain.data());
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
