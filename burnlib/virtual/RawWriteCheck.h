// What a recorder checks of a Session-At-Once cue sheet and of the raw blocks of a Disc-At-Once
// write: one Mode 1 data track on a first session. A real drive would burn whatever it gets; the
// virtual recorder refuses anything malformed so a fault of the host shows where it happens.
//
// Sense data of the refusals (all key 05, ILLEGAL REQUEST):
//   1A/00  the cue sheet is empty or not a whole number of 8-byte entries
//   26/00  a cue sheet entry or a raw block is malformed (the reason names the field)
//   21/00  the cue sheet's lead-out lies beyond the last possible lead-out of the disc
//   21/02  a raw block out of address order, or a write that does not start in the lead-in
//
// Where the sources that write raw discs differ (lead-in header address and Q running time
// counted from the address or from 00:00:00, the pregap's relative time ending at its last block
// or at the track's first, the 16-byte PQ block's CRC inverted or not, the lead-out's P
// pattern, P in the last 2 s of the track), each one is taken, then held to for the rest of
// the write. Q frames of modes 2 and 3 (catalogue number, ISRC) are not taken: the disc of one
// ISO track carries none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "burnlib/virtual/RawDecoder.h"

namespace burnlib {

struct RawVerdict {  // key 0: accepted
    uint8_t key = 0, asc = 0, ascq = 0;
    std::string reason;  // what was wrong, for a test to show
    bool Ok() const { return key == 0; }
};

// A Session-At-Once cue sheet, as the drive reads it.
struct CueLayout {
    int32_t pregapStart = -150;  // index 0 of track 1
    int32_t trackStart = 0;      // index 1 of track 1
    int32_t leadOutStart = 0;    // first block after the track
    uint8_t control = 4;         // Q control of the track (4 data, 6 data copy permitted)
    uint8_t dataForm = 0x10;     // 10h: 2048-byte Mode 1 user data from the host
    bool cdTextInLeadIn = false;
};

// One Mode 1 track (data form 10h) of at least 4 s with its lead-in, a pregap from 00:00:00, and
// the lead-out no later than lastPossibleLeadOut. MCN and ISRC entry pairs are taken and skipped.
// `out` is written only when the sheet is accepted.
RawVerdict ParseCueSheet(const uint8_t* data, size_t length, int32_t lastPossibleLeadOut, CueLayout* out);

// The raw blocks (write type 3) of one disc-at-once write, checked in address order as they
// arrive: sync, header address, mode, EDC, ECC, scrambling, Q CRC and positions, the lead-in TOC
// items and the lead-out. dataBlockType 1 (2368: PQ 16), 2 or 3 (2448: P-W 96).
//
// The write starts at leadInStart. A block that passes is taken and the next address follows it;
// a block refused for its content ends the write (the disc would hold it), so every later block
// is refused too. A block at the wrong address is refused without harm.
class RawDiscChecker {
public:
    RawDiscChecker(int32_t leadInStart, uint8_t dataBlockType);
    uint32_t BlockSize() const;  // 0 for a data block type without sub-channel
    // The block at `lba` (must be the next one in order). When it is a block of the data track,
    // *isUserBlock = true and userData (2048 bytes, may be null) receives its descrambled user data.
    RawVerdict Check(int32_t lba, const uint8_t* block, uint8_t* userData, bool* isUserBlock);
    bool LayoutKnown() const;      // the lead-in's TOC has given the lead-out start
    int32_t LeadOutStart() const;  // = the track's length in blocks (track starts at 0); 0 until known
    uint8_t TrackControl() const;
    bool Complete() const;  // the lead-out has been written to its full length

    int32_t NextLba() const { return m_lba; }
    // Lead-out blocks taken so far.
    int32_t LeadOutBlocksWritten() const;
    // The refusal that ended the write, if one did.
    const RawVerdict& Failure() const { return m_failure; }

    static constexpr int32_t kFirstSessionLeadOutBlocks = 6750;  // 90 s

private:
    rawdecoder::Check CheckBlock(const uint8_t* raw);
    rawdecoder::Check CheckLeadIn(const rawdecoder::Block& b);
    rawdecoder::Check CheckPregap(const rawdecoder::Block& b);
    rawdecoder::Check CheckTrack(const rawdecoder::Block& b);
    rawdecoder::Check CheckLeadOut(const rawdecoder::Block& b);
    rawdecoder::Check CheckRunningTime(const rawdecoder::Msf& got, int* convention, const char* what);

    int32_t m_first;
    uint32_t m_blockSize;
    int32_t m_lba;
    RawVerdict m_failure;
    rawdecoder::Block m_block;

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

}  // namespace burnlib
