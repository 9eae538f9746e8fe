// The CD write methods a drive offers. They are the drive's: the same whatever is in the tray
// (what the inserted medium allows is for the write pages to decide).
#pragma once

#include "burnlib/mmc/MmcDevice.h"

namespace burnlib::mmc {

struct WriteModes {
    bool tao = false;
    bool sao = false;
    bool rawPQ = false;   // raw 2352 + 16 (data block type 1)
    bool rawPW = false;   // raw 2352 + 96 (data block types 2/3)
    bool rawMultiSession = false;
};

// From features 002Dh and 002Eh; a drive without GET CONFIGURATION is asked by trying write
// parameters, and its page 05h is put back as it was on every path.
bool ProbeWriteModes(MmcDevice& device, WriteModes* out);

}  // namespace burnlib::mmc
