// CD Disc-At-Once in raw mode: the host builds every block of the disc, from the first lead-in
// block through the pregap, the track and the lead-out, with its sub-channel.
#include <algorithm>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/EncodeAhead.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

namespace {

// Drives that report the lead-in start as the next writable address in raw mode give a lead-in
// time; anything later is not one, and the disc's ATIP says where the lead-in starts.
constexpr int32_t kLatestLeadInNwa = -4500;

bool LeadInStart(MmcDevice& device, int32_t* start) {
    TrackInformation next;
    if (ReadTrackInformation(device, kTrackAddressNumber, 0xFF, &next)) {
        if (next.nwaValid && next.nextWritable <= kLatestLeadInNwa) {
            *start = next.nextWritable;
            return true;
        }
    } else if (device.Cancelled()) {
        return false;
    }
    Atip atip;
    if (!ReadAtip(device, &atip)) return false;
    *start = atip.leadInStart;
    return true;
}

}  // namespace

bool WriteCdDiscAtOnceRaw(WriteContext& c) {
    const bool pw = c.options.method == WriteMethod::DiscAtOnceRawPw;
    WriteParameterSettings s;
    s.writeType = kWriteTypeRaw;
    s.testWrite = c.options.testWrite;
    s.multiSession = kMultiSessionClosed;
    s.dataBlockType = pw ? kBlockTypeRawPw : kBlockTypeRawPq;
    if (!SetWriteParameters(c.device, s)) return false;

    cd::RawDiscLayout layout;
    if (!LeadInStart(c.device, &layout.leadInStart)) return false;
    layout.trackBlocks = static_cast<int32_t>(c.paddedBlocks);
    layout.subchannel = pw ? cd::Subchannel::Pw96 : cd::Subchannel::Pq16;
    layout.copyPermitted = c.options.copyPermitted;
    if (!cd::IsValidLayout(layout)) {
        FailOperation(c.device, Outcome::NotSupported,
                      "the disc cannot hold this image in one raw session (lead-in from block " +
                          std::to_string(layout.leadInStart) + ", " +
                          std::to_string(layout.trackBlocks) + " track blocks)");
        return false;
    }
    const uint32_t blockSize = static_cast<uint32_t>(cd::RawBlockSize(layout.subchannel));
    const uint32_t perWrite = BlocksPerWrite(c, blockSize);
    if (perWrite == 0) return false;

    UserBlockReader reader(c.device, c.source, perWrite, c.options.ringBytes, c.paddedBlocks);
    EncodeAhead ahead(layout, cd::BestKernel(), size_t{perWrite} * blockSize);  // ends before the reader
    const int32_t end = cd::DiscEnd(layout);
    const auto batch = [&](int32_t lba) { return std::min<uint32_t>(perWrite, static_cast<uint32_t>(end - lba)); };
    // The next batch's user data is taken, and its blocks begun, before the current batch is sent.
    const auto begin = [&](int32_t lba) {
        const uint8_t* userData = nullptr;
        if (!reader.Take(cd::TrackBlocksIn(layout, lba, batch(lba)), &userData)) return false;
        ahead.Start(lba, batch(lba), userData);
        return true;
    };
    c.progress.Update(0);
    c.wrote = true;
    if (!begin(layout.leadInStart)) return false;
    uint64_t imageBlocksSent = 0;
    for (int32_t lba = layout.leadInStart; lba < end;) {
        const uint32_t n = batch(lba);
        const uint8_t* blocks = ahead.Take();
        if (blocks == nullptr) {
            FailOperation(c.device, Outcome::InvalidParameter,
                          "internal error: raw blocks from " + std::to_string(lba) +
                              " could not be built");
            return false;
        }
        const int32_t next = lba + static_cast<int32_t>(n);
        if (next < end && !begin(next)) return false;
        if (!c.device.ExecuteWrite(MakeWrite10(lba, static_cast<uint16_t>(n)), blocks,
                                   n * blockSize))
            return false;
        imageBlocksSent += cd::TrackBlocksIn(layout, lba, n);
        lba = next;
        c.progress.Update(imageBlocksSent * kUserBlockSize);
    }
    if (!SynchronizeCache(c.device)) return false;
    c.progress.Finish();
    return true;
}

}  // namespace burnlib::mmc
