// A plain decoder of raw CD blocks (2352-byte Mode 1 sector + 16- or 96-byte sub-channel), kept
// apart from burnlib/cd so a fault in the fast encoder cannot hide in code or tables they share:
// the recorder checks raw writes with it, and the tests check saved raw writes with it.
// Everything is computed from the ECMA-130 formulas as written; the tables (EDC, Q CRC, Q vector
// offsets) are built from them bit by bit. The recorder runs it over every block of a raw write,
// so the sound block's path takes eight bytes a step and sums many vectors side by side; a
// fault is named by the plain formulas.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace burnlib::rawdecoder {

constexpr size_t kSectorSize = 2352;
constexpr size_t kUserSize = 2048;
constexpr size_t kPqSize = 16;       // data block type 1
constexpr size_t kPwSize = 96;       // data block type 3, raw interleaved
constexpr size_t kPqBlockSize = kSectorSize + kPqSize;  // 2368
constexpr size_t kPwBlockSize = kSectorSize + kPwSize;  // 2448

constexpr uint8_t kLeadOutTno = 0xAA;
constexpr uint8_t kPointFirstTrack = 0xA0;
constexpr uint8_t kPointLastTrack = 0xA1;
constexpr uint8_t kPointLeadOut = 0xA2;

// Outcome of a check: ok, or the reason of the first thing found wrong.
struct Check {
    bool ok = true;
    std::string reason;
    static Check Pass() { return {}; }
    static Check Fail(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

struct Msf {
    int m = 0, s = 0, f = 0;
    int Frames() const { return (m * 60 + s) * 75 + f; }
    bool operator==(const Msf&) const = default;
};
// The absolute time of an address: LBA + 150, and LBA + 450150 in the lead-in (minutes 90..99).
Msf MsfOfLba(int32_t lba);
// Frames counted from 00:00:00, no offset (relative times, 00:02:00 = 150).
Msf MsfOfFrames(int32_t frames);
std::string ToString(const Msf& msf);

// Building blocks, exposed for the check-value tests.
uint32_t Edc(std::span<const uint8_t> bytes);              // CRC-32/CD-ROM-EDC, reflected, init 0
uint16_t QCrc(std::span<const uint8_t> bytes);             // CRC-16 0x1021, init 0, inverted
const std::array<uint8_t, kSectorSize - 12>& ScrambleSequence();  // XORed onto bytes 12..2351
uint8_t GfMul(uint8_t a, uint8_t b);                       // GF(2^8), polynomial 0x11D
// The two RSPC syndromes of every P and Q vector over both byte planes; all zero on a sound sector.
// Returns the first non-zero one, described, or an empty string.
std::string FirstNonZeroSyndrome(std::span<const uint8_t, kSectorSize> plain);
// The same two syndromes of all P vectors, or of all Q vectors: true when every one is zero.
bool PVectorsSound(std::span<const uint8_t, kSectorSize> plain);
bool QVectorsSound(std::span<const uint8_t, kSectorSize> plain);

struct Sector {
    std::array<uint8_t, kSectorSize> plain{};  // descrambled
    Msf header;
    uint8_t mode = 0;
    std::span<const uint8_t, kUserSize> User() const {
        return std::span<const uint8_t, kUserSize>(plain.data() + 16, kUserSize);
    }
};
// Sync, descramble, header BCD, mode 1, EDC, the 8 zero bytes, ECC P and Q.
Check DecodeSector(std::span<const uint8_t> raw, Sector* out);

struct QFrame {
    std::array<uint8_t, 12> bytes{};  // as on the disc, CRC included
    uint8_t control = 0;              // high nibble of byte 0
    uint8_t adr = 0;                  // low nibble of byte 0
    uint8_t tno = 0;                  // binary track number, or kLeadOutTno
    uint8_t indexOrPoint = 0;         // binary INDEX; POINT in the lead-in (0xA0..0xA2 kept as is)
    Msf relative;                     // relative time; running time in the lead-in
    Msf absolute;                     // absolute time; PMIN/PSEC/PFRAME in the lead-in
    bool p = false;                   // P channel flag
    bool crcInverted = true;          // which CRC form matched (the 16-byte block accepts both)
    bool LeadIn() const { return tno == 0; }
};
// Q from a 16-byte PQ block or a 96-byte raw interleaved P-W block (chosen by its size).
Check DecodeSubchannel(std::span<const uint8_t> sub, QFrame* out);

struct Block {
    Sector sector;
    QFrame q;
};
// One block of 2368 or 2448 bytes.
Check DecodeBlock(std::span<const uint8_t> raw, Block* out);

}  // namespace burnlib::rawdecoder
