// The virtual recorder's track and session commands: CLOSE TRACK/SESSION, RESERVE TRACK, SEND
// OPC INFORMATION, BLANK, FORMAT UNIT and READ FORMAT CAPACITIES.
#include <algorithm>
#include <string>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

enum : uint8_t {
    kCloseStopFormat = 0,
    kCloseTrack = 1,
    kCloseSession = 2,
    kCloseFinalizeMinusRw = 3,  // DVD-RW finalize; DVD+RW compatible stop of the format
    kCloseSessionExtended = 4,  // DVD+R DL
    kCloseFinalizeMinimum = 5,  // DVD+R, DVD+R DL
    kCloseFinalize = 6,         // DVD+R, DVD+R DL, BD-R, HD DVD-R
};

bool IsDvdPlusRw(uint16_t profile) { return profile == kProfileDvdPlusRw || profile == kProfileDvdPlusRwDl; }

// The close functions each medium takes (mmc-facts 1.13), as a bit per function.
uint8_t CloseFunctionsOf(uint16_t profile) {
    switch (profile) {
    case kProfileCdR:
    case kProfileCdRw:
    case kProfileDvdR:
    case kProfileDvdRDl: return 1 << kCloseTrack | 1 << kCloseSession;
    case kProfileDvdRwSequential: return 1 << kCloseTrack | 1 << kCloseSession | 1 << kCloseFinalizeMinusRw;
    case kProfileDvdPlusR:
        return 1 << kCloseTrack | 1 << kCloseSession | 1 << kCloseFinalizeMinimum | 1 << kCloseFinalize;
    case kProfileDvdPlusRDl:
        return 1 << kCloseTrack | 1 << kCloseSession | 1 << kCloseSessionExtended | 1 << kCloseFinalizeMinimum |
               1 << kCloseFinalize;
    case kProfileBdR:
    case kProfileHdDvdR: return 1 << kCloseTrack | 1 << kCloseSession | 1 << kCloseFinalize;
    case kProfileDvdPlusRw:
    case kProfileDvdPlusRwDl: return 1 << kCloseStopFormat | 1 << kCloseSession | 1 << kCloseFinalizeMinusRw;
    case kProfileDvdRwRestricted: return 1 << kCloseSession;
    default: return 0;
    }
}

}  // namespace

ScsiResult VirtualRecorder::CloseTrackSession(const ScsiRequest& r) {
    const uint8_t function = r.cdb[2] & 0x07;
    const uint16_t number = static_cast<uint16_t>(Get16(&r.cdb[4]));
    const uint16_t profile = m_medium.profile;
    if (!m_model.CanWrite(profile))
        return Refuse(kSenseIllegalRequest, 0x30, 0x05, "the drive does not write this medium");
    if (!(CloseFunctionsOf(profile) >> function & 1))
        return Refuse(kSenseIllegalRequest, 0x24, 0x00,
                      "close function " + std::to_string(function) + " is not one this medium takes");
    if (r.cdb[1] & 0x01) StartBusy(0x07);

    if (IsDvdPlusRw(profile)) {
        // Background formatting: a quick stop leaves it suspended, the others write the lead-out.
        uint8_t& format = m_medium.backgroundFormat;
        if (format == 0) return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "the DVD+RW has never been formatted");
        if (format == 2)
            format = function == kCloseStopFormat ? 1 : 3;
        else if (format == 1 && function != kCloseStopFormat)
            format = 3;
        SaveState();
        return ScsiResult::Ok(0);
    }
    if (profile == kProfileDvdRwRestricted) return ScsiResult::Ok(0);  // fully formatted: nothing open

    if (m_medium.state == DiscState::Closed) return Refuse(kSenseDataProtect, 0x27, 0x00, "the disc is finalized");
    Medium& m = Working();
    if (function == kCloseTrack) {
        // CD drives also take FFh for the invisible track being written.
        RecordedTrack* track = nullptr;
        if (number == 0xFF && m.Family() == MediumFamily::Cd && m.LastTrackGrowing())
            track = &m.tracks.back();
        else if (number >= 1 && number <= m.tracks.size())
            track = &m.tracks[number - 1];
        if (track == nullptr) {
            const bool blankInvisible = m.HasInvisibleTrack() && !m.LastTrackGrowing() &&
                                        (number == m.InvisibleTrackNumber() || number == 0xFF);
            if (blankInvisible)
                return Refuse(kSenseIllegalRequest, 0x2C, 0x00,
                              "track " + std::to_string(number) + " has nothing written to close");
            return Refuse(kSenseIllegalRequest, 0x24, 0x00, "no track " + std::to_string(number));
        }
        if (track->length == 0 && track->reserved == 0)
            return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "the track has nothing written to close");
        CloseTrack(m, *track);
    } else {
        // Closing a session: CD and DVD-R follow page 05's multi-session field, DVD+R and BD-R
        // stay appendable after 010b and are finalized by their finalize functions.
        const bool finalize =
            function == kCloseFinalize || function == kCloseFinalizeMinimum || function == kCloseFinalizeMinusRw;
        if (!m.lastSessionOpen && !(finalize && m.state == DiscState::Appendable))
            return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "no session is open");
        bool appendable = !finalize;
        if (appendable && WritePageApplies()) appendable = MultiSessionAppendable();
        if (m.lastSessionOpen)
            CloseSession(m, appendable);
        else
            m.state = DiscState::Closed;
    }
    if (&m != &m_medium) {
        if (!m.lastSessionOpen) EndSimulation();
    } else {
        SaveState();
    }
    return ScsiResult::Ok(0);
}

