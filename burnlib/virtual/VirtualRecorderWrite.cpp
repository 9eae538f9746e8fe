// The virtual recorder's WRITE(10), READ(10) and SYNCHRONIZE CACHE, and the write-side faults.
// A write is taken only where a real drive takes it: at the next writable address of a
// sequential disc, anywhere inside a formatted overwritable one.
#include <algorithm>
#include <string>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

bool IsDvdMinusSequential(uint16_t profile) {
    return profile == kProfileDvdR || profile == kProfileDvdRwSequential || profile == kProfileDvdRDl;
}

// Bytes of one block of each data block type (page 05 byte 4); 0 for reserved types.
uint32_t BytesOfBlockType(uint8_t type) {
    static const uint16_t kBytes[16] = {2352, 2368, 2448, 2448, 0, 0, 0, 0, 2048, 2336, 2048, 2056, 2324, 2332, 0, 0};
    return kBytes[type & 0x0F];
}

constexpr uint32_t kDvdPacket = 16;  // blocks of a DVD-R fixed packet (one ECC block)

std::string Text(int64_t n) { return std::to_string(n); }

}  // namespace

bool VirtualRecorder::WritePageApplies() const {
    return m_medium.Family() == MediumFamily::Cd || IsDvdMinusSequential(m_medium.profile);
}

// The bytes of one written block, from the write parameters where the disc follows them.
uint32_t VirtualRecorder::WriteBlockSize() const {
    if (!MediumReady() || !WritePageApplies()) return 2048;
    const uint8_t writeType = m_writePage[2] & 0x0F;
    if (m_medium.Family() != MediumFamily::Cd) return 2048;
    if (writeType == 2) return MasteredBlockSize();
    const uint32_t bytes = BytesOfBlockType(m_writePage[4]);
    return bytes != 0 ? bytes : 2048;
}

Medium& VirtualRecorder::Working() {
    const bool testWrite = WritePageApplies() && (m_writePage[2] & 0x10) != 0;
    if (!testWrite) {
        EndSimulation();
        return m_medium;
    }
    if (!m_simulation) {
        m_simulation = m_medium;
        m_simulation->userData.reset();  // a test write records nothing
    }
    return *m_simulation;
}

void VirtualRecorder::EndSimulation() { m_simulation.reset(); }

