#include "burnlib/cd/RawDisc.h"

#include <algorithm>

namespace burnlib::cd {

size_t RawBlockSize(Subchannel subchannel) {
    return kRawSectorSize + (subchannel == Subchannel::Pw96 ? kPw96Size : kPq16Size);
}

bool IsValidLayout(const RawDiscLayout& layout) {
    const bool knownType = layout.discType == DiscType::CdRom || layout.discType == DiscType::CdI ||
                           layout.discType == DiscType::CdRomXa;
    const bool knownSubchannel = layout.subchannel == Subchannel::Pq16 || layout.subchannel == Subchannel::Pw96;
    return knownType && knownSubchannel && layout.leadInStart >= kFirstLeadInLba &&
           layout.leadInStart <= -kPregapBlocks - kMinLeadInBlocks && layout.trackBlocks >= kMinTrackBlocks &&
           layout.leadOutBlocks > 0 && layout.trackBlocks <= kMaxDiscEnd &&
           layout.leadOutBlocks <= kMaxDiscEnd - layout.trackBlocks;
}

int32_t DiscEnd(const RawDiscLayout& layout) { return layout.trackBlocks + layout.leadOutBlocks; }

Region RegionOf(const RawDiscLayout& layout, int32_t lba) {
    if (lba < -kPregapBlocks) return Region::LeadIn;
    if (lba < 0) return Region::Pregap;
    if (lba < layout.trackBlocks) return Region::Track;
    return Region::LeadOut;
}

uint32_t TrackBlocksIn(const RawDiscLayout& layout, int32_t lba, uint32_t count) {
    const int64_t first = std::max<int64_t>(lba, 0);
    const int64_t end = std::min<int64_t>(int64_t{lba} + count, layout.trackBlocks);
    return end > first ? static_cast<uint32_t>(end - first) : 0;
}

QFrame BlockQ(const RawDiscLayout& layout, int32_t lba) {
    const uint8_t control = DataTrackControl(layout.copyPermitted);
    switch (RegionOf(layout, lba)) {
    case Region::LeadIn: {
        // Each table-of-contents item fills three blocks in a row; the four items repeat. The
        // running time counts the lead-in from 00:00:00 at its first block.
        const int32_t n = lba - layout.leadInStart;
        const Msf running = FramesToMsf(n);
        switch (n / 3 % 4) {
        case 0: return LeadInQ(control, 0x01, running, ToBcd(LbaToMsf(0)));
        case 1: return LeadInQ(control, kPointFirstTrack, running, Msf{0x01, static_cast<uint8_t>(layout.discType), 0});
        case 2: return LeadInQ(control, kPointLastTrack, running, Msf{0x01, 0, 0});
        default: return LeadInQ(control, kPointLeadOut, running, ToBcd(LbaToMsf(layout.trackBlocks)));
        }
    }
    case Region::Pregap:
        // Counts down to 00:00:00 on the pregap's last block, the track starting at 00:00:00 again.
        return ProgramAreaQ(control, 0x01, 0x00, FramesToMsf(-1 - lba), lba);
    case Region::Track:
        return ProgramAreaQ(control, 0x01, 0x01, FramesToMsf(lba), lba);
    case Region::LeadOut:
        return ProgramAreaQ(control, kLeadOutTrack, 0x01, FramesToMsf(lba - layout.trackBlocks), lba);
    }
    return {};
}

bool BlockP(const RawDiscLayout& layout, int32_t lba) {
    switch (RegionOf(layout, lba)) {
    case Region::Pregap:
        return true;
    case Region::LeadOut: {
        // 2 Hz with equal halves, starting with 1: 75 blocks hold two periods.
        const int32_t n = lba - layout.trackBlocks;
        return n * 4 % 150 < 75;
    }
    default:
        return false;
    }
}

bool GenerateRawBlocks(const RawDiscLayout& layout, int32_t lba, uint32_t count, const uint8_t* userData,
                       uint8_t* out, Kernel kernel) {
    if (!IsValidLayout(layout) || lba < layout.leadInStart || int64_t{lba} + count > DiscEnd(layout)) return false;
    if (TrackBlocksIn(layout, lba, count) > 0 && userData == nullptr) return false;
    if (!KernelAvailable(kernel)) kernel = BestKernel();
    const size_t blockSize = RawBlockSize(layout.subchannel);
    for (uint32_t i = 0; i < count; ++i, out += blockSize) {
        const int32_t block = lba + static_cast<int32_t>(i);
        const bool track = block >= 0 && block < layout.trackBlocks;
        EncodeMode1Sector(block, track ? userData : nullptr, out, true, kernel);
        if (track) userData += kUserDataSize;
        const QFrame q = BlockQ(layout, block);
        if (layout.subchannel == Subchannel::Pw96)
            PackPw96(q, BlockP(layout, block), out + kRawSectorSize);
        else
            PackPq16(q, BlockP(layout, block), out + kRawSectorSize);
    }
    return true;
}

}  // namespace burnlib::cd
