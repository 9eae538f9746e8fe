// The write methods' own flows, called by WriteImage once the checks have passed. Each sets the
// drive up, streams the blocks and synchronises; none holds or releases the drive.
#pragma once

#include <cstdint>
#include <vector>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Parsers.h"
#include "burnlib/mmc/WriteFlow.h"
#include "burnlib/mmc/WriteStream.h"

namespace burnlib::mmc {

struct WriteContext {
    MmcDevice& device;
    const WriteOptions& options;
    BlockSource& source;
    ProgressReporter& progress;
    uint16_t profile = 0;
    DiscInformation disc;
    TrackInformation next;      // the track the write goes to
    uint64_t paddedBlocks = 0;  // blocks the track gets: the image padded as the medium needs
    bool wrote = false;         // a WRITE went out: a failure must still synchronise
    OpenTrack* left = nullptr;
};

// A CD track is at least 4 seconds long.
constexpr uint64_t kMinCdTrackBlocks = 300;
// DVD-R incremental writing goes in fixed packets of 16 blocks (one ECC block, 32 KiB).
constexpr uint32_t kDvdPacketBlocks = 16;
// SYNCHRONIZE CACHE and CLOSE may write a lead-out or lead-in: minutes on a slow drive.
constexpr uint32_t kFinishLimitSeconds = 1800;

// The next writable address depends on the write type page 05h names, so a flow that sets the
// page reads it again afterwards; the track must still fit.
bool RereadNextWritable(WriteContext& context);

bool WriteCdTrackAtOnce(WriteContext& context);
bool WriteCdSessionAtOnce(WriteContext& context);
bool WriteCdDiscAtOnceRaw(WriteContext& context);
bool WriteDvd(WriteContext& context);

// The cue sheet of one Mode 1 data track of trackBlocks blocks from block 0, with a 2-second
// pregap: lead-in, index 0, index 1, lead-out, all data made by the drive but the track's.
std::vector<uint8_t> SingleTrackCueSheet(int32_t trackBlocks, uint8_t control);

// DVD+RW: FORMAT UNIT when the disc was never formatted, a restart when its background format
// was suspended; nothing otherwise.
bool PrepareDvdPlusRw(MmcDevice& device, const DiscInformation& disc);
// Blocks a DVD+RW holds: its formatted size, or what formatting would give.
bool DvdPlusRwCapacity(MmcDevice& device, uint64_t* blocks);

}  // namespace burnlib::mmc
