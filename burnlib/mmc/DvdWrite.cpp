// DVD media: one track, written the way each medium takes it. DVD-R/-RW sequential media go in
// fixed 16-block packets from the next writable address; DVD+R from its next writable address;
// media written in place (DVD+RW, DVD-RW restricted overwrite, DVD-RAM) from block 0.
#include <algorithm>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

namespace {

constexpr uint8_t kFormatTypeDvdPlusRw = 0x26;
// READ FORMAT CAPACITIES: a 4-byte header, the current/maximum descriptor and up to 30 more.
constexpr uint16_t kFormatCapacitiesLength = 4 + 8 * 32;

// The blocks a full DVD+RW format gives: the 26h descriptor, else the maximum descriptor.
bool DvdPlusRwFormatBlocks(MmcDevice& device, uint32_t* blocks) {
    uint8_t reply[kFormatCapacitiesLength] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadFormatCapacities(sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (got < 12 || reply[3] < 8) return device.BadResponse(cdb, got);
    const uint32_t listEnd = std::min<uint32_t>(got, 4u + reply[3]);
    for (uint32_t at = 12; at + 8 <= listEnd; at += 8) {
        if ((reply[at + 4] >> 2) == kFormatTypeDvdPlusRw) {
            *blocks = GetBe32(reply + at);
            return true;
        }
    }
    *blocks = GetBe32(reply + 4);
    return true;
}

bool IsSequentialDvdMinus(uint16_t profile) {
    return profile == kProfileDvdR || profile == kProfileDvdRwSequential ||
           profile == kProfileDvdRDl;
}

bool WritesInPlace(uint16_t profile) {
    return profile == kProfileDvdRwRestricted || profile == kProfileDvdPlusRw ||
           profile == kProfileDvdPlusRwDl || profile == kProfileDvdRam;
}

}  // namespace

bool DvdPlusRwCapacity(MmcDevice& device, uint64_t* blocks) {
    uint32_t n = 0;
    if (!DvdPlusRwFormatBlocks(device, &n)) return false;
    *blocks = n;
    return true;
}

bool PrepareDvdPlusRw(MmcDevice& device, const DiscInformation& disc) {
    // Background format status: 0 never formatted, 1 suspended, 2 running, 3 complete.
    if (disc.backgroundFormat >= 2) return true;
    uint32_t blocks = 0;
    if (!DvdPlusRwFormatBlocks(device, &blocks)) return false;
    uint8_t list[12] = {};
    list[1] = 0x02;  // Immed: writing may start while the drive formats in the background
    PutBe16(list + 2, 8);
    PutBe32(list + 4, blocks);
    list[8] = kFormatTypeDvdPlusRw << 2;
    list[11] = disc.backgroundFormat == 1 ? 0x01 : 0x00;  // restart the suspended format
    return device.ExecuteImmediate(MakeFormatUnit(), kFinishLimitSeconds, DataDirection::Out,
                                   list, sizeof list);
}

bool WriteDvd(WriteContext& c) {
    const bool packets = IsSequentialDvdMinus(c.profile);
    const bool inPlace = WritesInPlace(c.profile);
    if (packets) {
        WriteParameterSettings s;
        s.writeType = kWriteTypeIncremental;
        s.testWrite = c.options.testWrite;
        s.multiSession = c.options.multisession ? kMultiSessionOpen : kMultiSessionClosed;
        s.fixedPacket = true;
        s.packetSize = kDvdPacketBlocks;
        s.linkSizeValid = true;
        s.linkSize = 16;
        s.trackMode = kTrackModeDvdIncremental;
        s.dataBlockType = kBlockTypeMode1;
        if (!SetWriteParameters(c.device, s) || !RereadNextWritable(c)) return false;
    }
    if ((c.profile == kProfileDvdPlusRw || c.profile == kProfileDvdPlusRwDl) &&
        !PrepareDvdPlusRw(c.device, c.disc))
        return false;

    uint32_t perWrite = BlocksPerTransfer(c.device, kUserBlockSize);
    // Whole ECC blocks per command where the transfer limit allows; fixed packets need them.
    if (perWrite >= kDvdPacketBlocks) perWrite -= perWrite % kDvdPacketBlocks;
    if (perWrite == 0 ||
        ((packets || c.profile == kProfileDvdRwRestricted) && perWrite < kDvdPacketBlocks)) {
        FailOperation(c.device, Outcome::NotSupported,
                      "the drive's transfer limit is below one 32 KiB packet");
        return false;
    }
    const int32_t start = inPlace ? 0 : c.next.nextWritable;
    UserBlockReader reader(c.device, c.source, perWrite, c.options.ringBytes, c.paddedBlocks);
    c.progress.Update(0);
    c.wrote = true;
    if (!WriteUserBlocks(c.device, reader, start, c.paddedBlocks, perWrite, c.progress) ||
        !SynchronizeCache(c.device))
        return false;
    c.progress.Finish();
    if (c.options.testWrite) return true;
    const uint16_t track = inPlace ? 1 : c.next.trackNumber;
    if (c.options.method == WriteMethod::SessionAtOnce)
        return CloseTrackAndSession(c.device, c.profile, track, c.options.multisession);
    *c.left = OpenTrack{true, c.profile, track, c.options.multisession};
    return true;
}

}  // namespace burnlib::mmc
