// Which media the drive reads and writes: from its profiles and write features, or from the
// capabilities page of a drive without profiles. A property of the drive, not of the disc.
#pragma once

#include "burnlib/mmc/MmcDevice.h"

namespace burnlib::mmc {

// One flag per (medium, direction), in the order of the library's media-formats record.
struct MediaSupport {
    bool cdRomRead = false, cdRRead = false, cdRWrite = false, cdRwRead = false,
         cdRwWrite = false;
    bool dvdRomRead = false, dvdRRead = false, dvdRWrite = false, dvdRDlRead = false,
         dvdRDlWrite = false;
    bool dvdRwRead = false, dvdRwWrite = false, dvdRwDlRead = false, dvdRwDlWrite = false;
    bool dvdRamRead = false, dvdRamWrite = false;
    bool dvdPlusRwRead = false, dvdPlusRwWrite = false, dvdPlusRwDlRead = false,
         dvdPlusRwDlWrite = false;
    bool dvdPlusRRead = false, dvdPlusRWrite = false, dvdPlusRDlRead = false,
         dvdPlusRDlWrite = false;
    bool bdRomRead = false, bdRRead = false, bdRWrite = false, bdReRead = false,
         bdReWrite = false;
    bool hdDvdRomRead = false, hdDvdRRead = false, hdDvdRWrite = false, hdDvdRamRead = false,
         hdDvdRamWrite = false, hdDvdRwRead = false, hdDvdRwWrite = false;
};

bool ReadMediaSupport(MmcDevice& device, MediaSupport* out);

}  // namespace burnlib::mmc