ScsiResult VirtualRecorder::CheckWriteFaults(int32_t lba, uint32_t blocks) {
    for (auto it = m_writeFaults.begin(); it != m_writeFaults.end(); ++it) {
        if (it->lba < lba || it->lba >= lba + static_cast<int64_t>(blocks)) continue;
        const WriteFault fault = *it;
        m_writeFaults.erase(it);
        switch (fault.kind) {
        case WriteFaultKind::WriteError:
            return Refuse(kSenseMediumError, 0x0C, 0x00, "write error injected at " + Text(fault.lba));
        case WriteFaultKind::Underrun:
            // Buffer underrun protection links the recording again and the write goes on.
            if ((m_writePage[2] & 0x40) && m_model.bufferUnderrunProtection) return ScsiResult::Ok(0);
            return Refuse(kSenseMediumError, 0x0C, 0x09, "buffer underrun at " + Text(fault.lba) + ", BUFE off");
        case WriteFaultKind::MediumRemoval:
            SaveState();
            m_medium = Medium{};
            EndSimulation();
            m_mastering.reset();
            m_busyPolls = 0;
            return Refuse(kSenseUnitAttention, 0x28, 0x00,
                          "the disc was taken out during the write at " + Text(fault.lba));
        }
    }
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::Write10(const ScsiRequest& r) {
    const int32_t lba = static_cast<int32_t>(Get32(&r.cdb[2]));
    const uint32_t blocks = Get16(&r.cdb[7]);
    const uint16_t profile = m_medium.profile;
    if (!m_model.CanWrite(profile))
        return Refuse(kSenseIllegalRequest, 0x30, 0x05, "the drive does not write this medium");
    const bool overwritable = IsOverwritableProfile(profile);
    if (!overwritable && m_medium.state == DiscState::Closed)
        return Refuse(kSenseDataProtect, 0x27, 0x00, "the disc is finalized");
    if (blocks == 0) return ScsiResult::Ok(0);  // nothing to transfer is not an error

    // The write type and test write of page 05 need the drive's features for this disc (002Dh,
    // 002Eh, 002Fh, 0021h); a page set for another disc may not fit the one in the drive now.
    if (WritePageApplies()) {
        const uint8_t writeType = m_writePage[2] & 0x0F;
        const bool cd = m_medium.Family() == MediumFamily::Cd;
        const bool testWrite = m_writePage[2] & 0x10;
        const bool featured =
            cd ? (writeType == 0 && m_model.incrementalStreaming) || (writeType == 1 && m_model.cdTao) ||
                     (writeType == 2 && m_model.cdSao) || (writeType == 3 && m_model.cdRaw)
               : (writeType == 0 && m_model.incrementalStreaming) || (writeType == 2 && m_model.dvdMinusWrite);
        if (!featured)
            return Refuse(kSenseIllegalRequest, 0x64, 0x00,
                          "write type " + Text(writeType) + " is not one the drive writes on this disc");
        if (testWrite && !(cd ? m_model.cdTestWrite : m_model.dvdMinusTestWrite))
            return Refuse(kSenseIllegalRequest, 0x64, 0x00, "the drive cannot simulate on this disc");
    }

    Medium& m = Working();
    ScsiResult result;
    if (overwritable) {
        result = WriteAnywhere(m, lba, blocks, r.data);
    } else if (m.Family() == MediumFamily::Cd) {
        switch (m_writePage[2] & 0x0F) {
        case 1: result = WriteSequential(m, lba, blocks, r.data); break;
        case 2: result = WriteMastered(m, lba, blocks, r.data); break;
        case 3: result = WriteRaw(m, lba, blocks, r.data); break;
        default: return Refuse(kSenseIllegalRequest, 0x64, 0x00, "packet writing on CD is not modelled");
        }
    } else {
        result = WriteSequential(m, lba, blocks, r.data);
    }
    if (!result.Good()) return result;
    if (m_pacing) {
        const uint32_t speed = WriteSpeedLocked();  // KB/s, k = 1000
        if (speed > 0) m_pacingDue = std::chrono::microseconds(uint64_t{blocks} * WriteBlockSize() * 1000u / speed);
    }
    return ScsiResult::Ok(r.dataLength);
}

// An incomplete track whose next writable address is lba.
RecordedTrack* VirtualRecorder::TrackWithNextWritable(Medium& m, int32_t lba) {
    for (RecordedTrack& t : m.tracks)
        if (!t.complete && t.NextWritable() == lba) return &t;
    return nullptr;
}

RecordedTrack& VirtualRecorder::OpenNewTrack(Medium& m, uint32_t reserved) {
    RecordedTrack t;
    t.session = m.SessionOfNextTrack();
    t.start = m.NextTrackStart();
    t.complete = false;
    t.reserved = reserved;
    t.control = m.Family() == MediumFamily::Cd ? static_cast<uint8_t>(m_writePage[3] & 0x0F) : 4;
    m.tracks.push_back(t);
    m.state = DiscState::Appendable;
    m.lastSessionOpen = true;
    return m.tracks.back();
}

// Track-at-Once on CD, incremental and Disc-at-Once on DVD-R, and DVD+R, BD-R, HD DVD-R: the
// blocks go to the next writable address of an incomplete track, or start the invisible one.
ScsiResult VirtualRecorder::WriteSequential(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data) {
    const bool cd = m.Family() == MediumFamily::Cd;
    const uint8_t writeType = m_writePage[2] & 0x0F;
    const bool dvdMinus = IsDvdMinusSequential(m.profile);
    const bool incremental = dvdMinus && writeType == 0;
    const bool diskAtOnce = dvdMinus && writeType == 2;
    if (cd && (m_writePage[4] & 0x0F) != 8)
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "Track-at-Once takes Mode 1 blocks (data block type 8) here");
    if (dvdMinus && !incremental && !diskAtOnce)
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "DVD-R media take incremental or Disc-at-Once writes");
    if (incremental && m.minimalBlank)
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "a minimally blanked DVD-RW takes Disc-at-Once only");
    if (incremental && (m_writePage[3] & 0x20) && Get32(&m_writePage[10]) != kDvdPacket)
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "DVD-R fixed packets are 16 blocks");

    RecordedTrack* track = TrackWithNextWritable(m, lba);
    if (track == nullptr) {
        const bool reservedOpen = std::any_of(m.tracks.begin(), m.tracks.end(),
                                              [](const RecordedTrack& t) { return !t.complete && t.reserved != 0; });
        if (diskAtOnce && !reservedOpen)
            return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "Disc-at-Once needs its track reserved first");
        const bool invisibleBlank = m.HasInvisibleTrack() && !m.LastTrackGrowing();
        if (diskAtOnce || !invisibleBlank || lba != m.NextTrackStart()) {
            std::string nwa = "none";
            for (const RecordedTrack& t : m.tracks)
                if (!t.complete) nwa = Text(t.NextWritable());
            if (invisibleBlank && nwa == "none") nwa = Text(m.NextTrackStart());
            return Refuse(kSenseIllegalRequest, 0x21, 0x02,
                          "block " + Text(lba) + " is not the next writable address (" + nwa + ")");
        }
    } else if (diskAtOnce && track->reserved == 0) {
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "Disc-at-Once needs its track reserved first");
    }
    const int32_t limit = track != nullptr && track->reserved != 0 ? track->End() : m.LastPossibleLeadOut();
    if (int64_t{lba} + blocks > limit)
        return Refuse(
            kSenseIllegalRequest, 0x63, 0x00,
            Text(blocks) + " blocks from " + Text(lba) + " pass the end of the track's room at " + Text(limit));
    if (incremental &&
        (blocks % kDvdPacket != 0 || (lba - (track ? track->start : m.NextTrackStart())) % kDvdPacket != 0))
        return Refuse(kSenseIllegalRequest, 0x24, 0x00, "incremental DVD-R writes whole 16-block packets");
    if (track != nullptr && incremental != track->incremental && track->length > 0)
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "the track was started in another write type");

    ScsiResult stored = StoreUserData(m, lba, blocks, data);
    if (!stored.Good()) return stored;
    if (track == nullptr) track = &OpenNewTrack(m, 0);
    if (track->length == 0) {
        track->incremental = incremental;
        if (dvdMinus) track->control = incremental ? 5 : 4;
    }
    track->length += blocks;
    return ScsiResult::Ok(0);
}

