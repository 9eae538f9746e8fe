// The virtual recorder's disc queries: disc and track information, capacity, TOC, ATIP.
#include <algorithm>
#include <cstddef>

#include "burnlib/common/BigEndian.h"
#include "burnlib/common/Msf.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

void AppendAddress(std::vector<uint8_t>& out, int32_t lba, bool msf) {
    if (msf) {
        const Msf a = LbaToMsf(lba);
        out.insert(out.end(), {0, a.m, a.s, a.f});
    } else {
        Append32(out, static_cast<uint32_t>(lba));
    }
}

uint8_t DiscTypeOf(const std::vector<RecordedTrack>& tracks) {
    for (const RecordedTrack& t : tracks)
        if (t.dataMode == 2) return 0x20;  // CD-ROM XA
    return 0x00;
}

// Formatted DVD+RW and DVD-RW in restricted overwrite are presented as a finished disc: one
// complete session holding one complete track over the formatted capacity, with nothing left to
// append (the host writes them anywhere, from block 0, by their profile). DVD-RAM, BD-RE and the
// other random-writable media answer "other" for the disc status instead.
bool PresentedAsComplete(const Medium& m) {
    return ((m.profile == kProfileDvdPlusRw || m.profile == kProfileDvdPlusRwDl) && m.backgroundFormat != 0) ||
           m.profile == kProfileDvdRwRestricted;
}

// Drives take track FFh (the invisible track) on CD, DVD+R and DVD+R DL only. On DVD-R, DVD-RW
// sequential, DVD-R DL, BD-R and HD DVD-R the track to write is asked for by its number, the last
// track in the last session from READ DISC INFORMATION, and FFh is an invalid field (mmc-facts
// 1.6).
bool RefusesInvisibleTrackNumber(uint16_t profile) {
    switch (profile) {
    case kProfileDvdR: case kProfileDvdRwSequential: case kProfileDvdRDl: case kProfileDvdRDlJump:
    case kProfileBdR: case kProfileHdDvdR:
        return true;
    default:
        return false;
    }
}

}  // namespace

// What the drive sees as finished tracks: recorded tracks of complete sessions, or on a formatted
// overwritable disc one track over the whole disc, as drives present it.
std::vector<RecordedTrack> VirtualRecorder::TocTracks() const {
    if (IsOverwritableProfile(m_medium.profile)) {
        if (m_medium.profile == kProfileDvdPlusRw && m_medium.backgroundFormat == 0) return {};
        RecordedTrack whole;
        whole.start = 0;
        whole.length = m_medium.capacityBlocks;
        return {whole};
    }
    // The tracks of an open session are only in the PMA until the session is closed.
    std::vector<RecordedTrack> tracks = m_medium.tracks;
    if (m_medium.lastSessionOpen) {
        const uint16_t open = m_medium.SessionCount();
        std::erase_if(tracks, [&](const RecordedTrack& t) { return t.session == open; });
    }
    return tracks;
}

// ---- READ DISC INFORMATION