// Sets a track aside with the size the host asks for (the ARSV=0 form), from the invisible track's
// start. DVD reservations are taken in whole ECC blocks.
ScsiResult VirtualRecorder::ReserveTrack(const ScsiRequest& r) {
    const uint16_t profile = m_medium.profile;
    if (!m_model.CanWrite(profile))
        return Refuse(kSenseIllegalRequest, 0x30, 0x05, "the drive does not write this medium");
    if (!IsSequentialProfile(profile))
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "tracks are reserved on sequential media only");
    if (r.cdb[1] & 0x01) return Refuse(kSenseIllegalRequest, 0x24, 0x00, "reservation by address is not supported");
    if (m_medium.state == DiscState::Closed) return Refuse(kSenseDataProtect, 0x27, 0x00, "the disc is finalized");
    Medium& m = Working();
    uint32_t size = Get32(&r.cdb[5]);
    if (m.Family() != MediumFamily::Cd) size = (size + 15) / 16 * 16;
    if (m.LastTrackGrowing() || !m.HasInvisibleTrack())
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "the invisible track is not blank");
    if (size == 0 || int64_t{m.NextTrackStart()} + size > m.LastPossibleLeadOut())
        return Refuse(kSenseIllegalRequest, 0x24, 0x00,
                      "a reservation of " + std::to_string(size) + " blocks does not fit");
    OpenNewTrack(m, size);
    if (&m == &m_medium) SaveState();
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::SendOpc(const ScsiRequest& r) {
    if (!m_model.CanWrite(m_medium.profile))
        return Refuse(kSenseIllegalRequest, 0x30, 0x05, "the drive does not write this medium");
    if ((r.cdb[1] & 0x01) && m_opcFault) {
        m_opcFault = false;
        return Refuse(kSenseMediumError, 0x73, 0x03, "power calibration failed (injected)");
    }
    return ScsiResult::Ok(0);
}

