// Parsers of what drives answer. Each takes the bytes the transfer actually delivered and never
// reads past them, whatever lengths the answer itself claims; false means the answer is unusable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace burnlib::mmc {

struct InquiryData {
    uint8_t deviceType = 0x1F;
    bool removable = false;
    std::string vendor;    // trailing blanks removed
    std::string product;
    std::string revision;
};
bool ParseInquiry(const uint8_t* data, size_t length, InquiryData* out);

struct SenseData {
    uint8_t responseCode = 0;
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool progressValid = false;
    uint16_t progress = 0;  // 0..65535 of the running operation
};
bool ParseSense(const uint8_t* data, size_t length, SenseData* out);

struct Feature {
    uint16_t code = 0;
    uint8_t version = 0;
    bool persistent = false;
    bool current = false;
    std::vector<uint8_t> data;  // the bytes after the 4-byte descriptor header
    uint8_t Byte(size_t index) const { return index < data.size() ? data[index] : 0; }
};

struct ProfileEntry {
    uint16_t profile = 0;
    bool current = false;
};

struct Configuration {
    uint32_t dataLength = 0;   // as the header announces it (bytes after the length field)
    uint16_t currentProfile = 0;
    std::vector<Feature> features;
    std::vector<ProfileEntry> profiles;  // from feature 0000h

    const Feature* Find(uint16_t code) const;
    bool HasProfile(uint16_t profile) const;
};
// The 8-byte header alone is enough for ParseConfiguration to succeed.
bool ParseConfiguration(const uint8_t* data, size_t length, Configuration* out);

struct DiscInformation {
    bool erasable = false;
    uint8_t lastSessionState = 0;  // 0 empty, 1 incomplete, 3 complete
    uint8_t discStatus = 0;        // 0 blank, 1 appendable, 2 finalized, 3 other
    uint8_t firstTrack = 0;
    uint16_t sessions = 0;
    uint16_t firstTrackInLastSession = 0;
    uint16_t lastTrackInLastSession = 0;
    uint8_t backgroundFormat = 0;
    uint8_t discType = 0xFF;       // 00 CD-DA/CD-ROM, 10h CD-I, 20h CD-ROM XA
    bool hasLeadOut = false;
    uint32_t lastSessionLeadIn = 0;    // raw field: CD 00 M S F, other media LBA
    uint32_t lastPossibleLeadOut = 0;
};
bool ParseDiscInformation(const uint8_t* data, size_t length, DiscInformation* out);

struct TrackInformation {
    uint16_t trackNumber = 0;
    uint16_t sessionNumber = 0;
    bool damage = false;
    bool copy = false;
    uint8_t trackMode = 0;   // Q control nibble
    bool reserved = false;
    bool blank = false;
    bool packet = false;
    bool fixedPacket = false;
    uint8_t dataMode = 0;    // 1, 2, or 0Fh unknown
    bool lraValid = false;
    bool nwaValid = false;
    int32_t start = 0;
    int32_t nextWritable = 0;
    int32_t freeBlocks = 0;
    uint32_t fixedPacketSize = 0;
    uint32_t size = 0;
    int32_t lastRecorded = 0;
};
bool ParseTrackInformation(const uint8_t* data, size_t length, TrackInformation* out);

struct TocEntry {
    uint8_t adrControl = 0;
    uint8_t track = 0;     // 0xAA = lead-out
    int32_t address = 0;   // LBA
};
struct Toc {
    uint8_t firstTrack = 0;
    uint8_t lastTrack = 0;
    std::vector<TocEntry> entries;  // in the drive's order, lead-out included
};
// Format 0 in LBA form. Only whole 8-byte entries inside both the transfer and the announced
// length count.
bool ParseToc(const uint8_t* data, size_t length, Toc* out);

struct FullTocEntry {
    uint8_t session = 0;
    uint8_t adrControl = 0;
    uint8_t tno = 0;
    uint8_t point = 0;
    uint8_t min = 0, sec = 0, frame = 0;
    uint8_t pmin = 0, psec = 0, pframe = 0;
};
struct FullToc {
    uint8_t firstSession = 0;
    uint8_t lastSession = 0;
    std::vector<FullTocEntry> entries;
};
bool ParseFullToc(const uint8_t* data, size_t length, FullToc* out);

struct Atip {
    bool rewritable = false;  // disc type bit: 0 CD-R, 1 CD-RW
    uint8_t subType = 0;
    uint8_t referenceSpeed = 0;
    int32_t leadInStart = 0;          // LBA
    int32_t lastPossibleLeadOut = 0;  // LBA
};
bool ParseAtip(const uint8_t* data, size_t length, Atip* out);

// LBA of a CD time; minutes 90 and above are lead-in times (negative).
int32_t MsfToLba(uint8_t m, uint8_t s, uint8_t f);

// Locates a page in a MODE SENSE(10) answer: offset of the page's first byte and the number of
// its bytes (2-byte page header included) present in the transfer.
bool FindModePage(const uint8_t* data, size_t length, uint8_t pageCode, size_t* offset,
                  size_t* pageLength);

struct Capabilities {
    bool cdRRead = false, cdRwRead = false, dvdRomRead = false, dvdRRead = false,
         dvdRamRead = false;
    bool cdRWrite = false, cdRwWrite = false, testWrite = false, dvdRWrite = false,
         dvdRamWrite = false;
    bool bufferUnderrunProtection = false;
    uint16_t maxReadSpeed = 0;
    uint16_t bufferSizeKB = 0;
    uint16_t currentReadSpeed = 0;
    uint16_t maxWriteSpeed = 0;
    uint16_t currentWriteSpeed = 0;   // bytes 28-29 when set, else the obsolete 20-21
    uint16_t selectedWriteSpeed = 0;  // bytes 28-29 alone (MMC-3 on); 0 when absent
    std::vector<uint16_t> writeSpeeds;  // descriptors, in the drive's order
};
// page points at the page's first byte (code), pageLength = bytes present.
bool ParseCapabilitiesPage(const uint8_t* page, size_t pageLength, Capabilities* out);

struct WriteParameters {
    bool bufferUnderrunProtection = false;
    bool testWrite = false;
    uint8_t writeType = 0;     // 0 packet, 1 TAO, 2 SAO, 3 raw, 4 layer jump
    uint8_t multiSession = 0;
    uint8_t trackMode = 0;
    uint8_t dataBlockType = 0;
};
bool ParseWriteParametersPage(const uint8_t* page, size_t pageLength, WriteParameters* out);

struct WriteSpeedDescriptor {
    uint32_t endLba = 0;
    uint32_t readSpeed = 0;   // kB/s
    uint32_t writeSpeed = 0;  // kB/s
};
// GET PERFORMANCE type 03h.
bool ParseWriteSpeeds(const uint8_t* data, size_t length, std::vector<WriteSpeedDescriptor>* out);

struct PerformanceDescriptor {
    uint32_t startLba = 0;
    uint32_t startPerformance = 0;
    uint32_t endLba = 0;
    uint32_t endPerformance = 0;
};
// GET PERFORMANCE type 00h.
bool ParsePerformance(const uint8_t* data, size_t length, std::vector<PerformanceDescriptor>* out);

}  // namespace burnlib::mmc
