#include "burnlib/virtual/Medium.h"

#include <algorithm>

namespace burnlib {

MediumFamily FamilyOfProfile(uint16_t profile) {
    if (profile >= 0x08 && profile <= 0x0A) return MediumFamily::Cd;
    if ((profile >= 0x10 && profile <= 0x16) || profile == 0x1A || profile == 0x1B ||
        profile == 0x2A || profile == 0x2B)
        return MediumFamily::Dvd;
    if (profile >= 0x40 && profile <= 0x43) return MediumFamily::Bd;
    if (profile >= 0x50 && profile <= 0x5A) return MediumFamily::HdDvd;
    return MediumFamily::None;
}

bool IsSequentialProfile(uint16_t profile) {
    switch (profile) {
    case kProfileCdR: case kProfileCdRw: case kProfileDvdR: case kProfileDvdRwSequential:
    case kProfileDvdRDl: case kProfileDvdRDlJump: case kProfileDvdPlusR: case kProfileDvdPlusRDl:
    case kProfileBdR: case kProfileHdDvdR:
        return true;
    default:
        return false;
    }
}

bool IsOverwritableProfile(uint16_t profile) {
    switch (profile) {
    case kProfileDvdRam: case kProfileDvdRwRestricted: case kProfileDvdPlusRw:
    case kProfileDvdPlusRwDl: case kProfileBdRRandom: case kProfileBdRe: case kProfileHdDvdRam:
    case kProfileHdDvdRw:
        return true;
    default:
        return false;
    }
}

bool IsRomProfile(uint16_t profile) {
    return profile == kProfileCdRom || profile == kProfileDvdRom || profile == kProfileBdRom ||
           profile == kProfileHdDvdRom;
}

uint16_t Medium::SessionCount() const {
    uint16_t sessions = 0;
    for (const RecordedTrack& t : tracks) sessions = std::max(sessions, t.session);
    return sessions;
}

int32_t Medium::RecordedEnd() const {
    if (tracks.empty()) return 0;
    return tracks.back().End();
}

// A CD session ends with a lead-out and the next begins with a lead-in and a pregap: 6750 + 4500
// + 150 blocks after the first session, 2250 + 4500 + 150 after later ones. Inside an open CD
// session a Track-at-Once track is followed by its 2 run-out blocks and the next track's 150-block
// pregap. DVD session gaps are not modelled; the next track starts at the next 16-block (ECC
// block) boundary.
int32_t Medium::NextTrackStart() const {
    if (tracks.empty()) return 0;
    const int32_t end = RecordedEnd();
    if (Family() == MediumFamily::Cd) {
        if (lastSessionOpen) return end + 2 + 150;
        return end + (SessionCount() == 1 ? 11400 : 6900);
    }
    return (end + 15) / 16 * 16;
}

bool Medium::HasInvisibleTrack() const {
    if (profile == kProfileNone || notReady || !IsSequentialProfile(profile) || state == DiscState::Closed)
        return false;
    if (LastTrackGrowing()) return true;
    return tracks.size() < 99 && NextTrackStart() < LastPossibleLeadOut();
}

}  // namespace burnlib
