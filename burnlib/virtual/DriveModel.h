// What a virtual drive can do: identity, media, write features, speeds. A plain struct so tests can
// take a catalog model and change any field; a changed model should still pass Disagreements().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "burnlib/virtual/Medium.h"

namespace burnlib {

struct DriveModel {
    std::string shortName;
    std::string vendor;    // INQUIRY pads or cuts to 8
    std::string product;   // 16
    std::string revision;  // 4

    // MMC profile numbers. Every writable profile is readable too.
    std::vector<uint16_t> readProfiles;
    std::vector<uint16_t> writeProfiles;

    // CD Track-at-Once (002Dh).
    bool cdTao = false;
    uint16_t cdTaoDataBlockTypes = 0;  // bit n: data block type n
    // CD Mastering (002Eh).
    bool cdSao = false;
    bool cdRaw = false;
    bool cdRawMultiSession = false;
    bool cdRwSubcode = false;          // R-W sub-channel in TAO and raw (data block types 2, 3)
    uint32_t maxCueSheetLength = 0;
    bool cdTestWrite = false;
    // DVD-R/-RW Write (002Fh).
    bool dvdMinusWrite = false;
    bool dvdMinusTestWrite = false;
    bool dvdMinusRw = false;
    bool dvdMinusDualLayer = false;
    bool dvdPlusR = false;             // 002Bh
    bool dvdPlusRDualLayer = false;    // 003Bh
    bool dvdPlusRw = false;            // 002Ah
    bool dvdMinusRwRestricted = false; // 002Ch rigid restricted overwrite
    bool incrementalStreaming = false; // 0021h
    bool realTimeStreaming = false;    // 0107h: SET STREAMING, GET PERFORMANCE type 3
    bool bdWrite = false;              // 0041h
    bool hdDvdWrite = false;           // 0051h

    uint32_t bufferKB = 2048;
    bool bufferUnderrunProtection = false;  // BUF bits; page 05 BUFE changeable

    // Speed steps in KB/s, ascending. Empty: the drive has no such speeds.
    std::vector<uint32_t> cdWriteSpeeds, cdReadSpeeds;
    std::vector<uint32_t> dvdWriteSpeeds, dvdReadSpeeds;
    std::vector<uint32_t> bdWriteSpeeds, bdReadSpeeds;
    // A request selects the fastest step not above request * (100 + tolerance) / 100: drives take
    // 7040 as "40x" and answer 7056, but never go faster than asked beyond that.
    uint32_t speedTolerancePercent = 1;

    // 06/28/00 once after a disc is inserted, taken out or loaded.
    bool unitAttentionOnMediumChange = true;

    bool CanRead(uint16_t profile) const;
    // The write features above and the profiles the drive writes tell the same story on a real
    // drive (a DVD-R-only writer has 002Fh without its DVD-RW and RDL bits and does not write
    // profiles 0014h and 0015h). Lists each flag that disagrees; empty when all agree.
    std::vector<std::string> Disagreements() const;
    bool CanWrite(uint16_t profile) const;
    bool WritesAnything() const { return !writeProfiles.empty(); }
    bool WritesCd() const;
};

}  // namespace burnlib
