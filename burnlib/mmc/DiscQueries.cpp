#include "burnlib/mmc/DiscQueries.h"

#include <algorithm>
#include <climits>
#include <map>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Profiles.h"

namespace burnlib::mmc {

namespace {

bool LegacyDiscType(MmcDevice& device, int32_t* code) {
    *code = kDiscUnknown;
    if (!TestUnitReady(device)) {
        if (device.Cancelled()) return false;
        if (device.LastFailure().senseKey == kSenseNotReady) *code = kDiscNone;
        return true;
    }
    const Capabilities* caps = nullptr;
    const bool writer =
        device.ReadDriveCapabilities(&caps) && (caps->cdRWrite || caps->cdRwWrite);
    if (device.Cancelled()) return false;
    // Only recordable discs carry an ATIP, and only a writer reads it.
    if (writer) {
        Atip atip;
        if (ReadAtip(device, &atip)) {
            *code = atip.rewritable ? kDiscLegacyCdRw : kDiscLegacyCdR;
            return true;
        }
        if (device.Cancelled()) return false;
    }
    Toc toc;
    if (ReadToc(device, &toc)) {
        *code = kDiscLegacyCdRom;
        return true;
    }
    return !device.Cancelled();
}

// What the full table of contents says about one session.
struct SessionEntries {
    bool haveLeadOut = false;
    int32_t leadOut = 0;
    bool haveDiscType = false;
    uint8_t discType = 0;
};

// User bytes per block of a Mode 2 track: its first block's sub-header tells Form 1 (2048) from
// Form 2 (2324). A drive that cannot read it leaves Form 1, which is what data tracks on CD-ROM
// XA discs (multisession discs among them) hold.
bool Mode2BlockSize(MmcDevice& device, int32_t start, uint32_t* size) {
    *size = 2048;
    uint8_t subheader[8] = {};
    uint32_t got = 0;
    if (!device.Execute(MakeReadCdSubheader(static_cast<uint32_t>(start), 1), DataDirection::In,
                        subheader, sizeof subheader, &got))
        return !device.Cancelled();
    if (got >= 3 && (subheader[2] & 0x20) != 0) *size = 2324;
    return true;
}

}  // namespace

int32_t InsertedDiscType(MmcDevice& device) {
    uint16_t profile = 0;
    if (device.ReadCurrentProfile(&profile)) return DiscCodeForProfile(profile);
    if (device.Cancelled()) return kDiscUnknown;
    if (device.FailedWith(kSenseIllegalRequest, 0x20)) {
        int32_t code = kDiscUnknown;
        LegacyDiscType(device, &code);
        return code;
    }
    const CommandFailure& f = device.LastFailure();
    if (f.outcome == Outcome::CheckCondition && f.senseKey == kSenseNotReady) return kDiscNone;
    return kDiscUnknown;
}

bool ReadTableOfContents(MmcDevice& device, bool fast, TableOfContents* out) {
    TableOfContents r;
    DiscInformation disc;
    const bool haveDisc = ReadDiscInformation(device, &disc);
    if (!haveDisc && device.Cancelled()) return false;
    r.discStatus = haveDisc ? disc.discStatus : 3;
    if (haveDisc) {
        r.firstSession = disc.sessions > 0 ? 1 : 0;
        // The count includes an open session, which has no table entry yet.
        const uint16_t closed = disc.lastSessionState == 3
                                    ? disc.sessions
                                    : (disc.sessions > 0 ? disc.sessions - 1 : 0);
        r.lastSession = static_cast<uint8_t>(std::min<uint16_t>(closed, 255));
        if (disc.discStatus == 0) {  // blank: nothing recorded, nothing to list
            r.firstSession = r.lastSession = 0;
            *out = std::move(r);
            return true;
        }
    }

    Toc toc;
    if (!ReadToc(device, &toc)) return false;
    bool haveLeadOut = false;
    for (const TocEntry& e : toc.entries) {
        if (e.track == 0xAA) {
            r.leadOut = e.address;
            haveLeadOut = true;
        } else if (e.track >= 1 && e.track <= 99) {
            TocTrack t;
            t.adrControl = e.adrControl;
            t.number = e.track;
            t.start = e.address;
            r.tracks.push_back(t);
        }
    }
    if (!haveLeadOut || r.tracks.empty()) return device.BadResponse();
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        const int32_t next = i + 1 < r.tracks.size() ? r.tracks[i + 1].start : r.leadOut;
        if (next < r.tracks[i].start) return device.BadResponse();
    }
    r.firstTrack = toc.firstTrack;
    r.lastTrack = toc.lastTrack;

    FullToc full;
    bool haveFull = false;
    if (!fast) {
        haveFull = ReadFullToc(device, &full);
        if (!haveFull && device.Cancelled()) return false;
    }
    std::map<uint8_t, SessionEntries> sessions;
    std::map<uint8_t, uint8_t> sessionOfTrack;
    if (haveFull) {
        for (const FullTocEntry& e : full.entries) {
            SessionEntries& s = sessions[e.session];
            if (e.point >= 1 && e.point <= 99) {
                sessionOfTrack[e.point] = e.session;
            } else if (e.point == 0xA0) {
                s.haveDiscType = true;
                s.discType = e.psec;
            } else if (e.point == 0xA2) {
                s.haveLeadOut = true;
                s.leadOut = MsfToLba(e.pmin, e.psec, e.pframe);
            }
        }
        r.firstSession = full.firstSession;
        r.lastSession = full.lastSession;
    }

