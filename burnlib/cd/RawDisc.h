// Every block of a single-session disc with one Mode 1 data track, as a recorder takes them in
// raw writing: the lead-in with the table of contents in Q, a 2-second pregap, the track and the
// lead-out. The caller streams the disc through GenerateRawBlocks in batches of any size,
// handing over only the track's user data; everything else is built here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "burnlib/cd/Sector.h"
#include "burnlib/cd/SubChannel.h"

namespace burnlib::cd {

enum class Subchannel : uint8_t {
    Pq16,  // 2352 + 16 bytes P-Q (data block type 1)
    Pw96,  // 2352 + 96 bytes raw P-W, interleaved (data block type 3)
};

// Recorded in the lead-in (POINT A0).
enum class DiscType : uint8_t { CdRom = 0x00, CdI = 0x10, CdRomXa = 0x20 };

constexpr int32_t kPregapBlocks = 150;
constexpr int32_t kFirstSessionLeadOutBlocks = 6750;  // 90 s
constexpr int32_t kMinTrackBlocks = 300;              // 4 s; pad shorter images with zero blocks
// The lead-in carries each of its four table-of-contents items in three blocks in a row; a lead-in
// shorter than one round of them leaves the disc without a table of contents.
constexpr int32_t kMinLeadInBlocks = 12;
// The last block must stay below 90:00:00, where lead-in times begin.
constexpr int32_t kMaxDiscEnd = 90 * kFramesPerMinute - kMsfOffset;

struct RawDiscLayout {
    int32_t leadInStart = -11635;  // first lead-in block, as the drive reports it
    int32_t trackBlocks = 0;       // user-data blocks of track 1, from block 0
    int32_t leadOutBlocks = kFirstSessionLeadOutBlocks;
    Subchannel subchannel = Subchannel::Pq16;
    DiscType discType = DiscType::CdRom;
    bool copyPermitted = false;
};

enum class Region : uint8_t { LeadIn, Pregap, Track, LeadOut };

// 2368 or 2448.
size_t RawBlockSize(Subchannel subchannel);
// Lead-in from -45150 .. -151 and at least kMinLeadInBlocks long, a track of at least kMinTrackBlocks, a lead-out, all ending
// before kMaxDiscEnd, and a known disc type.
bool IsValidLayout(const RawDiscLayout& layout);
// The disc runs from leadInStart up to (not including) DiscEnd.
int32_t DiscEnd(const RawDiscLayout& layout);
Region RegionOf(const RawDiscLayout& layout, int32_t lba);
// How many of blocks lba .. lba+count-1 are track blocks, i.e. how many 2048-byte units of user
// data a GenerateRawBlocks call over them takes.
uint32_t TrackBlocksIn(const RawDiscLayout& layout, int32_t lba, uint32_t count);

// Sub-channel of one block.
QFrame BlockQ(const RawDiscLayout& layout, int32_t lba);
bool BlockP(const RawDiscLayout& layout, int32_t lba);

// Writes blocks lba .. lba+count-1, each RawBlockSize bytes, one after the other into `out`.
// `userData` holds 2048 bytes for each track block in the range, in order (may be null when
// the range has none). Returns false, writing nothing, when the layout is invalid or the range
// leaves the disc. Allocates nothing.
bool GenerateRawBlocks(const RawDiscLayout& layout, int32_t lba, uint32_t count, const uint8_t* userData,
                       uint8_t* out, Kernel kernel = BestKernel());

}  // namespace burnlib::cd
