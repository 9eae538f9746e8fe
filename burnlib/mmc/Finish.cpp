#include "burnlib/mmc/Finish.h"

#include <string>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteSetup.h"
#include "burnlib/mmc/WriteStream.h"

namespace burnlib::mmc {

namespace {

enum : uint8_t {
    kCloseTrack = 1,
    kCloseSession = 2,    // DVD+RW: ends the background format with a compatible lead-out
    kFinalizeDvdPlusR = 6,
};

bool Close(MmcDevice& device, uint8_t function, uint16_t track) {
    return device.ExecuteImmediate(MakeCloseTrackSession(true, function, track),
                                   kFinishLimitSeconds);
}

}  // namespace

bool SynchronizeCache(MmcDevice& device) {
    return device.ExecuteImmediate(MakeSynchronizeCache(true), kFinishLimitSeconds);
}

bool CloseTrackAndSession(MmcDevice& device, uint16_t profile, uint16_t trackNumber,
                          bool multisession) {
    const uint8_t multiSession = multisession ? kMultiSessionOpen : kMultiSessionClosed;
    switch (profile) {
        case kProfileCdR:
        case kProfileCdRw:
            // Whether the session is finalized is the page's multi-session field.
            if (!SetMultiSession(device, multiSession)) return false;
            if (!Close(device, kCloseTrack, trackNumber)) {
                // Some CD writers refuse to close a Track-At-Once track on its own; closing the
                // session closes it as well.
                if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x24))
                    return false;
            }
            return Close(device, kCloseSession, 0);
        case kProfileDvdR:
        case kProfileDvdRwSequential:
        case kProfileDvdRDl:
            return SetMultiSession(device, multiSession) &&
                   Close(device, kCloseTrack, trackNumber) && Close(device, kCloseSession, 0);
        case kProfileDvdPlusR:
        case kProfileDvdPlusRDl:
            return Close(device, kCloseTrack, trackNumber) &&
                   Close(device, multisession ? kCloseSession : kFinalizeDvdPlusR, 0);
        case kProfileDvdPlusRw:
        case kProfileDvdPlusRwDl: {
            DiscInformation disc;
            if (!ReadDiscInformation(device, &disc)) return false;
            // A format still running in the background ends with a lead-out DVD-ROM drives read.
            return disc.backgroundFormat != 2 || Close(device, kCloseSession, 0);
        }
        default:
            return true;  // written in place: the synchronised cache is all
    }
}

bool CloseSession(MmcDevice& device, OpenTrack* open) {
    if (!open->open) {
        FailOperation(device, Outcome::InvalidParameter,
                      "nothing to close: no Track-At-Once write on this drive object left a "
                      "track open");
        return false;
    }
    DriveHold hold(device);
    if (!hold.TakeExclusive()) return false;
    uint16_t profile = kProfileNone;
    if (!WaitUntilReady(device, kFinishLimitSeconds) || !device.ReadCurrentProfile(&profile))
        return false;
    if (profile != open->profile) {
        FailOperation(device, Outcome::NotSupported,
                      "the disc in the drive is not the one Track-At-Once wrote");
        return false;
    }
    if (!SynchronizeCache(device) ||
        !CloseTrackAndSession(device, profile, open->trackNumber, open->multisession))
        return false;
    open->open = false;
    return true;
}

bool Eject(MmcDevice& device) {
    // A tray still locked would not open; a drive that refuses the unlock may open anyway.
    if (!device.Execute(MakePreventAllowMediumRemoval(false), DataDirection::None, nullptr, 0) &&
        device.Cancelled())
        return false;
    // Opening the tray takes a few seconds on slow loaders.
    return device.Execute(MakeStartStopUnit(false, true, false), DataDirection::None, nullptr, 0,
                          nullptr, 60);
}

}  // namespace burnlib::mmc