    // Each track's own information names its session, data mode and size.
    std::vector<TrackInformation> info(r.tracks.size());
    std::vector<bool> haveInfo(r.tracks.size(), false);
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        TocTrack& t = r.tracks[i];
        haveInfo[i] = ReadTrackInformation(device, kTrackAddressNumber, t.number, &info[i]);
        if (!haveInfo[i] && device.Cancelled()) return false;
        if (sessionOfTrack.count(t.number) != 0)
            t.session = sessionOfTrack[t.number];
        else if (haveInfo[i] && info[i].sessionNumber != 0)
            t.session = static_cast<uint8_t>(std::min<uint16_t>(info[i].sessionNumber, 255));
        else
            t.session = r.lastSession <= 1 ? 1 : 0;
    }

    for (size_t i = 0; i < r.tracks.size(); ++i) {
        TocTrack& t = r.tracks[i];
        // A track ends where the next one of its session starts; the last one of a session at
        // that session's lead-out, which lies before the next session's lead-in and pregap.
        const bool last = i + 1 == r.tracks.size();
        const bool sameSession = !last && (t.session == 0 || r.tracks[i + 1].session == 0 ||
                                           t.session == r.tracks[i + 1].session);
        if (last) {
            t.end = r.leadOut;
        } else if (sameSession) {
            t.end = r.tracks[i + 1].start;
        } else {
            t.end = r.tracks[i + 1].start;
            const SessionEntries* s = sessions.count(t.session) ? &sessions[t.session] : nullptr;
            if (s != nullptr && s->haveLeadOut && s->leadOut >= t.start && s->leadOut <= t.end) {
                t.end = s->leadOut;
            } else if (haveInfo[i] && info[i].size != 0) {
                const int64_t end = int64_t{t.start} + info[i].size;
                if (end <= t.end) t.end = static_cast<int32_t>(end);
            }
        }

        t.isData = (t.adrControl & 0x04) != 0;
        if (!t.isData) {
            t.dataMode = 0;
            t.blockSize = 2352;
            continue;
        }
        uint8_t mode = haveInfo[i] ? info[i].dataMode : 0;
        if (mode != 1 && mode != 2) {
            // Unknown to the track: a CD-ROM XA or CD-I session holds Mode 2 tracks.
            uint8_t discType = haveDisc ? disc.discType : 0;
            auto s = sessions.find(t.session);
            if (s != sessions.end() && s->second.haveDiscType) discType = s->second.discType;
            mode = discType == 0x20 || discType == 0x10 ? 2 : 1;
        }
        t.dataMode = mode;
        t.blockSize = 2048;
        if (mode == 2 && !Mode2BlockSize(device, t.start, &t.blockSize)) return false;
    }
    *out = std::move(r);
    return true;
}

namespace {

// Media written in place: every block of the formatted area takes a write, whatever the disc
// status says (drives report such a disc as complete, with no next writable address).
bool IsOverwritable(uint16_t profile) {
    switch (profile) {
        case kProfileDvdRam: case kProfileDvdRwRestricted: case kProfileDvdPlusRw:
        case kProfileDvdPlusRwDl: case kProfileBdRe: case kProfileHdDvdRam:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ReadTrack(MmcDevice& device, uint8_t trackNumber, TrackInformation* out) {
    uint16_t profile = kProfileNone;
    if (trackNumber == 0xFF && device.ReadCurrentProfile(&profile) && IsOverwritable(profile)) {
        if (!ReadTrackInformation(device, kTrackAddressNumber, 1, out)) return false;
        out->start = 0;
        out->nextWritable = 0;
        out->nwaValid = true;
        out->freeBlocks = static_cast<int32_t>(std::min<uint32_t>(out->size, INT32_MAX));
        return true;
    }
    if (device.Cancelled()) return false;
    if (ReadTrackInformation(device, kTrackAddressNumber, trackNumber, out)) return true;
    if (trackNumber != 0xFF || device.Cancelled() ||
        !(device.LastFailure().outcome == Outcome::CheckCondition &&
          device.LastFailure().senseKey == kSenseIllegalRequest))
        return false;
    // Media without an invisible track (DVD-R sequential, for one) name the track that takes the
    // next write as the last track of the last session.
    const CommandFailure refused = device.LastFailure();
    DiscInformation disc;
    if (!ReadDiscInformation(device, &disc)) return false;
    if (disc.lastTrackInLastSession == 0) {
        device.SetFailure(refused);
        return false;
    }
    if (disc.discStatus != 2)
        return ReadTrackInformation(device, kTrackAddressNumber, disc.lastTrackInLastSession, out);
    // A finalized disc takes no further track. Its answer is that track, empty and not
    // writable, starting where the recorded area ends, so callers see the recorded size rather
    // than a failure they might take for a blank disc.
    TrackInformation last;
    if (!ReadTrackInformation(device, kTrackAddressNumber, disc.lastTrackInLastSession, &last))
        return false;
    TrackInformation next;
    next.trackNumber = static_cast<uint16_t>(last.trackNumber + 1);
    next.sessionNumber = last.sessionNumber;
    next.start = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(last.start) + last.size, 0, INT32_MAX));
    *out = next;
    return true;
}

}  // namespace burnlib::mmc
