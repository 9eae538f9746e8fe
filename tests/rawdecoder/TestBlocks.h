// Test-only builders of raw blocks. The parity generator here solves the two RSPC check
// equations of each vector directly; it serves the tests alone and is not the product's encoder.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "tests/rawdecoder/RawDecoder.h"

namespace testblocks {

using Plain = std::array<uint8_t, rawdecoder::kSectorSize>;
using QBytes = std::array<uint8_t, 12>;

uint8_t ToBcd(int value);

// Sync, BCD header, mode 1 and user data (zeros when `user` is empty); no EDC, no parity.
Plain Unsealed(const rawdecoder::Msf& header, std::span<const uint8_t> user = {});
void StoreEdc(Plain& s);
void FillParity(Plain& s);  // P first, then Q over it
void Scramble(Plain& s);
// Sealed and scrambled: a sound raw sector.
Plain MakeSector(const rawdecoder::Msf& header, std::span<const uint8_t> user = {});

// Q bytes 0..9 plus the CRC (inverted as in the sub-channel, or plain).
QBytes WithCrc(std::array<uint8_t, 10> q, bool inverted = true);
std::array<uint8_t, 96> Pw96(const QBytes& q, bool p);
std::array<uint8_t, 16> Pq16(const QBytes& q, bool p);

// A whole synthetic raw write: lead-in TOC cycle, pregap, one track of `image`, lead-out.
struct Disc {
    int32_t first = -162;
    uint32_t leadOutBlocks = 20;
    size_t blockSize = rawdecoder::kPwBlockSize;
    bool leadInFromZero = false;     // lead-in header and running time count from 00:00:00
    bool pregapEndsAtLastBlock = false;  // pregap relative time is 00:00:00 at LBA -1
    bool crcInverted = true;         // for the 16-byte form
    std::vector<uint8_t> image;      // whole 2048-byte blocks
    int32_t TrackBlocks() const { return static_cast<int32_t>(image.size() / rawdecoder::kUserSize); }
    int32_t Count() const { return TrackBlocks() + static_cast<int32_t>(leadOutBlocks) - first; }
};

// What one block is made of before it is sealed; a test may change it to inject a fault.
struct Parts {
    rawdecoder::Msf header;
    std::array<uint8_t, rawdecoder::kUserSize> user{};
    std::array<uint8_t, 10> q{};
    bool p = false;
    uint8_t mode = 1;
};
using Tamper = std::function<void(int32_t lba, Parts& parts)>;
// A fault injected after sealing (into the finished raw block bytes).
using Damage = std::function<void(int32_t lba, std::vector<uint8_t>& raw)>;

Parts DiscParts(const Disc& disc, int32_t lba);
std::vector<uint8_t> Assemble(const Disc& disc, const Parts& parts);
// Writes `<letter>.raw` and `<letter>.txt` into the folder.
void WriteDisc(const std::filesystem::path& folder, char letter, const Disc& disc, const Tamper& tamper = {},
               const Damage& damage = {});

}  // namespace testblocks
