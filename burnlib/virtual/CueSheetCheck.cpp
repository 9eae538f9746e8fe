#include <string>

#include "burnlib/virtual/RawDecoderText.h"
#include "burnlib/virtual/RawWriteCheck.h"

namespace burnlib {

namespace {

using rawdecoder::detail::Hex;

constexpr size_t kEntrySize = 8;
constexpr uint8_t kAdrPosition = 1, kAdrMcn = 2, kAdrIsrc = 3;
constexpr uint8_t kTnoLeadIn = 0x00, kTnoLeadOut = 0xAA;
constexpr uint8_t kFormMode1FromHost = 0x10;
constexpr uint8_t kFormMode1Generated = 0x14;
constexpr uint8_t kFormCdTextInLeadIn = 0x40;
constexpr uint8_t kCtlDataTrack = 0x40, kCtlCopyPermitted = 0x20;
constexpr uint8_t kScmsCopyGeneration = 0x80;
constexpr int32_t kMsfOffset = 150;
constexpr int32_t kMinTrackBlocks = 300;  // 4 s
constexpr int32_t kProgramAreaEnd = 90 * 60 * 75 - kMsfOffset;  // 90:00:00 begins the lead-in times

struct Entry {
    const uint8_t* b;
    uint8_t Ctl() const { return b[0] & 0xF0; }
    uint8_t Adr() const { return b[0] & 0x0F; }
    uint8_t Tno() const { return b[1]; }
    uint8_t Index() const { return b[2]; }
    uint8_t Form() const { return b[3]; }
    uint8_t Scms() const { return b[4]; }
};

RawVerdict Malformed(size_t entry, const std::string& why) {
    return RawVerdict{0x05, 0x26, 0x00, "cue sheet entry " + std::to_string(entry + 1) + ": " + why};
}

std::string Bytes(const Entry& e) {
    std::string text;
    for (size_t i = 0; i < kEntrySize; ++i) text += (i ? " " : "") + Hex(e.b[i]);
    return text;
}

// MSF fields are binary; the address is MSF - 00:02:00.
bool Address(const Entry& e, int32_t* lba) {
    if (e.b[6] > 59 || e.b[7] > 74) return false;
    *lba = (e.b[5] * 60 + e.b[6]) * 75 + e.b[7] - kMsfOffset;
    return *lba < kProgramAreaEnd;
}

}  // namespace

// Entries in the order a drive reads them: MCN pair (optional), lead-in, ISRC pair (optional),
// track 1 index 0 and 1 (further indexes taken and skipped), lead-out. Each position entry's
// address must not fall below the previous one's.
RawVerdict ParseCueSheet(const uint8_t* data, size_t length, int32_t lastPossibleLeadOut, CueLayout* out) {
    if (data == nullptr || length == 0 || length % kEntrySize != 0)
        return RawVerdict{0x05, 0x1A, 0x00,
                          "cue sheet of " + std::to_string(length) + " bytes is not a whole number of 8-byte entries"};
    const size_t count = length / kEntrySize;
    auto entry = [&](size_t i) { return Entry{data + i * kEntrySize}; };

    size_t i = 0;
    if (entry(0).Adr() == kAdrMcn) {
        if (count < 2 || entry(1).Adr() != kAdrMcn) return Malformed(0, "a catalogue number takes two entries");
        i = 2;
    }

    CueLayout layout;
    enum class Step { LeadIn, Pregap, Track, Indexes, Done } step = Step::LeadIn;
    int32_t previous = -kMsfOffset;
    uint8_t ctl = 0;
    for (; i < count; ++i) {
        const Entry e = entry(i);
        if (step == Step::Done) return Malformed(i, "follows the lead-out (" + Bytes(e) + ")");
        if (e.Adr() == kAdrIsrc) {
            // An ISRC pair stands right before the track it names.
            if (step != Step::Pregap || i + 1 >= count || entry(i + 1).Adr() != kAdrIsrc || e.Tno() != 1 ||
                entry(i + 1).Tno() != 1)
                return Malformed(i, "an ISRC takes two entries of track 01 right before it (" + Bytes(e) + ")");
            ++i;
            continue;
        }
        if (e.Adr() != kAdrPosition) return Malformed(i, "ADR " + std::to_string(e.Adr()) + " in " + Bytes(e));

        int32_t lba = 0;
        if (!Address(e, &lba)) return Malformed(i, "address is not an MSF of the program area (" + Bytes(e) + ")");
        if (lba < previous) return Malformed(i, "address goes back (" + Bytes(e) + ")");
        if (e.Scms() != 0 && e.Scms() != kScmsCopyGeneration)
            return Malformed(i, "SCMS " + Hex(e.Scms()) + " is neither 00 nor 80");
        if (step == Step::LeadIn) {
            ctl = e.Ctl();
            if ((ctl & ~kCtlCopyPermitted) != kCtlDataTrack)
                return Malformed(i, "CTL " + Hex(ctl) + " is not a two-channel data track without pre-emphasis");
        } else if (e.Ctl() != ctl) {
            return Malformed(i, "CTL " + Hex(e.Ctl()) + " differs from the lead-in's " + Hex(ctl));
        }
        const uint8_t form = e.Form();

        switch (step) {
        case Step::LeadIn:
            if (e.Tno() != kTnoLeadIn || e.Index() != 0 || lba != -kMsfOffset)
                return Malformed(i, "the sheet must begin with the lead-in at 00:00:00 (" + Bytes(e) + ")");
            if ((form & ~kFormCdTextInLeadIn) != kFormMode1Generated)
                return Malformed(i, "lead-in data form " + Hex(form) +
                                        ", expected 14 (or 54 with CD-TEXT) for a Mode 1 track");
            layout.cdTextInLeadIn = (form & kFormCdTextInLeadIn) != 0;
            step = Step::Pregap;
            break;
        case Step::Pregap:
            if (e.Tno() != 1 || e.Index() != 0 || lba != -kMsfOffset)
                return Malformed(i, "track 01 index 00 must follow the lead-in at 00:00:00 (" + Bytes(e) + ")");
            if (form != kFormMode1FromHost)
                return Malformed(i, "pregap data form " + Hex(form) + ", expected 10 (2048-byte Mode 1 from the host)");
            layout.pregapStart = lba;
            step = Step::Track;
            break;
        case Step::Track:
            if (e.Tno() != 1 || e.Index() != 1)
                return Malformed(i, "track 01 index 01 must follow its pregap (" + Bytes(e) + ")");
            // The program area's first track has a pregap of at least 2 s.
            if (lba < 0) return Malformed(i, "track 01 starts before 00:02:00");
            if (form != kFormMode1FromHost)
                return Malformed(i, "track data form " + Hex(form) + ", expected 10 (2048-byte Mode 1 from the host)");
            layout.trackStart = lba;
            layout.dataForm = form;
            step = Step::Indexes;
            break;
        case Step::Indexes:
            if (e.Tno() == 1 && e.Index() >= 2 && e.Index() <= 99 && form == kFormMode1FromHost &&
                e.Index() == entry(i - 1).Index() + 1)
                break;
            if (e.Tno() != kTnoLeadOut)
                return Malformed(i, "one data track only: expected the lead-out or the next index of track 01 (" +
                                        Bytes(e) + ")");
            if (e.Index() != 1) return Malformed(i, "lead-out index " + Hex(e.Index()) + ", expected 01");
            if (form != kFormMode1Generated)
                return Malformed(i, "lead-out data form " + Hex(form) + ", expected 14 (drive-generated Mode 1)");
            if (lba - layout.trackStart < kMinTrackBlocks)
                return Malformed(i, "track 01 has " + std::to_string(lba - layout.trackStart) +
                                        " blocks, at least 300 (4 s) needed");
            if (lba > lastPossibleLeadOut)
                return RawVerdict{0x05, 0x21, 0x00,
                                  "cue sheet entry " + std::to_string(i + 1) + ": the lead-out at LBA " +
                                      std::to_string(lba) + " lies beyond the disc's last possible lead-out " +
                                      std::to_string(lastPossibleLeadOut)};
            layout.leadOutStart = lba;
            step = Step::Done;
            break;
        case Step::Done:
            break;
        }
        previous = lba;
    }
    if (step != Step::Done) {
        static const char* const kMissing[] = {"the lead-in", "track 01 index 00", "track 01 index 01",
                                               "the lead-out"};
        return Malformed(count - 1, "the sheet ends without " + std::string(kMissing[static_cast<int>(step)]));
    }
    layout.control = static_cast<uint8_t>(ctl >> 4);
    *out = layout;
    return {};
}

}  // namespace burnlib
