// A plain decoder of raw CD blocks (2352-byte Mode 1 sector + 16- or 96-byte sub-channel), kept
// apart from burnlib/cd so a fault in the fast encoder cannot hide in code or tables they share.
// Everything is computed bit by bit from the ECMA-130 formulas; speed is not a goal here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace rawdecoder {

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

// What `<letter>.txt` says about `<letter>.raw`.
struct RawWriteInfo {
    int32_t first = 0;
    uint32_t count = 0;
    uint32_t blockSize = 0;
};
// Lines "key value" (first, count, blocksize), each once, any order; blank lines and '#'
// comments ignored, unknown keys refused.
Check ParseRawWriteInfo(std::string_view text, RawWriteInfo* out);

struct RawWriteOptions {
    uint32_t minLeadOutBlocks = 6750;  // 90 s after the first session's program area
};

// The data track's user blocks, delivered in order: LBA 0, 1, ...
using UserDataSink = std::function<void(int32_t lba, std::span<const uint8_t, kUserSize> user)>;

// Checks a raw write one block at a time: each block alone (DecodeBlock) and in its place on the
// disc (lead-in TOC, pregap, one Mode 1 track from LBA 0, lead-out after it).
class RawWriteChecker {
public:
    RawWriteChecker(int32_t first, size_t blockSize, RawWriteOptions options = {}, UserDataSink sink = {});
    // The next block in address order. After a failure every later call fails with the same reason.
    Check Feed(std::span<const uint8_t> raw);
    // After the last block: the lead-out was reached and is long enough.
    Check Finish();
    int32_t NextLba() const { return m_lba; }
    int32_t TrackBlocks() const { return m_leadOutStart; }  // valid once the lead-in was checked

private:
    Check FeedChecked(std::span<const uint8_t> raw);
    Check CheckLeadIn(const Block& b);
    Check CheckPregap(const Block& b);
    Check CheckTrack(const Block& b);
    Check CheckLeadOut(const Block& b);
    Check CheckRunningTime(const Msf& got, int* convention, const char* what);
    Check Fail(const std::string& why);

    int32_t m_first;
    size_t m_blockSize;
    RawWriteOptions m_options;
    UserDataSink m_sink;
    int32_t m_lba;
    Check m_failure = Check::Pass();
    Block m_block;

    bool m_haveFirstQ = false;
    uint8_t m_control = 0;
    bool m_crcInverted = true;
    int m_headerConvention = -1;   // lead-in header: 0 absolute time of the LBA, 1 from 00:00:00
    int m_runningConvention = -1;  // lead-in Q running time, same choices
    int m_pregapConvention = -1;   // pregap relative time ends at 0: 1 at LBA -1, 0 at LBA 0
    uint8_t m_lastPoint = 0;
    int m_pointRun = 0;
    bool m_seenPoint01 = false, m_seenA0 = false, m_seenA1 = false, m_seenA2 = false;
    int32_t m_leadOutStart = -1;
};

// Checks `count` blocks of a .raw file read in chunks; the file must hold exactly that many.
Check CheckRawWriteFile(const std::filesystem::path& raw, const RawWriteInfo& info, const UserDataSink& sink,
                        RawWriteOptions options = {});
// Reads `<letter>.txt` in the folder, then checks `<letter>.raw` beside it.
Check CheckSavedRawWrite(const std::filesystem::path& folder, char letter, const UserDataSink& sink,
                         RawWriteOptions options = {});

// CheckSavedRawWrite, then the track against the image file, streamed: the track holds the
// image from LBA 0, whole, and nothing but zero bytes after it (padding of its last block and any
// blocks a writer added).
Check CheckSavedRawWriteHoldsImage(const std::filesystem::path& folder, char letter,
                                   const std::filesystem::path& image, RawWriteOptions options = {});

}  // namespace rawdecoder
