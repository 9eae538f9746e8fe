// The virtual recorder's speeds: the steps a disc allows, SET CD SPEED, SET STREAMING and GET
// PERFORMANCE.
#include <algorithm>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

const std::vector<uint32_t>& VirtualRecorder::WriteSteps(MediumFamily family) const {
    static const std::vector<uint32_t> kNone;
    switch (family) {
    case MediumFamily::Cd: return m_model.cdWriteSpeeds;
    case MediumFamily::Dvd: return m_model.dvdWriteSpeeds;
    case MediumFamily::Bd: return m_model.bdWriteSpeeds;
    default: return kNone;
    }
}

const std::vector<uint32_t>& VirtualRecorder::ReadSteps(MediumFamily family) const {
    static const std::vector<uint32_t> kNone;
    switch (family) {
    case MediumFamily::Cd: return m_model.cdReadSpeeds;
    case MediumFamily::Dvd: return m_model.dvdReadSpeeds;
    case MediumFamily::Bd: return m_model.bdReadSpeeds;
    default: return kNone;
    }
}

// Without a usable disc the drive reports its CD speeds, as real drives do.
std::vector<uint32_t> VirtualRecorder::UsableWriteSteps() const {
    if (!MediumReady()) return m_model.CanWrite(kProfileCdR) ? m_model.cdWriteSpeeds : std::vector<uint32_t>{};
    if (!m_model.CanWrite(m_medium.profile)) return {};
    std::vector<uint32_t> steps = WriteSteps(m_medium.Family());
    if (m_medium.maxWriteSpeed != 0 && !steps.empty()) {
        const uint32_t lowest = steps.front();
        std::erase_if(steps, [&](uint32_t s) { return s > m_medium.maxWriteSpeed; });
        if (steps.empty()) steps.push_back(lowest);
    }
    return steps;
}

std::vector<uint32_t> VirtualRecorder::UsableReadSteps() const {
    if (!MediumReady()) return m_model.cdReadSpeeds;
    return ReadSteps(m_medium.Family());
}

uint32_t VirtualRecorder::PickStep(const std::vector<uint32_t>& steps, uint32_t request) const {
    if (steps.empty()) return 0;
    if (request == kSpeedMax) return steps.back();
    const uint64_t ceiling = uint64_t{request} * (100 + m_model.speedTolerancePercent);
    uint32_t best = 0;
    for (uint32_t step : steps)
        if (uint64_t{step} * 100 <= ceiling) best = std::max(best, step);
    return best != 0 ? best : steps.front();
}

uint32_t VirtualRecorder::ReadSpeedLocked() const { return PickStep(UsableReadSteps(), m_readRequest); }
uint32_t VirtualRecorder::WriteSpeedLocked() const { return PickStep(UsableWriteSteps(), m_writeRequest); }

void VirtualRecorder::ResetSpeeds() {
    m_readRequest = kSpeedMax;
    m_writeRequest = kSpeedMax;
}