ScsiResult VirtualRecorder::ReadDiscInformation(const ScsiRequest& r) {
    if ((r.cdb[1] & 0x07) != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // standard only
    const Medium& m = m_medium;
    const bool cd = m.Family() == MediumFamily::Cd;
    const bool overwritable = IsOverwritableProfile(m.profile);
    const bool invisible = m.HasInvisibleTrack();
    const uint16_t sessions = m.SessionCount();
    auto firstTrackOf = [&](uint16_t session) {
        for (size_t i = 0; i < m.tracks.size(); ++i)
            if (m.tracks[i].session == session) return static_cast<uint16_t>(i + 1);
        return static_cast<uint16_t>(m.tracks.size() + 1);
    };

    uint8_t status = 0;         // b3-2 last session state, b1-0 disc status
    uint16_t sessionCount = 1, firstInLast = 1, lastInLast = 1;
    if (PresentedAsComplete(m)) {
        status = 0x0E;
    } else if (overwritable) {
        status = (m.profile == kProfileDvdPlusRw && m.backgroundFormat == 0) ? 0x00 : 0x0F;
    } else if (m.tracks.empty() && !IsRomProfile(m.profile)) {
        status = 0x00;
    } else if (m.lastSessionOpen) {
        status = 0x05;  // an incomplete session on an incomplete disc
        sessionCount = sessions;
        firstInLast = firstTrackOf(sessions);
        lastInLast = static_cast<uint16_t>(invisible ? m.InvisibleTrackNumber() : m.tracks.size());
    } else if (IsRomProfile(m.profile) || m.state == DiscState::Closed || !invisible) {
        status = 0x0E;
        sessionCount = std::max<uint16_t>(sessions, 1);
        lastInLast = std::max<uint8_t>(m.LastTrackNumber(), 1);
        firstInLast = std::min(firstTrackOf(sessionCount), lastInLast);
    } else {
        status = 0x01;  // the last (empty) session is the one to be written
        sessionCount = static_cast<uint16_t>(sessions + 1);
        firstInLast = lastInLast = static_cast<uint16_t>(m.InvisibleTrackNumber());
    }

    std::vector<uint8_t> data(34, 0);
    Put16(&data[0], 32);
    data[2] = static_cast<uint8_t>((m.erasable ? 0x10 : 0) | status);
    data[3] = 1;
    data[4] = static_cast<uint8_t>(sessionCount);
    data[5] = static_cast<uint8_t>(firstInLast);
    data[6] = static_cast<uint8_t>(lastInLast);
    data[7] = static_cast<uint8_t>(0x20 | (m.profile == kProfileDvdPlusRw ? (m.backgroundFormat & 0x03) : 0));
    data[8] = cd ? ((status & 0x03) == 0 ? 0xFF : DiscTypeOf(m.tracks)) : 0x00;
    data[9] = static_cast<uint8_t>(sessionCount >> 8);
    data[10] = static_cast<uint8_t>(firstInLast >> 8);
    data[11] = static_cast<uint8_t>(lastInLast >> 8);
    if (invisible) {
        // The lead-in of the session being written, or of the next one.
        int32_t sessionStart = m.NextTrackStart();
        if (m.lastSessionOpen) sessionStart = m.tracks[firstTrackOf(sessions) - 1].start;
        if (cd) {
            const bool firstSession = sessionStart == 0 || m.tracks.empty();
            const int32_t leadIn = firstSession ? m.atipLeadInStart : sessionStart - 4650;
            const Msf a = LbaToMsf(leadIn);
            const Msf b = LbaToMsf(m.LastPossibleLeadOut());
            data[17] = a.m; data[18] = a.s; data[19] = a.f;
            data[21] = b.m; data[22] = b.s; data[23] = b.f;
        } else {
            Put32(&data[16], static_cast<uint32_t>(sessionStart));
            Put32(&data[20], static_cast<uint32_t>(m.LastPossibleLeadOut()));
        }
    } else if (!overwritable || PresentedAsComplete(m)) {
        Put32(&data[16], 0xFFFFFFFF);
        Put32(&data[20], 0xFFFFFFFF);
    }
    return Reply(r, data);
}

// ---- READ TRACK INFORMATION

// Track n (1-based) of the disc, the blank invisible track at number count + 1, or empty when
// there is no such track.
std::vector<uint8_t> VirtualRecorder::TrackInformation(uint8_t number) const {
    const Medium& m = m_medium;
    std::vector<uint8_t> d(48, 0);
    Put16(&d[0], 46);
    d[2] = number;
    if (IsOverwritableProfile(m.profile)) {
        if (number != 1) return {};
        d[3] = 1;
        d[5] = 0x04;
        Put32(&d[24], m.capacityBlocks);
        if (PresentedAsComplete(m)) {
            // A complete track: not blank, no next writable address, no free blocks. Restricted
            // overwrite keeps its 16-block fixed packets.
            const bool restricted = m.profile == kProfileDvdRwRestricted;
            d[6] = static_cast<uint8_t>((restricted ? 0x30 : 0) | 0x01);
            if (restricted) Put32(&d[20], 16);
            return d;
        }
        d[6] = static_cast<uint8_t>((m.profile == kProfileDvdPlusRw && m.backgroundFormat == 0 ? 0x40 : 0) |
                                    0x30 | 0x01);  // packet, fixed packets, Mode 1
        d[7] = 0x01;
        Put32(&d[16], m.capacityBlocks);
        Put32(&d[20], 16);
        return d;
    }
    const bool dvd = m.Family() != MediumFamily::Cd;
    if (number >= 1 && number <= m.tracks.size()) {
        const RecordedTrack& t = m.tracks[number - 1];
        d[3] = static_cast<uint8_t>(t.session);
        d[33] = static_cast<uint8_t>(t.session >> 8);
        d[5] = t.control & 0x0F;
        Put32(&d[8], static_cast<uint32_t>(t.start));
        if (t.complete) {
            d[6] = static_cast<uint8_t>((t.incremental ? 0x20 : 0) | (t.dataMode & 0x0F));
            d[7] = dvd ? 0x02 : 0x00;  // last recorded address valid on DVD/BD
            Put32(&d[24], t.length);
            if (t.incremental) Put32(&d[20], 16);
            if (dvd) Put32(&d[28], static_cast<uint32_t>(t.start + static_cast<int32_t>(t.length) - 1));
            return d;
        }
        // An incomplete track: reserved, or the invisible track being written.
        const int32_t nwa = t.NextWritable();
        const int32_t end = t.reserved != 0 ? t.End() : m.LastPossibleLeadOut();
        const uint32_t free = static_cast<uint32_t>(std::max(end - nwa, 0));
        d[6] = static_cast<uint8_t>((t.reserved != 0 ? 0x80 : 0) | (t.length == 0 ? 0x40 : 0) |
                                    (t.incremental ? 0x20 : 0) | (t.length == 0 ? 0x0F : t.dataMode & 0x0F));
        d[7] = static_cast<uint8_t>((free > 0 ? 0x01 : 0) | (dvd && t.length > 0 ? 0x02 : 0));
        if (free > 0) Put32(&d[12], static_cast<uint32_t>(nwa));
        Put32(&d[16], free);
        if (t.incremental) Put32(&d[20], 16);
        Put32(&d[24], t.length + free);
        if (dvd && t.length > 0) Put32(&d[28], static_cast<uint32_t>(nwa - 1));
        return d;
    }
    if (!m.HasInvisibleTrack() || m.LastTrackGrowing() || number != m.InvisibleTrackNumber()) return {};
    const int32_t start = m.NextTrackStart();
    const uint32_t free = static_cast<uint32_t>(m.LastPossibleLeadOut() - start);
    const bool incremental = m.profile == kProfileDvdR || m.profile == kProfileDvdRwSequential ||
                             m.profile == kProfileDvdRDl;
    const uint16_t session = m.SessionOfNextTrack();
    d[3] = static_cast<uint8_t>(session);
    d[33] = static_cast<uint8_t>(session >> 8);
    d[5] = 0x04;
    d[6] = static_cast<uint8_t>(0x40 | (incremental ? 0x20 : 0) | 0x0F);  // blank, data mode unknown
    d[7] = 0x01;                                                          // NWA valid
    Put32(&d[8], static_cast<uint32_t>(start));
    Put32(&d[12], static_cast<uint32_t>(start));
    Put32(&d[16], free);
    if (incremental) Put32(&d[20], 16);
    Put32(&d[24], free);
    return d;
}

ScsiResult VirtualRecorder::ReadTrackInformation(const ScsiRequest& r) {
    const uint8_t addressType = r.cdb[1] & 0x03;
    const uint32_t value = Get32(&r.cdb[2]);
    const Medium& m = m_medium;
    const uint32_t invisibleNumber = m.HasInvisibleTrack() ? m.InvisibleTrackNumber() : 0;
    uint32_t number = 0;
    if (addressType == 0) {
        const int32_t lba = static_cast<int32_t>(value);
        if (IsOverwritableProfile(m.profile)) {
            if (lba >= 0 && static_cast<uint32_t>(lba) < m.capacityBlocks) number = 1;
        } else {
            for (size_t i = 0; i < m.tracks.size(); ++i) {
                const RecordedTrack& t = m.tracks[i];
                const int32_t end = t.Growing() ? m.LastPossibleLeadOut() : t.End();
                if (lba >= t.start && lba < end) number = static_cast<uint32_t>(i + 1);
            }
            if (number == 0 && invisibleNumber != 0 && !m.LastTrackGrowing() && lba >= m.NextTrackStart() &&
                lba < m.LastPossibleLeadOut())
                number = invisibleNumber;
        }
    } else if (addressType == 1) {
        if (value == 0xFF && RefusesInvisibleTrackNumber(m.profile)) return Fail(kSenseIllegalRequest, 0x24, 0x00);
        number = value != 0xFF ? value : invisibleNumber;
    } else if (addressType == 2) {
        if (IsOverwritableProfile(m.profile)) {
            number = value == 1 ? 1 : 0;
        } else if (value >= 1 && value <= m.SessionCount()) {
            for (size_t i = 0; i < m.tracks.size(); ++i)
                if (m.tracks[i].session == value) {
                    number = static_cast<uint32_t>(i + 1);
                    break;
                }
        } else if (invisibleNumber != 0 && value == m.SessionOfNextTrack()) {
            number = invisibleNumber;
        }
    } else {
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    }
    if (number == 0 || number > 0xFF) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    std::vector<uint8_t> data = TrackInformation(static_cast<uint8_t>(number));
    if (data.empty()) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    return Reply(r, data);
}

// ---- READ CAPACITY

// The last recorded block; a blank disc answers 0, as CD/DVD drives do.
ScsiResult VirtualRecorder::ReadCapacity(const ScsiRequest& r) {
    if ((r.cdb[8] & 0x01) == 0 && Get32(&r.cdb[2]) != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const std::vector<RecordedTrack> tracks = TocTracks();
    uint32_t last = 0;
    if (!tracks.empty()) {
        const RecordedTrack& t = tracks.back();
        last = static_cast<uint32_t>(t.start + static_cast<int32_t>(t.length) - 1);
    }
    std::vector<uint8_t> data(8, 0);
    Put32(&data[0], last);
    Put32(&data[4], 2048);
    return Reply(r, data);
}

// ---- READ TOC/PMA/ATIP

ScsiResult VirtualRecorder::ReadTocPmaAtip(const ScsiRequest& r) {
    const bool msf = r.cdb[1] & 0x02;
    switch (r.cdb[2] & 0x0F) {
    case 0: return ReadToc(r, msf, r.cdb[6]);
    case 1: return ReadSessionInfo(r, msf);
    case 2: return ReadFullToc(r);
    case 4: return ReadAtip(r);
    default: return Fail(kSenseIllegalRequest, 0x24, 0x00);  // PMA and CD-TEXT are not modelled
    }
}

// A disc without a complete session has no TOC: drives refuse the read.
ScsiResult VirtualRecorder::ReadToc(const ScsiRequest& r, bool msf, uint8_t first) {
    const std::vector<RecordedTrack> tracks = TocTracks();
    if (tracks.empty()) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const size_t count = tracks.size();
    if (first != 0xAA && first > count) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    std::vector<uint8_t> data(4, 0);
    data[2] = 1;
    data[3] = static_cast<uint8_t>(count);
    for (size_t i = 0; i < count && first != 0xAA; ++i) {
        if (i + 1 < first) continue;
        data.insert(data.end(), {0, static_cast<uint8_t>(0x10 | (tracks[i].control & 0x0F)),
                                 static_cast<uint8_t>(i + 1), 0});
        AppendAddress(data, tracks[i].start, msf);
    }
    const RecordedTrack& last = tracks.back();
    data.insert(data.end(), {0, static_cast<uint8_t>(0x10 | (last.control & 0x0F)), 0xAA, 0});
    AppendAddress(data, last.start + static_cast<int32_t>(last.length), msf);
    Put16(&data[0], static_cast<uint32_t>(data.size() - 2));
    return Reply(r, data);
}

ScsiResult VirtualRecorder::ReadSessionInfo(const ScsiRequest& r, bool msf) {
    const std::vector<RecordedTrack> tracks = TocTracks();
    if (tracks.empty()) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const uint16_t lastSession = tracks.back().session;
    size_t firstOfLast = 0;
    while (tracks[firstOfLast].session != lastSession) ++firstOfLast;
    std::vector<uint8_t> data(4, 0);
    Put16(&data[0], 10);
    data[2] = 1;
    data[3] = static_cast<uint8_t>(lastSession);
    data.insert(data.end(), {0, static_cast<uint8_t>(0x10 | (tracks[firstOfLast].control & 0x0F)),
                             static_cast<uint8_t>(firstOfLast + 1), 0});
    AppendAddress(data, tracks[firstOfLast].start, msf);
    return Reply(r, data);
}

// The lead-in TOC items of every complete session (binary values, as drives return them).
ScsiResult VirtualRecorder::ReadFullToc(const ScsiRequest& r) {
    const std::vector<RecordedTrack> tracks = TocTracks();
    if (m_medium.Family() != MediumFamily::Cd || tracks.empty()) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const uint16_t lastSession = tracks.back().session;
    const uint8_t fromSession = std::max<uint8_t>(r.cdb[6], 1);
    if (fromSession > lastSession) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    std::vector<uint8_t> data(4, 0);
    data[2] = 1;
    data[3] = static_cast<uint8_t>(lastSession);
    auto item = [&](uint16_t session, uint8_t adrControl, uint8_t point, Msf time, uint8_t zero, Msf p) {
        data.insert(data.end(), {static_cast<uint8_t>(session), adrControl, 0, point, time.m, time.s, time.f,
                                 zero, p.m, p.s, p.f});
    };
    for (uint16_t s = fromSession; s <= lastSession; ++s) {
        size_t first = tracks.size(), last = 0;
        for (size_t i = 0; i < tracks.size(); ++i)
            if (tracks[i].session == s) {
                first = std::min(first, i);
                last = i;
            }
        if (first == tracks.size()) continue;
        const uint8_t control = tracks[first].control & 0x0F;
        const uint8_t adr1 = static_cast<uint8_t>(0x10 | control);
        std::vector<RecordedTrack> inSession(tracks.begin() + static_cast<std::ptrdiff_t>(first),
                                             tracks.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        item(s, adr1, 0xA0, {}, 0, {static_cast<uint8_t>(first + 1), DiscTypeOf(inSession), 0});
        item(s, adr1, 0xA1, {}, 0, {static_cast<uint8_t>(last + 1), 0, 0});
        item(s, adr1, 0xA2, {}, 0, LbaToMsf(tracks[last].start + static_cast<int32_t>(tracks[last].length)));
        for (size_t i = first; i <= last; ++i)
            item(s, static_cast<uint8_t>(0x10 | (tracks[i].control & 0x0F)), static_cast<uint8_t>(i + 1), {}, 0,
                 LbaToMsf(tracks[i].start));
        if (s == lastSession && m_medium.HasInvisibleTrack())
            item(s, static_cast<uint8_t>(0x50 | control), 0xB0, LbaToMsf(m_medium.NextTrackStart() - 150), 1,
                 LbaToMsf(m_medium.LastPossibleLeadOut()));
    }
    Put16(&data[0], static_cast<uint32_t>(data.size() - 2));
    return Reply(r, data);
}

// Only recordable CDs carry an ATIP, and only CD writers read it (a reader answers as for a
// format it does not know). In the ATIP descriptor bytes 4 and 6 start with a 1 bit and byte 5
// with a 0 bit, as the special information in the disc's wobble does.
ScsiResult VirtualRecorder::ReadAtip(const ScsiRequest& r) {
    const uint16_t profile = m_medium.profile;
    if (!m_model.WritesCd() || (profile != kProfileCdR && profile != kProfileCdRw))
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    std::vector<uint8_t> data(28, 0);
    Put16(&data[0], 26);
    data[4] = 0x80 | 0x50;  // indicative write power 5, reference speed 0
    data[5] = 0x40;         // unrestricted use
    data[6] = static_cast<uint8_t>(0x80 | (profile == kProfileCdRw ? 0x40 : 0) | (m_medium.atipDiscSubType & 7) << 3);
    const Msf leadIn = LbaToMsf(m_medium.atipLeadInStart);
    const Msf leadOut = LbaToMsf(m_medium.LastPossibleLeadOut());
    data[8] = leadIn.m; data[9] = leadIn.s; data[10] = leadIn.f;
    data[12] = leadOut.m; data[13] = leadOut.s; data[14] = leadOut.f;
    return Reply(r, data);
}

}  // namespace burnlib
