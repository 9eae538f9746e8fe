// CD Session-At-Once: the drive learns the session's layout from a cue sheet, makes the lead-in
// and lead-out itself and takes the pregap and the track from the host.
#include <algorithm>

#include "burnlib/common/Msf.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

namespace {

constexpr int32_t kPregapBlocks = 150;
constexpr uint8_t kAdrPosition = 0x01;
constexpr uint8_t kFormMode1Host = 0x10;       // 2048-byte user data from the host
constexpr uint8_t kFormMode1Generated = 0x14;  // zero Mode 1 blocks the drive makes
constexpr uint8_t kLeadOutTrack = 0xAA;

void PutEntry(std::vector<uint8_t>* sheet, uint8_t control, uint8_t track, uint8_t index,
              uint8_t form, int32_t lba) {
    // Cue sheet times are binary minutes, seconds and frames, not BCD.
    const Msf msf = LbaToMsf(lba);
    const uint8_t entry[8] = {static_cast<uint8_t>((control << 4) | kAdrPosition),
                              track, index, form, 0x00, msf.m, msf.s, msf.f};
    sheet->insert(sheet->end(), entry, entry + 8);
}

}  // namespace

std::vector<uint8_t> SingleTrackCueSheet(int32_t trackBlocks, uint8_t control) {
    std::vector<uint8_t> sheet;
    PutEntry(&sheet, control, 0x00, 0x00, kFormMode1Generated, -kPregapBlocks);
    PutEntry(&sheet, control, 0x01, 0x00, kFormMode1Host, -kPregapBlocks);
    PutEntry(&sheet, control, 0x01, 0x01, kFormMode1Host, 0);
    PutEntry(&sheet, control, kLeadOutTrack, 0x01, kFormMode1Generated, trackBlocks);
    return sheet;
}

bool WriteCdSessionAtOnce(WriteContext& c) {
    WriteParameterSettings s;
    s.writeType = kWriteTypeSessionAtOnce;
    s.testWrite = c.options.testWrite;
    s.multiSession = c.options.multisession ? kMultiSessionOpen : kMultiSessionClosed;
    s.trackMode = kTrackModeData;
    s.dataBlockType = kBlockTypeMode1;
    if (!SetWriteParameters(c.device, s)) return false;

    const uint32_t perWrite = BlocksPerTransfer(c.device, kUserBlockSize);
    if (perWrite == 0) {
        FailOperation(c.device, Outcome::NotSupported,
                      "the drive's transfer limit is below one block");
        return false;
    }
    std::vector<uint8_t> sheet =
        SingleTrackCueSheet(static_cast<int32_t>(c.paddedBlocks), kTrackModeData);
    if (!c.device.Execute(MakeSendCueSheet(static_cast<uint32_t>(sheet.size())),
                          DataDirection::Out, sheet.data(), static_cast<uint32_t>(sheet.size())))
        return false;

    UserBlockReader reader(c.device, c.source, perWrite, c.options.ringBytes, c.paddedBlocks);
    c.progress.Update(0);
    c.wrote = true;
    // The pregap's 150 blocks: zero user data, sent by the host as the cue sheet says.
    const uint32_t zeroBlocks = std::min<uint32_t>(perWrite, kPregapBlocks);
    AlignedBuffer zeros(size_t{zeroBlocks} * kUserBlockSize);
    std::fill(zeros.data(), zeros.data() + zeros.size(), uint8_t{0});
    for (int32_t lba = -kPregapBlocks; lba < 0;) {
        const uint32_t n = std::min<uint32_t>(zeroBlocks, static_cast<uint32_t>(-lba));
        if (!c.device.ExecuteWrite(MakeWrite10(lba, static_cast<uint16_t>(n)), zeros.data(),
                                   n * kUserBlockSize))
            return false;
        lba += static_cast<int32_t>(n);
    }
    if (!WriteUserBlocks(c.device, reader, 0, c.paddedBlocks, perWrite, c.progress) ||
        !SynchronizeCache(c.device))
        return false;
    c.progress.Finish();
    return true;
}

}  // namespace burnlib::mmc
