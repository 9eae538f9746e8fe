#include "burnlib/mmc/WriteFlow.h"

#include <climits>
#include <string>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/DiscQueries.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/mmc/WriteModes.h"
#include "burnlib/mmc/WriteSetup.h"

namespace burnlib::mmc {

namespace {

enum class MediumKind : uint8_t {
    Cd,
    DvdMinusSequential,  // DVD-R, DVD-RW sequential, DVD-R DL sequential
    DvdMinusRestricted,  // DVD-RW restricted overwrite
    DvdPlusR,            // DVD+R, DVD+R DL
    DvdPlusRw,           // DVD+RW, DVD+RW DL
    DvdRam,
    Other,
};

MediumKind KindOf(uint16_t profile) {
    switch (profile) {
        case kProfileCdR: case kProfileCdRw: return MediumKind::Cd;
        case kProfileDvdR: case kProfileDvdRwSequential: case kProfileDvdRDl:
            return MediumKind::DvdMinusSequential;
        case kProfileDvdRwRestricted: return MediumKind::DvdMinusRestricted;
        case kProfileDvdPlusR: case kProfileDvdPlusRDl: return MediumKind::DvdPlusR;
        case kProfileDvdPlusRw: case kProfileDvdPlusRwDl: return MediumKind::DvdPlusRw;
        case kProfileDvdRam: return MediumKind::DvdRam;
        default: return MediumKind::Other;
    }
}

const char* MediumName(uint16_t profile) {
    switch (profile) {
        case kProfileCdRom: return "CD-ROM";
        case kProfileCdR: return "CD-R";
        case kProfileCdRw: return "CD-RW";
        case kProfileDvdRom: return "DVD-ROM";
        case kProfileDvdR: return "DVD-R";
        case kProfileDvdRam: return "DVD-RAM";
        case kProfileDvdRwRestricted: return "DVD-RW (restricted overwrite)";
        case kProfileDvdRwSequential: return "DVD-RW";
        case kProfileDvdRDl: return "DVD-R DL";
        case kProfileDvdRDlJump: return "DVD-R DL (layer jump)";
        case kProfileDvdPlusRw: return "DVD+RW";
        case kProfileDvdPlusR: return "DVD+R";
        case kProfileDvdPlusRwDl: return "DVD+RW DL";
        case kProfileDvdPlusRDl: return "DVD+R DL";
        default:
            if (IsBdProfile(profile)) return "BD";
            if (IsHdDvdProfile(profile)) return "HD DVD";
            return "this medium";
    }
}

const char* MethodName(WriteMethod method) {
    switch (method) {
        case WriteMethod::TrackAtOnce: return "Track-At-Once";
        case WriteMethod::SessionAtOnce: return "Session-At-Once";
        case WriteMethod::DiscAtOncePq: return "Disc-At-Once (raw P-Q)";
        case WriteMethod::DiscAtOnceRawPw: return "Disc-At-Once (raw P-W)";
    }
    return "this method";
}

bool Refuse(MmcDevice& device, Outcome outcome, const std::string& text) {
    FailOperation(device, outcome, text);
    return false;
}

// The profile of a disc ready to write; a drive without a disc answers why.
bool ReadyProfile(MmcDevice& device, uint16_t* profile) {
    if (!WaitUntilReady(device, kFinishLimitSeconds)) return false;
    if (!device.ReadCurrentProfile(profile)) {
        if (device.Cancelled() || !device.FailedWith(kSenseIllegalRequest, 0x20)) return false;
        return Refuse(device, Outcome::NotSupported,
                      "the drive does not report its medium (no GET CONFIGURATION): it is not "
                      "an MMC writer this library can drive");
    }
    if (*profile == kProfileNone)
        return Refuse(device, Outcome::NotSupported, "the drive reports no medium to write");
    return true;
}

// Test writes exist only where the drive simulates: CD and DVD-R/-RW sequential.
bool CheckTestWrite(WriteContext& c, MediumKind kind) {
    if (!c.options.testWrite) return true;
    if (kind != MediumKind::Cd && kind != MediumKind::DvdMinusSequential)
        return Refuse(c.device, Outcome::NotSupported,
                      std::string("a test write is not possible on ") + MediumName(c.profile) +
                          ": the medium cannot simulate writing");
    uint8_t writeType = kWriteTypeIncremental;
    if (kind == MediumKind::Cd)
        writeType = c.options.method == WriteMethod::TrackAtOnce ? kWriteTypeTrackAtOnce
                                                                 : kWriteTypeSessionAtOnce;
    bool able = false;
    if (!CanTestWrite(c.device, c.profile, writeType, &able)) return false;
    if (!able)
        return Refuse(c.device, Outcome::NotSupported,
                      std::string("the drive cannot simulate writing ") + MediumName(c.profile) +
                          " with " + MethodName(c.options.method));
    return true;
}

bool CheckMethod(WriteContext& c, MediumKind kind) {
    const WriteMethod method = c.options.method;
    const bool discAtOnce =
        method == WriteMethod::DiscAtOncePq || method == WriteMethod::DiscAtOnceRawPw;
    if (kind != MediumKind::Cd) {
        if (discAtOnce)
            return Refuse(c.device, Outcome::NotSupported,
                          std::string(MethodName(method)) + " writes CD media only, not " +
                              MediumName(c.profile));
        if (kind == MediumKind::DvdMinusSequential && c.profile == kProfileDvdRDl &&
            c.options.multisession)
            return Refuse(c.device, Outcome::NotSupported,
                          "DVD-R DL written sequentially takes a single session: it cannot be "
                          "left appendable");
        return true;
    }
    if (discAtOnce && c.options.multisession)
        return Refuse(c.device, Outcome::NotSupported,
                      std::string(MethodName(method)) +
                          " writes a closed single-session disc: it cannot be left appendable");
    WriteModes modes;
    if (!ProbeWriteModes(c.device, &modes)) return false;
    const bool offered = method == WriteMethod::TrackAtOnce     ? modes.tao
                         : method == WriteMethod::SessionAtOnce ? modes.sao
                         : method == WriteMethod::DiscAtOncePq  ? modes.rawPQ
                                                                : modes.rawPW;
    if (!offered)
        return Refuse(c.device, Outcome::NotSupported,
                      std::string("the drive does not offer ") + MethodName(method));
    return true;
}

// The disc's state, where the track goes and whether it fits.
bool CheckSpace(WriteContext& c, MediumKind kind, uint64_t imageBlocks) {
    if (!ReadDiscInformation(c.device, &c.disc)) return false;
    const bool inPlace = kind == MediumKind::DvdMinusRestricted ||
                         kind == MediumKind::DvdPlusRw || kind == MediumKind::DvdRam;
    if (!inPlace) {
        if (c.disc.discStatus == 2)
            return Refuse(c.device, Outcome::NotSupported,
                          std::string("the ") + MediumName(c.profile) +
                              " is finalized: nothing more can be written on it");
        if (kind == MediumKind::Cd && c.options.method != WriteMethod::TrackAtOnce &&
            c.disc.discStatus != 0)
            return Refuse(c.device, Outcome::NotSupported,
                          std::string(MethodName(c.options.method)) +
                              " writes a blank disc only; this CD already holds a session");
    }

    uint64_t freeBlocks = 0;
    if (kind == MediumKind::DvdPlusRw && c.disc.backgroundFormat != 3 &&
        c.disc.backgroundFormat != 2) {
        if (!DvdPlusRwCapacity(c.device, &freeBlocks)) return false;
        c.next = TrackInformation{};
        c.next.nwaValid = true;
    } else {
        if (!ReadTrack(c.device, 0xFF, &c.next)) return false;
        if (!inPlace && (!c.next.nwaValid || c.next.freeBlocks <= 0))
            return Refuse(c.device, Outcome::NotSupported,
                          std::string("the ") + MediumName(c.profile) +
                              " takes no further track (no next writable address)");
        freeBlocks = c.next.freeBlocks > 0 ? static_cast<uint64_t>(c.next.freeBlocks) : 0;
    }

    uint64_t padded = imageBlocks;
    if (kind == MediumKind::Cd) padded = std::max(padded, kMinCdTrackBlocks);
    if (kind == MediumKind::DvdMinusSequential || kind == MediumKind::DvdMinusRestricted)
        padded = (padded + kDvdPacketBlocks - 1) / kDvdPacketBlocks * kDvdPacketBlocks;
    c.paddedBlocks = padded;
    const int64_t start = inPlace ? 0 : c.next.nextWritable;
    if (padded > freeBlocks || start + static_cast<int64_t>(padded) > INT32_MAX)
        return Refuse(c.device, Outcome::InvalidParameter,
                      "the image does not fit: it needs " + std::to_string(padded) +
                          " blocks and the disc has " + std::to_string(freeBlocks) + " free");
    return true;
}

// For the length of a write: a cancel stops the image stream, so a wait for the file ends too,
// and the progress report keeps coming while the drive finishes.
class WriteWatch {
public:
    WriteWatch(MmcDevice& device, BlockSource& source, ProgressReporter& progress)
        : m_device(device) {
        m_device.SetCancelListener([&source] { source.Stop(); });
        m_device.SetPollObserver([&progress] { progress.Repeat(); });
    }
    ~WriteWatch() {
        m_device.SetCancelListener(nullptr);
        m_device.SetPollObserver(nullptr);
    }
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

private:
    MmcDevice& m_device;
};

}  // namespace

bool RereadNextWritable(WriteContext& c) {
    if (!ReadTrack(c.device, 0xFF, &c.next)) return false;
    // Some CD writers name the pregap's first block (-150) on a blank disc; the track's own
    // first block is where the host writes.
    if (c.next.nwaValid && c.next.nextWritable < 0 && c.next.start >= 0)
        c.next.nextWritable = c.next.start;
    if (!c.next.nwaValid || c.next.freeBlocks < 0 ||
        c.paddedBlocks > static_cast<uint64_t>(c.next.freeBlocks))
        return Refuse(c.device, Outcome::NotSupported,
                      "with its write parameters set, the drive reports no room for the track "
                      "(next writable address " +
                          std::to_string(c.next.nextWritable) + ", " +
                          std::to_string(c.next.freeBlocks) + " blocks free)");
    return true;
}

bool WriteImage(MmcDevice& device, const WriteOptions& options, BlockSource& source,
                const ProgressFunction& report, OpenTrack* left) {
    *left = OpenTrack{};
    const uint64_t imageBlocks = source.Blocks();
    ProgressReporter progress(report, imageBlocks * kUserBlockSize);
    WriteWatch watch(device, source, progress);
    if (imageBlocks == 0) return Refuse(device, Outcome::InvalidParameter, "the image is empty");

    DriveHold hold(device);
    if (!hold.TakeExclusive()) return false;
    WriteContext c{device, options, source, progress, kProfileNone, {}, {}, 0, false, left};
    if (!ReadyProfile(device, &c.profile)) return false;
    const MediumKind kind = KindOf(c.profile);
    if (!CheckTestWrite(c, kind)) return false;
    if (kind == MediumKind::Other)
        return Refuse(device, Outcome::NotSupported,
                      std::string("the library cannot write ") + MediumName(c.profile));
    if (!CheckMethod(c, kind) || !CheckSpace(c, kind, imageBlocks)) return false;
    if (options.lockTray && !hold.LockTray()) return false;

    bool ok = false;
    switch (options.method) {
        case WriteMethod::TrackAtOnce:
            ok = kind == MediumKind::Cd ? WriteCdTrackAtOnce(c) : WriteDvd(c);
            break;
        case WriteMethod::SessionAtOnce:
            ok = kind == MediumKind::Cd ? WriteCdSessionAtOnce(c) : WriteDvd(c);
            break;
        case WriteMethod::DiscAtOncePq:
        case WriteMethod::DiscAtOnceRawPw:
            ok = WriteCdDiscAtOnceRaw(c);
            break;
    }
    if (!ok && c.wrote) {
        // What the drive holds goes to the disc, so the drive is ready for the next command.
        MmcDevice::CleanupScope cleanup(device);
        SynchronizeCache(device);
    }
    return ok;
}

WriteParameterSettings CdDataTrackSettings(const WriteContext& c, uint8_t writeType) {
    WriteParameterSettings s;
    s.writeType = writeType;
    s.testWrite = c.options.testWrite;
    s.multiSession = c.options.multisession ? kMultiSessionOpen : kMultiSessionClosed;
    s.trackMode = kTrackModeData;
    s.dataBlockType = kBlockTypeMode1;
    return s;
}

uint32_t BlocksPerWrite(WriteContext& c, uint32_t blockSize) {
    const uint32_t blocks = BlocksPerTransfer(c.device, blockSize);
    if (blocks == 0)
        FailOperation(c.device, Outcome::NotSupported,
                      "the drive's transfer limit is below one block of " +
                          std::to_string(blockSize) + " bytes");
    return blocks;
}

}  // namespace burnlib::mmc