// Full and minimal blanking of CD-RW and DVD-RW. A blanked DVD-RW is sequential; after a minimal
// blank it takes Disc-at-Once only.
ScsiResult VirtualRecorder::Blank(const ScsiRequest& r) {
    const uint8_t type = r.cdb[1] & 0x07;
    const uint16_t profile = m_medium.profile;
    const bool rewritable =
        profile == kProfileCdRw || profile == kProfileDvdRwSequential || profile == kProfileDvdRwRestricted;
    if (!m_model.CanWrite(profile) || !rewritable)
        return Refuse(kSenseIllegalRequest, 0x30, 0x00, "only CD-RW and DVD-RW are blanked");
    if (type > 1)
        return Refuse(kSenseIllegalRequest, 0x24, 0x00, "blanking type " + std::to_string(type) + " is not supported");
    EndSimulation();
    m_mastering.reset();
    m_medium.tracks.clear();
    m_medium.state = DiscState::Blank;
    m_medium.lastSessionOpen = false;
    if (profile != kProfileCdRw) {
        m_medium.profile = kProfileDvdRwSequential;
        m_medium.minimalBlank = type == 1;
    }
    if (m_medium.userData) m_medium.userData->Truncate();
    if (!m_storeFolder.empty()) {
        m_rawStore.reset();
        std::error_code ignored;
        std::filesystem::remove(StorePath(".raw"), ignored);
        std::filesystem::remove(StorePath(".txt"), ignored);
    }
    if (r.cdb[1] & 0x10) StartBusy(0x07);
    SaveState();
    return ScsiResult::Ok(0);
}

// Formats a DVD+RW in the background (format type 26h); the restart bit resumes a suspended
// format. Other formats are not modelled.
ScsiResult VirtualRecorder::FormatUnit(const ScsiRequest& r) {
    if (r.cdb[1] != 0x11)
        return Refuse(kSenseIllegalRequest, 0x24, 0x00, "FORMAT UNIT takes FmtData with format code 001b");
    const uint16_t profile = m_medium.profile;
    if (!m_model.CanWrite(profile) || !IsOverwritableProfile(profile))
        return Refuse(kSenseIllegalRequest, 0x30, 0x06, "the medium cannot be formatted");
    const std::vector<uint8_t> p = TakeParameters(r);
    if (p.size() < 12 || p[0] != 0 || (p[1] & ~0x82) != 0 || Get16(&p[2]) != 8)
        return Refuse(kSenseIllegalRequest, 0x26, 0x00, "the format list header is not one 8-byte descriptor");
    if (!IsDvdPlusRw(profile)) return Refuse(kSenseIllegalRequest, 0x26, 0x00, "only DVD+RW formatting is modelled");
    const uint32_t blocks = Get32(&p[4]);
    if (p[8] != (0x26 << 2) || p[9] != 0 || p[10] != 0 || (p[11] & ~0x01) != 0)
        return Refuse(kSenseIllegalRequest, 0x26, 0x00, "a DVD+RW takes format type 26h");
    if (blocks != 0xFFFFFFFF && blocks != m_medium.capacityBlocks)
        return Refuse(kSenseIllegalRequest, 0x26, 0x00,
                      "the block count is not the disc's " + std::to_string(m_medium.capacityBlocks));
    uint8_t& format = m_medium.backgroundFormat;
    if (p[11] & 0x01) {
        if (format != 1) return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "no suspended format to restart");
    }
    format = 2;
    m_medium.state = DiscState::Closed;
    SaveState();
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::ReadFormatCapacities(const ScsiRequest& r) {
    std::vector<uint8_t> data(12, 0);
    Put24(&data[9], 2048);
    if (!MediumReady()) {
        data[8] = 0x03;  // no medium
    } else {
        const Medium& m = m_medium;
        const bool unformattedPlusRw = IsDvdPlusRw(m.profile) && m.backgroundFormat == 0;
        Put32(&data[4], m.capacityBlocks);
        data[8] = IsOverwritableProfile(m.profile) && !unformattedPlusRw ? 0x02 : 0x01;
        if (IsDvdPlusRw(m.profile) && m_model.CanWrite(m.profile)) {
            std::vector<uint8_t> d(8, 0);
            Put32(&d[0], m.capacityBlocks);
            d[4] = 0x26 << 2;
            data.insert(data.end(), d.begin(), d.end());
        }
    }
    data[3] = static_cast<uint8_t>(data.size() - 4);
    return Reply(r, data);
}

}  // namespace burnlib