// DVD+RW, DVD-RAM, DVD-RW restricted overwrite, BD-RE: anywhere in the formatted area.
ScsiResult VirtualRecorder::WriteAnywhere(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data) {
    if ((m.profile == kProfileDvdPlusRw || m.profile == kProfileDvdPlusRwDl) && m.backgroundFormat == 0)
        return Refuse(kSenseIllegalRequest, 0x30, 0x05, "the DVD+RW is not formatted");
    if (lba < 0 || int64_t{lba} + blocks > m.capacityBlocks)
        return Refuse(kSenseIllegalRequest, lba < 0 || static_cast<uint32_t>(lba) >= m.capacityBlocks ? 0x21 : 0x63,
                      0x00,
                      Text(blocks) + " blocks from " + Text(lba) + " do not fit the " + Text(m.capacityBlocks) +
                          " formatted blocks");
    // Restricted overwrite rewrites whole ECC blocks only.
    if (m.profile == kProfileDvdRwRestricted && (lba % kDvdPacket != 0 || blocks % kDvdPacket != 0))
        return Refuse(kSenseIllegalRequest, lba % kDvdPacket != 0 ? 0x21 : 0x24, lba % kDvdPacket != 0 ? 0x02 : 0x00,
                      "restricted overwrite writes whole 16-block ECC blocks");
    return StoreUserData(m, lba, blocks, data);
}

// Called once a write has passed every check of the command: what happens to the disc itself
// (the injected faults) comes after those.
ScsiResult VirtualRecorder::StoreUserData(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data) {
    ScsiResult fault = CheckWriteFaults(lba, blocks);
    if (!fault.Good()) return fault;
    if (&m != &m_medium) return ScsiResult::Ok(0);  // a test write: through the motions only
    if (lba < 0 || blocks == 0) return ScsiResult::Ok(0);
    if (!EnsureUserStore(m) || !m.userData->Write(uint64_t(lba) * 2048u, data, size_t{blocks} * 2048u))
        return Refuse(kSenseMediumError, 0x0C, 0x00, "the disc's store cannot be written: " + m_storeError);
    return ScsiResult::Ok(0);
}

