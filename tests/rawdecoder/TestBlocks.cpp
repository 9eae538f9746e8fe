#include "tests/rawdecoder/TestBlocks.h"

#include <fstream>

using rawdecoder::GfMul;
using rawdecoder::Msf;

namespace testblocks {

namespace {

uint8_t& At(Plain& s, int plane, int w) { return s[12 + 2 * w + plane]; }

uint8_t InverseOf3() {
    for (int i = 1; i < 256; ++i)
        if (GfMul(3, static_cast<uint8_t>(i)) == 1) return static_cast<uint8_t>(i);
    return 0;
}

// Data symbols carry weights alpha^(n-1-m) down to alpha^2; the parity pair sits at alpha^1 and
// alpha^0. With S0 the XOR and S1 the weighted sum of the data: a(alpha+1) = S0+S1, b = S0+a.
template <typename WordOf>
void SolveVector(Plain& s, int plane, int dataLength, WordOf wordOf) {
    uint8_t s0 = 0, horner = 0;
    for (int m = 0; m < dataLength; ++m) {
        uint8_t v = At(s, plane, wordOf(m));
        s0 ^= v;
        horner = GfMul(horner, 2) ^ v;
    }
    uint8_t s1 = GfMul(GfMul(horner, 2), 2);
    static const uint8_t inverseOf3 = InverseOf3();
    uint8_t a = GfMul(s0 ^ s1, inverseOf3);
    At(s, plane, wordOf(dataLength)) = a;
    At(s, plane, wordOf(dataLength + 1)) = s0 ^ a;
}

Msf Bcdless(int32_t frames) { return rawdecoder::MsfOfFrames(frames); }

void PutMsf(std::array<uint8_t, 10>& q, size_t at, const Msf& msf) {
    q[at] = ToBcd(msf.m);
    q[at + 1] = ToBcd(msf.s);
    q[at + 2] = ToBcd(msf.f);
}

}  // namespace

uint8_t ToBcd(int value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

Plain Unsealed(const Msf& header, std::span<const uint8_t> user) {
    Plain s{};
    for (int i = 1; i < 11; ++i) s[i] = 0xFF;
    s[12] = ToBcd(header.m);
    s[13] = ToBcd(header.s);
    s[14] = ToBcd(header.f);
    s[15] = 0x01;
    for (size_t i = 0; i < user.size() && i < rawdecoder::kUserSize; ++i) s[16 + i] = user[i];
    return s;
}

void StoreEdc(Plain& s) {
    uint32_t edc = rawdecoder::Edc(std::span<const uint8_t>(s).first(2064));
    for (int i = 0; i < 4; ++i) s[2064 + i] = static_cast<uint8_t>(edc >> (8 * i));
}

void FillParity(Plain& s) {
    for (int plane = 0; plane < 2; ++plane)
        for (int c = 0; c < 43; ++c) SolveVector(s, plane, 24, [c](int m) { return c + 43 * m; });
    for (int plane = 0; plane < 2; ++plane)
        for (int d = 0; d < 26; ++d)
            SolveVector(s, plane, 43, [d](int m) { return m < 43 ? (44 * m + 43 * d) % 1118 : 1118 + (m - 43) * 26 + d; });
}

void Scramble(Plain& s) {
    const auto& sequence = rawdecoder::ScrambleSequence();
    for (size_t i = 12; i < s.size(); ++i) s[i] ^= sequence[i - 12];
}

Plain MakeSector(const Msf& header, std::span<const uint8_t> user) {
    Plain s = Unsealed(header, user);
    StoreEdc(s);
    FillParity(s);
    Scramble(s);
    return s;
}

QBytes WithCrc(std::array<uint8_t, 10> q, bool inverted) {
    QBytes out{};
    for (size_t i = 0; i < 10; ++i) out[i] = q[i];
    uint16_t crc = rawdecoder::QCrc(q);
    if (!inverted) crc = static_cast<uint16_t>(~crc);
    out[10] = static_cast<uint8_t>(crc >> 8);
    out[11] = static_cast<uint8_t>(crc);
    return out;
}

std::array<uint8_t, 96> Pw96(const QBytes& q, bool p) {
    std::array<uint8_t, 96> out{};
    for (size_t k = 0; k < 12; ++k)
        for (size_t j = 0; j < 8; ++j)
            out[8 * k + j] = static_cast<uint8_t>((p ? 0x80 : 0) | (((q[k] >> (7 - j)) & 1) << 6));
    return out;
}

std::array<uint8_t, 16> Pq16(const QBytes& q, bool p) {
    std::array<uint8_t, 16> out{};
    for (size_t i = 0; i < 12; ++i) out[i] = q[i];
    out[15] = p ? 0x80 : 0;
    return out;
}

Parts DiscParts(const Disc& disc, int32_t lba) {
    Parts parts;
    const int32_t trackBlocks = disc.TrackBlocks();
    parts.header = rawdecoder::MsfOfLba(lba);
    parts.q[0] = 0x41;
    if (lba < -150) {
        static const uint8_t kCycle[4] = {0x01, 0xA0, 0xA1, 0xA2};
        const uint8_t point = kCycle[((lba - disc.first) / 3) % 4];
        if (disc.leadInFromZero) parts.header = Bcdless(lba - disc.first);
        parts.q[1] = 0x00;
        parts.q[2] = point;
        PutMsf(parts.q, 3, parts.header);
        const Msf pm = point == 0x01 ? Msf{0, 2, 0} : point == 0xA2 ? rawdecoder::MsfOfLba(trackBlocks) : Msf{1, 0, 0};
        PutMsf(parts.q, 7, pm);
    } else if (lba < 0) {
        parts.q[1] = 0x01;
        parts.q[2] = 0x00;
        PutMsf(parts.q, 3, Bcdless(disc.pregapEndsAtLastBlock ? -lba - 1 : -lba));
        PutMsf(parts.q, 7, parts.header);
        parts.p = true;
    } else if (lba < trackBlocks) {
        parts.q[1] = 0x01;
        parts.q[2] = 0x01;
        PutMsf(parts.q, 3, Bcdless(lba));
        PutMsf(parts.q, 7, parts.header);
        for (size_t i = 0; i < rawdecoder::kUserSize; ++i)
            parts.user[i] = disc.image[static_cast<size_t>(lba) * rawdecoder::kUserSize + i];
    } else {
        parts.q[1] = 0xAA;
        parts.q[2] = 0x01;
        PutMsf(parts.q, 3, Bcdless(lba - trackBlocks));
        PutMsf(parts.q, 7, parts.header);
    }
    return parts;
}

std::vector<uint8_t> Assemble(const Disc& disc, const Parts& parts) {
    Plain s = Unsealed(parts.header, parts.user);
    s[15] = parts.mode;
    StoreEdc(s);
    FillParity(s);
    Scramble(s);
    std::vector<uint8_t> raw(s.begin(), s.end());
    const QBytes q = WithCrc(parts.q, disc.blockSize == rawdecoder::kPwBlockSize || disc.crcInverted);
    if (disc.blockSize == rawdecoder::kPwBlockSize) {
        auto sub = Pw96(q, parts.p);
        raw.insert(raw.end(), sub.begin(), sub.end());
    } else {
        auto sub = Pq16(q, parts.p);
        raw.insert(raw.end(), sub.begin(), sub.end());
    }
    return raw;
}

void WriteDisc(const std::filesystem::path& folder, char letter, const Disc& disc, const Tamper& tamper,
               const Damage& damage) {
    std::ofstream raw(folder / (std::string(1, letter) + ".raw"), std::ios::binary);
    for (int32_t lba = disc.first; lba < disc.first + disc.Count(); ++lba) {
        Parts parts = DiscParts(disc, lba);
        if (tamper) tamper(lba, parts);
        std::vector<uint8_t> block = Assemble(disc, parts);
        if (damage) damage(lba, block);
        raw.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    std::ofstream txt(folder / (std::string(1, letter) + ".txt"), std::ios::binary);
    txt << "first " << disc.first << "\ncount " << disc.Count() << "\nblocksize " << disc.blockSize << "\n";
}

}  // namespace testblocks
