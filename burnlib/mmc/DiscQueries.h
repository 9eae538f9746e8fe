// What is in the drive: the disc's type, its table of contents, one track.
#pragma once

#include <cstdint>
#include <vector>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Parsers.h"

namespace burnlib::mmc {

struct TocTrack {
    uint8_t session = 0;
    uint8_t adrControl = 0;  // ADR high nibble, CONTROL low nibble
    uint8_t number = 0;
    int32_t start = 0;
    int32_t end = 0;         // first block after the track: the next track of its session, or
                             // its session's lead-out
    bool isData = false;
    uint8_t dataMode = 0;    // 1, 2, or 0 for audio
    uint32_t blockSize = 0;  // user bytes per block
};

struct TableOfContents {
    uint8_t firstTrack = 0, lastTrack = 0;
    uint8_t firstSession = 0, lastSession = 0;
    int32_t leadOut = 0;
    uint8_t discStatus = 0;  // 0 blank, 1 appendable, 2 finalized, 3 other
    std::vector<TocTrack> tracks;
};

// Inserted-disc code 0..22; 14 when no medium is present or the drive is not ready.
int32_t InsertedDiscType(MmcDevice& device);
// fast = no full TOC (it makes some drives read the lead-in); the sessions then come from each
// track's own information.
bool ReadTableOfContents(MmcDevice& device, bool fast, TableOfContents* out);
// 255 = the invisible track (the one that would be written next).
bool ReadTrack(MmcDevice& device, uint8_t trackNumber, TrackInformation* out);

}  // namespace burnlib::mmc
