// Ending a write: the cache written out, the track and session closed as the medium needs, the
// tray opened.
#pragma once

#include <cstdint>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/WriteFlow.h"

namespace burnlib::mmc {

// SYNCHRONIZE CACHE with Immed, then waits while the drive is busy.
bool SynchronizeCache(MmcDevice& device);

// Closes the track and its session as the medium needs: CD and DVD-R/-RW close the track, then
// the session (finalized unless multisession, per page 05h); DVD+R closes the track, then the
// session or the disc; DVD+RW ends its background format with a compatible lead-out; media
// written in place need nothing.
bool CloseTrackAndSession(MmcDevice& device, uint16_t profile, uint16_t trackNumber,
                          bool multisession);

// Closes what Track-At-Once left open on the same disc; clears *open on success.
bool CloseSession(MmcDevice& device, OpenTrack* open);

// Allows removal, then opens the tray.
bool Eject(MmcDevice& device);

}  // namespace burnlib::mmc
