// The virtual recorder's identity, readiness, tray and sense commands.
#include <algorithm>
#include <cstring>
#include <string>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

void PadAscii(uint8_t* out, const std::string& text, size_t width) {
    std::memset(out, ' ', width);
    std::memcpy(out, text.data(), std::min(text.size(), width));
}

}  // namespace

ScsiResult VirtualRecorder::TestUnitReady(const ScsiRequest&) {
    ScsiResult condition = MediumCondition();
    if (!m_trayOpen && m_medium.Present() && !m_medium.notReady && m_medium.becomingReadyCalls > 0)
        --m_medium.becomingReadyCalls;
    if (condition.Good() && m_busyPolls > 0) {
        --m_busyPolls;
        return Fail(kSenseNotReady, 0x04, m_busyAscq);
    }
    return condition;
}

void VirtualRecorder::StartBusy(uint8_t ascq) {
    m_busyPolls = 1;
    m_busyAscq = ascq;
}

// Every answer carries its sense with it (autosense), and a drive clears sense data once it has
// delivered it, so REQUEST SENSE never repeats an earlier command's failure: it reports a pending
// unit attention (and clears it), else the condition the drive is in now, else no sense.
ScsiResult VirtualRecorder::RequestSense(const ScsiRequest& r) {
    if (r.cdb[1] & 0x01) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // descriptor format
    std::vector<uint8_t> sense(18, 0);
    if (m_unitAttention) {
        m_unitAttention = false;
        ScsiResult ua = ScsiResult::Check(kSenseUnitAttention, 0x28, 0x00);
        std::memcpy(sense.data(), ua.sense, sense.size());
    } else {
        ScsiResult condition = MediumCondition();
        if (!condition.Good()) {
            std::memcpy(sense.data(), condition.sense, sense.size());
        } else {
            sense[0] = 0x70;
            sense[7] = 10;
        }
    }
    return Reply(r, sense);
}

ScsiResult VirtualRecorder::Inquiry(const ScsiRequest& r) {
    // No vital product data pages are modelled; CmdDt is obsolete.
    if ((r.cdb[1] & 0x03) != 0 || r.cdb[2] != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    std::vector<uint8_t> data(36, 0);
    data[0] = 0x05;  // CD/DVD device, connected
    data[1] = 0x80;  // removable
    data[2] = 0x05;
    data[3] = 0x02;  // response data format
    data[4] = 31;
    PadAscii(&data[8], m_model.vendor, 8);
    PadAscii(&data[16], m_model.product, 16);
    PadAscii(&data[32], m_model.revision, 4);
    return Reply(r, data);
}

// Eject opens the tray with the disc on it; load closes it again, and the disc then counts as
// newly inserted. Power conditions are accepted and not modelled.
ScsiResult VirtualRecorder::StartStopUnit(const ScsiRequest& r) {
    const bool start = r.cdb[4] & 0x01;
    const bool loadEject = r.cdb[4] & 0x02;
    if ((r.cdb[4] >> 4) != 0) return ScsiResult::Ok(0);
    if (loadEject && !start) {
        if (m_preventRemoval) return Fail(kSenseIllegalRequest, 0x53, 0x02);
        m_trayOpen = true;
        return ScsiResult::Ok(0);
    }
    if (loadEject && start) {
        if (m_trayOpen) {
            m_trayOpen = false;
            if (m_medium.Present()) MediumChanged();
        }
        return ScsiResult::Ok(0);
    }
    if (start) {
        // A start without Immed returns once the disc has spun up.
        if (!m_trayOpen && m_medium.Present()) m_medium.becomingReadyCalls = 0;
        ScsiResult condition = MediumCondition();
        if (!condition.Good()) return condition;
    }
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::PreventAllow(const ScsiRequest& r) {
    m_preventRemoval = (r.cdb[4] & 0x01) != 0;
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::ReadBufferCapacity(const ScsiRequest& r) {
    const bool blockForm = r.cdb[1] & 0x01;
    std::vector<uint8_t> data(12, 0);
    Put16(&data[0], 10);
    const uint32_t bytes = m_model.bufferKB * 1024;
    if (blockForm) {
        Put32(&data[8], bytes / 2048);  // the buffer is empty between writes
    } else {
        Put32(&data[4], bytes);
        Put32(&data[8], bytes);
    }
    return Reply(r, data);
}

}  // namespace burnlib
