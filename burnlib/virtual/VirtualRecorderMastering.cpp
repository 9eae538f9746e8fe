// The virtual recorder's Session-at-Once and raw writing on CD: the cue sheet says what the
// session holds and the host writes it from the pregap on; a raw write brings every block of the
// session, lead-in to lead-out, and each is checked as it arrives.
#include <algorithm>
#include <string>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/RawWriteCheck.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

struct VirtualRecorder::Mastering {
    bool cueSheet = false;
    CueLayout cue;
    std::unique_ptr<RawDiscChecker> raw;
    bool rawRefused = false;
    int32_t next = 0;  // the address the next block must have
};

uint32_t VirtualRecorder::MasteredBlockSize() const {
    if (!m_mastering || !m_mastering->cueSheet) return 2048;
    switch (m_mastering->cue.dataForm & 0x3F) {
    case 0x00:
    case 0x11: return 2352;
    case 0x30: return 2336;
    default: return 2048;
    }
}

ScsiResult VirtualRecorder::SendCueSheet(const ScsiRequest& r) {
    const uint32_t length = Get24(&r.cdb[6]);
    if (m_medium.Family() != MediumFamily::Cd || !m_model.CanWrite(m_medium.profile) || !m_model.cdSao)
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "a cue sheet is for CD Session-at-Once");
    if ((m_writePage[2] & 0x0F) != 2)
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "the write type is not Session-at-Once");
    if (m_medium.state == DiscState::Closed) return Refuse(kSenseDataProtect, 0x27, 0x00, "the disc is finalized");
    Medium& m = Working();
    if (m.lastSessionOpen) return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "a session is being written");
    if (length == 0 || length > m_model.maxCueSheetLength)
        return Refuse(kSenseIllegalRequest, 0x24, 0x00, "cue sheet length " + std::to_string(length));
    const std::vector<uint8_t> sheet = TakeParameters(r);
    CueLayout layout;
    const RawVerdict verdict = ParseCueSheet(sheet.data(), sheet.size(), m.LastPossibleLeadOut(), &layout);
    if (!verdict.Ok()) return Refuse(verdict.key, verdict.asc, verdict.ascq, "cue sheet: " + verdict.reason);
    if (layout.trackStart != m.NextTrackStart())
        return Refuse(kSenseIllegalRequest, 0x26, 0x00,
                      "the cue sheet's track starts at " + std::to_string(layout.trackStart) +
                          ", the disc's next track at " + std::to_string(m.NextTrackStart()));
    m_mastering = std::make_shared<Mastering>();
    m_mastering->cueSheet = true;
    m_mastering->cue = layout;
    m_mastering->next = layout.pregapStart;
    return ScsiResult::Ok(0);
}

// Session-at-Once: the blocks of the cue sheet's pregap and track, in order.
ScsiResult VirtualRecorder::WriteMastered(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data) {
    if (!m_mastering || !m_mastering->cueSheet)
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "Session-at-Once writes need a cue sheet first");
    const CueLayout& cue = m_mastering->cue;
    if (lba != m_mastering->next)
        return Refuse(kSenseIllegalRequest, 0x21, 0x02,
                      "block " + std::to_string(lba) + " is not the next of the session (" +
                          std::to_string(m_mastering->next) + ")");
    if (int64_t{lba} + blocks > cue.leadOutStart)
        return Refuse(kSenseIllegalRequest, 0x63, 0x00,
                      "the write passes the cue sheet's lead-out at " + std::to_string(cue.leadOutStart));
    const int32_t firstUser = std::max(lba, cue.trackStart);
    const int32_t end = lba + static_cast<int32_t>(blocks);
    if (end > firstUser && MasteredBlockSize() == 2048) {
        ScsiResult stored =
            StoreUserData(m, firstUser, static_cast<uint32_t>(end - firstUser), data + size_t(firstUser - lba) * 2048u);
        if (!stored.Good()) return stored;
    }
    if (!m.lastSessionOpen) {
        RecordedTrack& t = OpenNewTrack(m, 0);
        t.start = cue.trackStart;
        t.control = cue.control;
    }
    RecordedTrack& t = m.tracks.back();
    t.length = static_cast<uint32_t>(std::max(end - cue.trackStart, 0));
    m_mastering->next = end;
    return ScsiResult::Ok(0);
}

