// The disc in a virtual drive: what is recorded on it and how it answers the drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "burnlib/common/Msf.h"

namespace burnlib {

// MMC profile numbers of the media the model knows.
inline constexpr uint16_t kProfileNone = 0x0000;
inline constexpr uint16_t kProfileCdRom = 0x0008;
inline constexpr uint16_t kProfileCdR = 0x0009;
inline constexpr uint16_t kProfileCdRw = 0x000A;
inline constexpr uint16_t kProfileDvdRom = 0x0010;
inline constexpr uint16_t kProfileDvdR = 0x0011;
inline constexpr uint16_t kProfileDvdRam = 0x0012;
inline constexpr uint16_t kProfileDvdRwRestricted = 0x0013;
inline constexpr uint16_t kProfileDvdRwSequential = 0x0014;
inline constexpr uint16_t kProfileDvdRDl = 0x0015;
inline constexpr uint16_t kProfileDvdRDlJump = 0x0016;
inline constexpr uint16_t kProfileDvdPlusRw = 0x001A;
inline constexpr uint16_t kProfileDvdPlusR = 0x001B;
inline constexpr uint16_t kProfileDvdPlusRwDl = 0x002A;
inline constexpr uint16_t kProfileDvdPlusRDl = 0x002B;
inline constexpr uint16_t kProfileBdRom = 0x0040;
inline constexpr uint16_t kProfileBdR = 0x0041;
inline constexpr uint16_t kProfileBdRRandom = 0x0042;
inline constexpr uint16_t kProfileBdRe = 0x0043;
inline constexpr uint16_t kProfileHdDvdRom = 0x0050;
inline constexpr uint16_t kProfileHdDvdR = 0x0051;
inline constexpr uint16_t kProfileHdDvdRam = 0x0052;
inline constexpr uint16_t kProfileHdDvdRw = 0x0053;

enum class MediumFamily : uint8_t { None, Cd, Dvd, Bd, HdDvd };

MediumFamily FamilyOfProfile(uint16_t profile);
// Media written only in order, track after track (the ones with an invisible track).
bool IsSequentialProfile(uint16_t profile);
// Media written anywhere once formatted: one track spanning the disc.
bool IsOverwritableProfile(uint16_t profile);
bool IsRomProfile(uint16_t profile);

enum class DiscState : uint8_t { Blank, Appendable, Closed };

class DiscStore;

struct RecordedTrack {
    uint16_t session = 1;
    int32_t start = 0;        // LBA of the first user block
    uint32_t length = 0;      // blocks recorded
    uint8_t control = 4;      // Q control nibble: 4 data, 0 audio, 5 DVD incremental
    uint8_t dataMode = 1;     // 1 Mode 1, 2 Mode 2
    // A track being written is incomplete: it takes its next block at start + length.
    bool complete = true;
    uint32_t reserved = 0;    // blocks set aside by RESERVE TRACK; 0: the track grows as written
    bool incremental = false; // DVD-R incremental: written in fixed 16-block packets

    int32_t NextWritable() const { return start + static_cast<int32_t>(length); }
    // First block after the track: its reservation's end while it has one.
    int32_t End() const { return start + static_cast<int32_t>(reserved != 0 && !complete ? reserved : length); }
    // An incomplete track without a reservation is the disc's invisible track.
    bool Growing() const { return !complete && reserved == 0; }
};

struct Medium {
    std::string shortName;
    uint16_t profile = kProfileNone;  // kProfileNone: no disc in the drive
    DiscState state = DiscState::Blank;
    uint32_t capacityBlocks = 0;      // user blocks the disc can hold
    std::vector<RecordedTrack> tracks;  // in order; sessions complete unless lastSessionOpen
    // The last session is still being written (incomplete): its tracks are not in the TOC yet.
    bool lastSessionOpen = false;
    bool erasable = false;
    // CD: the lead-in start and last possible lead-out start the disc's ATIP announces.
    int32_t atipLeadInStart = -11634;   // 97:26:66
    int32_t atipLastLeadOut = 0;        // 0: capacityBlocks
    uint8_t atipDiscSubType = 0;
    // TEST UNIT READY answers "becoming ready" this many more times after insertion.
    uint32_t becomingReadyCalls = 0;
    // A disc the drive never gets ready (unreadable, damaged, spinning up forever).
    bool notReady = false;
    // DVD+RW background format: 0 never formatted, 1 suspended, 2 running, 3 complete.
    uint8_t backgroundFormat = 3;
    uint8_t layers = 1;
    // The fastest write speed the disc is rated for, KB/s; 0 = the drive's limit.
    uint32_t maxWriteSpeed = 0;
    // DVD-RW after a minimal blank takes Disc-at-Once only.
    bool minimalBlank = false;
    // The user data written so far (2048-byte blocks from block 0); null until the first write.
    // Shared by copies of the medium: it is the one disc.
    std::shared_ptr<DiscStore> userData;

    bool Present() const { return profile != kProfileNone || notReady; }
    MediumFamily Family() const { return FamilyOfProfile(profile); }
    uint16_t SessionCount() const;  // recorded sessions
    uint8_t LastTrackNumber() const { return static_cast<uint8_t>(tracks.size() < 255 ? tracks.size() : 255); }
    int32_t RecordedEnd() const;    // first LBA after the last recorded track
    // Start of the next track a sequential disc would get (a blank invisible track).
    int32_t NextTrackStart() const;
    // An invisible track exists: the growing last track, or a blank one after the last track.
    bool HasInvisibleTrack() const;
    bool LastTrackGrowing() const { return !tracks.empty() && tracks.back().Growing(); }
    // The number of the invisible track (valid when HasInvisibleTrack()).
    uint32_t InvisibleTrackNumber() const {
        return static_cast<uint32_t>(tracks.size()) + (LastTrackGrowing() ? 0u : 1u);
    }
    // The session a new track would belong to.
    uint16_t SessionOfNextTrack() const {
        return lastSessionOpen ? SessionCount() : static_cast<uint16_t>(SessionCount() + 1);
    }
    int32_t LastPossibleLeadOut() const {
        return atipLastLeadOut != 0 ? atipLastLeadOut : static_cast<int32_t>(capacityBlocks);
    }
};

}  // namespace burnlib