// Reads written user data back. Sequential discs read inside their tracks' recorded blocks only;
// overwritable ones anywhere they are formatted.
ScsiResult VirtualRecorder::Read10(const ScsiRequest& r) {
    const int32_t lba = static_cast<int32_t>(Get32(&r.cdb[2]));
    const uint32_t blocks = Get16(&r.cdb[7]);
    const Medium& m = m_medium;
    if (blocks == 0) return ScsiResult::Ok(0);
    bool inside = false;
    if (IsOverwritableProfile(m.profile)) {
        inside = !(m.profile == kProfileDvdPlusRw && m.backgroundFormat == 0) && lba >= 0 &&
                 int64_t{lba} + blocks <= m.capacityBlocks;
    } else {
        for (const RecordedTrack& t : m.tracks)
            if (lba >= t.start && int64_t{lba} + blocks <= t.start + int64_t{t.length}) inside = true;
    }
    if (!inside)
        return Refuse(kSenseIllegalRequest, 0x21, 0x00,
                      Text(blocks) + " blocks from " + Text(lba) + " are not recorded");
    std::vector<uint8_t> data(size_t{blocks} * 2048u, 0);
    if (m.userData && !m.userData->Read(uint64_t(lba) * 2048u, data.data(), data.size()))
        return Refuse(kSenseMediumError, 0x11, 0x00, "the disc's store cannot be read");
    return Reply(r, data);
}

// The drive's buffer reaches the disc. A session-at-once, raw or reserved Disc-at-Once write that
// is complete closes its session now. With Immed the drive answers at once and reports "long
// write in progress" to the next poll.
ScsiResult VirtualRecorder::SynchronizeCache(const ScsiRequest& r) {
    if (m_model.CanWrite(m_medium.profile) && IsSequentialProfile(m_medium.profile)) {
        Medium& m = Working();
        FinishMastering(m);
        const uint8_t writeType = m_writePage[2] & 0x0F;
        if (IsDvdMinusSequential(m.profile) && writeType == 2 && m.lastSessionOpen) {
            bool filled = false;
            for (RecordedTrack& t : m.tracks)
                if (!t.complete && t.reserved != 0 && t.length >= t.reserved) filled = true;
            if (filled) CloseSession(m, MultiSessionAppendable());
        }
        if (&m != &m_medium && !m.lastSessionOpen) EndSimulation();
    }
    if (m_medium.userData) m_medium.userData->Flush();
    if (m_rawStore) m_rawStore->Flush();
    SaveState();
    if (r.cdb[1] & 0x02) StartBusy(0x08);
    return ScsiResult::Ok(0);
}

void VirtualRecorder::CloseTrack(Medium& m, RecordedTrack& t) {
    if (t.complete) return;
    if (t.reserved != 0) {
        t.length = std::max(t.length, t.reserved);  // the drive pads the reservation
    } else if (m.Family() != MediumFamily::Cd) {
        t.length = (t.length + kDvdPacket - 1) / kDvdPacket * kDvdPacket;  // to a whole ECC block
    }
    t.reserved = 0;
    t.complete = true;
}

void VirtualRecorder::CloseSession(Medium& m, bool appendable) {
    for (RecordedTrack& t : m.tracks)
        if (!t.complete) CloseTrack(m, t);
    std::erase_if(m.tracks, [](const RecordedTrack& t) { return t.length == 0; });
    m.lastSessionOpen = false;
    if (m.tracks.empty()) {
        m.state = DiscState::Blank;
        return;
    }
    m.state = appendable ? DiscState::Appendable : DiscState::Closed;
    if (appendable && !m.HasInvisibleTrack()) m.state = DiscState::Closed;
}

void VirtualRecorder::InjectWriteError(int32_t lba) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeFaults.push_back({WriteFaultKind::WriteError, lba});
}

void VirtualRecorder::InjectMediumRemovalDuringWrite(int32_t lba) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeFaults.push_back({WriteFaultKind::MediumRemoval, lba});
}

void VirtualRecorder::InjectUnderrun(int32_t lba) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeFaults.push_back({WriteFaultKind::Underrun, lba});
}

void VirtualRecorder::InjectOpcError() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_opcFault = true;
}

void VirtualRecorder::SetWriteSpeedPacing(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pacing = on;
}

std::string VirtualRecorder::LastRefusal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRefusal;
}

}  // namespace burnlib