// Raw: from the lead-in start on, every block checked by the raw disc checker; the user data of
// the data track is kept, and with a store folder every raw block as sent.
ScsiResult VirtualRecorder::WriteRaw(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data) {
    const uint8_t blockType = m_writePage[4] & 0x0F;
    if (!m_mastering || !m_mastering->raw) {
        if (!m.tracks.empty() || m.lastSessionOpen)
            return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "raw writing of a later session is not supported");
        if (lba != m.atipLeadInStart)
            return Refuse(kSenseIllegalRequest, 0x21, 0x02,
                          "a raw write starts at the lead-in start " + std::to_string(m.atipLeadInStart));
        if (&m == &m_medium) m_rawStore.reset();  // a new raw file for this write
        m_mastering = std::make_shared<Mastering>();
        m_mastering->raw = std::make_unique<RawDiscChecker>(m.atipLeadInStart, blockType);
        m_mastering->next = m.atipLeadInStart;
    }
    Mastering& raw = *m_mastering;
    if (raw.rawRefused)
        return Refuse(kSenseIllegalRequest, 0x2C, 0x00, "the raw write was abandoned after a refused block");
    if (lba != raw.next)
        return Refuse(kSenseIllegalRequest, 0x21, 0x02,
                      "block " + std::to_string(lba) + " is not the next raw block (" + std::to_string(raw.next) + ")");
    if (int64_t{lba} + blocks > m.LastPossibleLeadOut() + RawDiscChecker::kFirstSessionLeadOutBlocks)
        return Refuse(kSenseIllegalRequest, 0x63, 0x00, "the raw write passes the disc's last possible lead-out");
    const uint32_t size = raw.raw->BlockSize();
    if (size == 0 || size != WriteBlockSize())  // the data phase was sized by the write page
        return Refuse(kSenseIllegalRequest, 0x64, 0x00, "raw writing takes blocks with sub-channel");
    std::vector<uint8_t> user(2048);
    const bool real = &m == &m_medium;
    for (uint32_t i = 0; i < blocks; ++i) {
        const int32_t at = lba + static_cast<int32_t>(i);
        bool isUser = false;
        const RawVerdict verdict = raw.raw->Check(at, data + size_t{i} * size, user.data(), &isUser);
        if (!verdict.Ok()) {
            if (real) AppendRawBlocks(lba, i, size, data);
            raw.rawRefused = true;
            return Refuse(verdict.key, verdict.asc, verdict.ascq,
                          "raw block " + std::to_string(at) + ": " + verdict.reason);
        }
        if (raw.raw->LayoutKnown() && !m.lastSessionOpen) {
            RecordedTrack& t = OpenNewTrack(m, 0);
            t.start = 0;
            t.control = raw.raw->TrackControl();
        }
        if (isUser) {
            ScsiResult stored = StoreUserData(m, at, 1, user.data());
            if (!stored.Good()) return stored;
            if (m.lastSessionOpen && at >= 0)
                m.tracks.back().length = std::max<uint32_t>(m.tracks.back().length, static_cast<uint32_t>(at + 1));
        }
        raw.next = at + 1;
    }
    if (real) AppendRawBlocks(lba, blocks, size, data);
    return ScsiResult::Ok(0);
}

void VirtualRecorder::FinishMastering(Medium& m) {
    if (!m_mastering) return;
    const bool done = m_mastering->cueSheet
                          ? m.lastSessionOpen && m_mastering->next == m_mastering->cue.leadOutStart
                          : m_mastering->raw && !m_mastering->rawRefused && m_mastering->raw->Complete();
    if (!done) return;
    if (m_mastering->raw && m.lastSessionOpen)
        m.tracks.back().length = static_cast<uint32_t>(m_mastering->raw->LeadOutStart());
    CloseSession(m, MultiSessionAppendable());
    m_mastering.reset();
}

}  // namespace burnlib
