// CD Track-At-Once: one track from the next writable address, the drive making its pregap and
// run-out; the session stays open for CloseSession.
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

bool WriteCdTrackAtOnce(WriteContext& c) {
    WriteParameterSettings s;
    s.writeType = kWriteTypeTrackAtOnce;
    s.testWrite = c.options.testWrite;
    s.multiSession = c.options.multisession ? kMultiSessionOpen : kMultiSessionClosed;
    s.trackMode = kTrackModeData;
    s.dataBlockType = kBlockTypeMode1;
    if (!SetWriteParameters(c.device, s) || !RereadNextWritable(c)) return false;

    const uint32_t perWrite = BlocksPerTransfer(c.device, kUserBlockSize);
    if (perWrite == 0) {
        FailOperation(c.device, Outcome::NotSupported,
                      "the drive's transfer limit is below one block");
        return false;
    }
    UserBlockReader reader(c.device, c.source, perWrite, c.options.ringBytes, c.paddedBlocks);
    c.progress.Update(0);
    c.wrote = true;
    if (!WriteUserBlocks(c.device, reader, c.next.nextWritable, c.paddedBlocks, perWrite,
                         c.progress) ||
        !SynchronizeCache(c.device))
        return false;
    c.progress.Finish();
    // A simulated track leaves nothing on the disc to close.
    if (!c.options.testWrite)
        *c.left = OpenTrack{true, c.profile, c.next.trackNumber, c.options.multisession};
    return true;
}

}  // namespace burnlib::mmc
