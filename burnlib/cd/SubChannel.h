// Sub-channel P and Q of one block, and the two forms a recorder takes them in when the host
// writes raw: 16 bytes P-Q, or 96 bytes raw with one bit of each channel per byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "burnlib/cd/Msf.h"

namespace burnlib::cd {

// Bytes 0..9 of the Q channel, then its CRC (high byte first).
using QFrame = std::array<uint8_t, 12>;

constexpr size_t kPq16Size = 16;
constexpr size_t kPw96Size = 96;

// Q byte 0 for a data track: control 4 (data), address mode 1; bit 5 marks copying permitted.
constexpr uint8_t DataTrackControl(bool copyPermitted) { return copyPermitted ? 0x61 : 0x41; }

constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kPointFirstTrack = 0xA0;
constexpr uint8_t kPointLastTrack = 0xA1;
constexpr uint8_t kPointLeadOut = 0xA2;

// CRC-16 (x^16+x^12+x^5+1, initial 0, MSB first), inverted as recorded.
uint16_t QCrc(const uint8_t* data, size_t size);
// Fills bytes 10..11 from bytes 0..9.
void SealQ(QFrame& q);

// A program-area or lead-out block: track (BCD, AA for the lead-out), index (BCD), time
// within the track or lead-out, and the block's own address for the absolute time.
QFrame ProgramAreaQ(uint8_t control, uint8_t trackBcd, uint8_t indexBcd, Msf relative, int32_t lba);
// A lead-in block: one table-of-contents item (POINT) with its three bytes, already in BCD (a
// time, or a track number and disc type), and the lead-in's running time.
QFrame LeadInQ(uint8_t control, uint8_t point, Msf running, Msf pointBcd);

// Data block type 1: Q with its CRC, three zero bytes, P in bit 7 of byte 15.
void PackPq16(const QFrame& q, bool p, uint8_t* out);
// Data block type 3: byte i holds bit i of each channel (bit 7 P, bit 6 Q, R..W zero), bits
// taken from the most significant of each channel byte.
void PackPw96(const QFrame& q, bool p, uint8_t* out);

}  // namespace burnlib::cd
