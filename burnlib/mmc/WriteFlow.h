// Writing one image as one Mode 1 data track, the way the medium in the drive takes it: the
// checks that come before anything is written, the hold on the drive, and the write method's
// own flow. What Track-At-Once leaves open, CloseSession (Finish.h) ends.
#pragma once

#include <cstdint>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/WriteStream.h"

namespace burnlib::mmc {

enum class WriteMethod : uint8_t { TrackAtOnce, SessionAtOnce, DiscAtOncePq, DiscAtOnceRawPw };

struct WriteOptions {
    WriteMethod method = WriteMethod::TrackAtOnce;
    bool testWrite = false;
    bool multisession = false;  // leave the disc appendable
    bool copyPermitted = false;
    bool lockTray = false;
    uint64_t ringBytes = 0;     // read-ahead between the image and the drive
};

// A track Track-At-Once wrote and left open, for CloseSession.
struct OpenTrack {
    bool open = false;
    uint16_t profile = 0;
    uint16_t trackNumber = 0;
    bool multisession = false;
};

// Fails before the first WRITE when the medium or the drive cannot take the method, the image is
// empty or larger than the free space, or another program holds the drive. After a WRITE, a
// failure (a cancel included) still synchronises the drive's cache; the tray lock and exclusive
// access are given back on every path. *left tells what Track-At-Once left open.
bool WriteImage(MmcDevice& device, const WriteOptions& options, BlockSource& source,
                const ProgressFunction& progress, OpenTrack* left);

}  // namespace burnlib::mmc