// SET CD SPEED picks CD steps. On a DVD or BD the drive takes the command and keeps its speed:
// those media are paced with SET STREAMING.
ScsiResult VirtualRecorder::SetCdSpeed(const ScsiRequest& r) {
    if ((r.cdb[1] & 0x03) > 1) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const uint16_t read = Get16(&r.cdb[2]);
    const uint16_t write = Get16(&r.cdb[4]);
    if (MediumReady() && m_medium.Family() != MediumFamily::Cd) return ScsiResult::Ok(0);
    m_readRequest = read == 0xFFFF ? kSpeedMax : read;
    m_writeRequest = write == 0xFFFF ? kSpeedMax : write;
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::SetStreaming(const ScsiRequest& r) {
    if (!m_model.realTimeStreaming) return Fail(kSenseIllegalRequest, 0x20, 0x00);
    if (r.cdb[8] != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // only performance descriptors
    const uint16_t length = Get16(&r.cdb[9]);
    if (length == 0) return ScsiResult::Ok(0);
    if (length < 28) return Fail(kSenseIllegalRequest, 0x1A, 0x00);
    const std::vector<uint8_t> p = TakeParameters(r);
    if (p[0] & 0x04) {  // restore defaults
        ResetSpeeds();
        return ScsiResult::Ok(0);
    }
    const int32_t startLba = static_cast<int32_t>(Get32(&p[4]));
    const int32_t endLba = static_cast<int32_t>(Get32(&p[8]));
    const uint32_t readSize = Get32(&p[12]), readTime = Get32(&p[16]);
    const uint32_t writeSize = Get32(&p[20]), writeTime = Get32(&p[24]);
    if (endLba < startLba || readTime == 0 || writeTime == 0)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);
    auto rate = [](uint32_t size, uint32_t time) {
        const uint64_t kbs = uint64_t{size} * 1000 / time;
        return static_cast<uint32_t>(std::min<uint64_t>(kbs, kSpeedMax - 1));
    };
    m_readRequest = rate(readSize, readTime);
    m_writeRequest = rate(writeSize, writeTime);
    return ScsiResult::Ok(0);
}

// Type 00h (performance) needs the tolerance field at 10b, the only value MMC defines, and an
// Except value other than the reserved 11b; the data type byte is reserved for the write speed
// type (03h) and must be zero. Other types (unusable areas, defect status, DBI) are not
// modelled.
ScsiResult VirtualRecorder::GetPerformance(const ScsiRequest& r) {
    const uint8_t type = r.cdb[10];
    const uint8_t dataType = r.cdb[1];
    const uint16_t maxDescriptors = Get16(&r.cdb[8]);
    const uint32_t end = m_medium.capacityBlocks > 0 ? m_medium.capacityBlocks - 1 : 0;
    std::vector<std::vector<uint8_t>> descriptors;
    uint8_t flags = 0;
    if (type == 0x00) {
        const uint8_t tolerance = (dataType >> 3) & 0x03;
        const uint8_t except = dataType & 0x03;
        if ((dataType & 0xE0) != 0 || tolerance != 0x02 || except == 0x03)
            return Fail(kSenseIllegalRequest, 0x24, 0x00);
        const bool write = dataType & 0x04;
        // 01b: the whole list, nominal figures first; 10b: the exceptions alone, and this disc
        // has none (it keeps one speed from start to end).
        const bool onlyExceptions = except == 0x02;
        flags = static_cast<uint8_t>((write ? 0x02 : 0) | (onlyExceptions ? 0x01 : 0));
        const uint32_t speed = write ? WriteSpeedLocked() : ReadSpeedLocked();
        if (!onlyExceptions && speed != 0) {
            std::vector<uint8_t> d(16, 0);
            Put32(&d[4], speed);
            Put32(&d[8], end);
            Put32(&d[12], speed);
            descriptors.push_back(d);
        }
    } else if (type == 0x03 && m_model.realTimeStreaming) {
        if (dataType != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);
        const std::vector<uint32_t> steps = UsableWriteSteps();
        const std::vector<uint32_t> reads = UsableReadSteps();
        const uint32_t readMax = reads.empty() ? 0 : reads.back();
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            std::vector<uint8_t> d(16, 0);
            Put32(&d[4], static_cast<uint32_t>(m_medium.LastPossibleLeadOut()));
            Put32(&d[8], readMax);
            Put32(&d[12], *it);
            descriptors.push_back(d);
        }
    } else {
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    }
    std::vector<uint8_t> data(8, 0);
    Put32(&data[0], static_cast<uint32_t>(4 + 16 * descriptors.size()));
    data[4] = flags;
    for (size_t i = 0; i < descriptors.size() && i < maxDescriptors; ++i)
        data.insert(data.end(), descriptors[i].begin(), descriptors[i].end());
    return Reply(r, data);
}

}  // namespace burnlib
