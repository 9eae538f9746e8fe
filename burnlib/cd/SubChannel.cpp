#include "burnlib/cd/SubChannel.h"

#include <cstring>

namespace burnlib::cd {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) crc = (crc << 1) ^ ((crc & 0x8000) ? 0x1021 : 0);
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

// Each bit of a byte, most significant first, as 0x40 in its own byte (the Q position).
constexpr std::array<std::array<uint8_t, 8>, 256> MakeSpread() {
    std::array<std::array<uint8_t, 8>, 256> table{};
    for (unsigned v = 0; v < 256; ++v)
        for (unsigned j = 0; j < 8; ++j) table[v][j] = (v >> (7 - j) & 1) ? 0x40 : 0x00;
    return table;
}
constexpr std::array<std::array<uint8_t, 8>, 256> kSpread = MakeSpread();

}  // namespace

uint16_t QCrc(const uint8_t* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>(crc << 8 ^ kCrcTable[(crc >> 8 ^ data[i]) & 0xFF]);
    return static_cast<uint16_t>(~crc);
}

void SealQ(QFrame& q) {
    const uint16_t crc = QCrc(q.data(), 10);
    q[10] = static_cast<uint8_t>(crc >> 8);
    q[11] = static_cast<uint8_t>(crc);
}

QFrame ProgramAreaQ(uint8_t control, uint8_t trackBcd, uint8_t indexBcd, Msf relative, int32_t lba) {
    const Msf rel = ToBcd(relative);
    const Msf abs = ToBcd(LbaToMsf(lba));
    QFrame q{control, trackBcd, indexBcd, rel.minute, rel.second, rel.frame, 0,
             abs.minute, abs.second, abs.frame, 0, 0};
    SealQ(q);
    return q;
}

QFrame LeadInQ(uint8_t control, uint8_t point, Msf running, Msf pointBcd) {
    const Msf run = ToBcd(running);
    const Msf pt = pointBcd;
    QFrame q{control, 0x00, point, run.minute, run.second, run.frame, 0,
             pt.minute, pt.second, pt.frame, 0, 0};
    SealQ(q);
    return q;
}

// The CRC goes out inverted here too, exactly as the Q channel is recorded: the block then
// carries the disc's own Q frame.
void PackPq16(const QFrame& q, bool p, uint8_t* out) {
    std::memcpy(out, q.data(), q.size());
    out[12] = out[13] = out[14] = 0;
    out[15] = p ? 0x80 : 0x00;
}

void PackPw96(const QFrame& q, bool p, uint8_t* out) {
    const uint64_t pBits = p ? 0x8080808080808080ull : 0;
    for (size_t k = 0; k < q.size(); ++k) {
        uint64_t bits;
        std::memcpy(&bits, kSpread[q[k]].data(), 8);
        bits |= pBits;
        std::memcpy(out + 8 * k, &bits, 8);
    }
}

}  // namespace burnlib::cd
