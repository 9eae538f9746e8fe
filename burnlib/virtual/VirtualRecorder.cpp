#include "burnlib/virtual/VirtualRecorder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

#include "burnlib/virtual/Bytes.h"

namespace burnlib {

using namespace bytes;

namespace {

constexpr uint32_t kSpeedMax = std::numeric_limits<uint32_t>::max();

enum : uint8_t {
    kOpTestUnitReady = 0x00,
    kOpRequestSense = 0x03,
    kOpInquiry = 0x12,
    kOpStartStopUnit = 0x1B,
    kOpPreventAllow = 0x1E,
    kOpReadCapacity = 0x25,
    kOpReadToc = 0x43,
    kOpGetConfiguration = 0x46,
    kOpReadDiscInformation = 0x51,
    kOpReadTrackInformation = 0x52,
    kOpModeSelect10 = 0x55,
    kOpModeSense10 = 0x5A,
    kOpReadBufferCapacity = 0x5C,
    kOpGetPerformance = 0xAC,
    kOpSetStreaming = 0xB6,
    kOpSetCdSpeed = 0xBB,
};

constexpr uint8_t kWritePageLength = 0x32;  // bytes after the page length byte
constexpr uint8_t kPageWriteParameters = 0x05;
constexpr uint8_t kPageCapabilities = 0x2A;
constexpr uint8_t kPageAll = 0x3F;

uint8_t CdbLengthOfGroup(uint8_t opcode) {
    switch (opcode >> 5) {
    case 0: return 6;
    case 1: case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 0;
    }
}

void PadAscii(uint8_t* out, const std::string& text, size_t width) {
    std::memset(out, ' ', width);
    std::memcpy(out, text.data(), std::min(text.size(), width));
}

}  // namespace

const VirtualRecorder::CommandEntry VirtualRecorder::kCommands[] = {
    {kOpTestUnitReady, Needs::Nothing, false, &VirtualRecorder::TestUnitReady},
    {kOpRequestSense, Needs::Nothing, true, &VirtualRecorder::RequestSense},
    {kOpInquiry, Needs::Nothing, true, &VirtualRecorder::Inquiry},
    {kOpStartStopUnit, Needs::Nothing, false, &VirtualRecorder::StartStopUnit},
    {kOpPreventAllow, Needs::Nothing, false, &VirtualRecorder::PreventAllow},
    {kOpReadCapacity, Needs::ReadyMedium, false, &VirtualRecorder::ReadCapacity},
    {kOpReadToc, Needs::ReadyMedium, false, &VirtualRecorder::ReadTocPmaAtip},
    // MMC lets GET CONFIGURATION through a pending unit attention.
    {kOpGetConfiguration, Needs::Nothing, true, &VirtualRecorder::GetConfiguration},
    {kOpReadDiscInformation, Needs::ReadyMedium, false, &VirtualRecorder::ReadDiscInformation},
    {kOpReadTrackInformation, Needs::ReadyMedium, false, &VirtualRecorder::ReadTrackInformation},
    {kOpModeSelect10, Needs::Nothing, false, &VirtualRecorder::ModeSelect10},
    {kOpModeSense10, Needs::Nothing, false, &VirtualRecorder::ModeSense10},
    {kOpReadBufferCapacity, Needs::Nothing, false, &VirtualRecorder::ReadBufferCapacity},
    {kOpGetPerformance, Needs::ReadyMedium, false, &VirtualRecorder::GetPerformance},
    {kOpSetStreaming, Needs::ReadyMedium, false, &VirtualRecorder::SetStreaming},
    {kOpSetCdSpeed, Needs::Nothing, false, &VirtualRecorder::SetCdSpeed},
};

const VirtualRecorder::CommandEntry* VirtualRecorder::FindCommand(uint8_t opcode) {
    for (const CommandEntry& entry : kCommands)
        if (entry.opcode == opcode) return &entry;
    return nullptr;
}

VirtualRecorder::VirtualRecorder(DriveModel model, Medium medium)
    : m_model(std::move(model)), m_medium(std::move(medium)), m_readRequest(kSpeedMax),
      m_writeRequest(kSpeedMax) {
    m_writePage = DefaultWritePage();
}

// The latency is waited out before the lock, so a command from another transport (a cancel, a
// status poll) is not held up for the whole latency of this one.
ScsiResult VirtualRecorder::Execute(const ScsiRequest& request) {
    std::chrono::microseconds latency;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        latency = m_latency;
    }
    if (latency.count() > 0) std::this_thread::sleep_for(latency);

    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_commandCount;
    ++m_opcodeCounts[request.cdb[0]];
    ScsiResult result = Dispatch(request);
    if (request.cdb[0] != kOpRequestSense) {
        m_hasLastSense = result.status == kScsiStatusCheckCondition;
        if (m_hasLastSense) std::memcpy(m_lastSense, result.sense, sizeof(m_lastSense));
    }
    return result;
}

ScsiResult VirtualRecorder::Dispatch(const ScsiRequest& request) {
    const uint8_t opcode = request.cdb[0];
    bool faultDue = false;
    Fault due{};
    for (Fault& fault : m_faults) {
        if (fault.remaining == 0 || (fault.opcode != 0xFF && fault.opcode != opcode)) continue;
        if (fault.callsToSkip > 0) {
            --fault.callsToSkip;
            continue;
        }
        if (!faultDue) {
            --fault.remaining;
            faultDue = true;
            due = fault;
        }
    }
    if (faultDue) return Fail(due.key, due.asc, due.ascq);

    const CommandEntry* entry = FindCommand(opcode);
    if (m_unitAttention && (entry == nullptr || !entry->passesUnitAttention)) {
        m_unitAttention = false;
        return Fail(kSenseUnitAttention, 0x28, 0x00);
    }
    if (entry == nullptr) return Fail(kSenseIllegalRequest, 0x20, 0x00);
    if (request.cdbLength < CdbLengthOfGroup(opcode) || request.cdbLength > sizeof(request.cdb))
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    if (entry->needs == Needs::ReadyMedium) {
        ScsiResult condition = MediumCondition();
        if (!condition.Good()) return condition;
    }
    return (this->*entry->handler)(request);
}

ScsiResult VirtualRecorder::Fail(uint8_t key, uint8_t asc, uint8_t ascq) {
    return ScsiResult::Check(key, asc, ascq);
}

// A disc the drive cannot read (a BD in a DVD drive) is reported as an incompatible medium with
// the not-ready key and no current profile, as drives do when the disc fails to identify.
ScsiResult VirtualRecorder::MediumCondition() const {
    if (m_trayOpen) return ScsiResult::Check(kSenseNotReady, 0x3A, 0x02);
    if (!m_medium.Present()) return ScsiResult::Check(kSenseNotReady, 0x3A, 0x01);
    if (m_medium.notReady) return ScsiResult::Check(kSenseNotReady, 0x04, 0x00);
    if (m_medium.becomingReadyCalls > 0) return ScsiResult::Check(kSenseNotReady, 0x04, 0x01);
    if (!m_model.CanRead(m_medium.profile)) return ScsiResult::Check(kSenseNotReady, 0x30, 0x00);
    return ScsiResult::Ok(0);
}

bool VirtualRecorder::MediumReady() const { return MediumCondition().Good(); }

uint16_t VirtualRecorder::CurrentProfile() const {
    return MediumReady() ? m_medium.profile : kProfileNone;
}

// Moves min(allocation length, reply length, host buffer) bytes; never past the host buffer.
ScsiResult VirtualRecorder::Reply(const ScsiRequest& request, const std::vector<uint8_t>& data,
                                  uint32_t allocationLength) {
    uint32_t n = std::min<uint32_t>(allocationLength, static_cast<uint32_t>(data.size()));
    if (request.direction != DataDirection::In || request.data == nullptr) n = 0;
    n = std::min(n, request.dataLength);
    if (n > 0) std::memcpy(request.data, data.data(), n);
    return ScsiResult::Ok(n);
}

bool VirtualRecorder::TakeParameters(const ScsiRequest& request, uint32_t length,
                                     std::vector<uint8_t>* out) {
    out->clear();
    if (length == 0) return true;
    if (request.direction != DataDirection::Out || request.data == nullptr ||
        request.dataLength < length)
        return false;
    out->assign(request.data, request.data + length);
    return true;
}

void VirtualRecorder::MediumChanged() {
    if (m_model.unitAttentionOnMediumChange) m_unitAttention = true;
    ResetSpeeds();
}

void VirtualRecorder::InsertMedium(Medium medium) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_medium = std::move(medium);
    m_trayOpen = false;
    MediumChanged();
}

void VirtualRecorder::EjectMedium() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_medium = Medium{};
    m_trayOpen = false;
    MediumChanged();
}

Medium VirtualRecorder::CurrentMedium() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_medium;
}

void VirtualRecorder::SetCommandLatency(std::chrono::microseconds latency) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_latency = latency < std::chrono::microseconds(0) ? std::chrono::microseconds(0) : latency;
}

void VirtualRecorder::InjectFault(uint8_t opcode, uint32_t fromNthCall, uint8_t key, uint8_t asc,
                                  uint8_t ascq, uint32_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(m_faults, [](const Fault& f) { return f.remaining == 0; });
    m_faults.push_back(Fault{opcode, fromNthCall > 0 ? fromNthCall - 1 : 0, count, key, asc, ascq});
}

void VirtualRecorder::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

uint64_t VirtualRecorder::CommandCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commandCount;
}

uint64_t VirtualRecorder::CommandCount(uint8_t opcode) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_opcodeCounts[opcode];
}

uint32_t VirtualRecorder::CurrentReadSpeed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return ReadSpeedLocked();
}

uint32_t VirtualRecorder::CurrentWriteSpeed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return WriteSpeedLocked();
}

bool VirtualRecorder::TrayOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_trayOpen;
}

bool VirtualRecorder::RemovalPrevented() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_preventRemoval;
}

std::vector<uint8_t> VirtualRecorder::WriteParametersPage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writePage;
}

// ---- speeds

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

// ---- identity and readiness

ScsiResult VirtualRecorder::TestUnitReady(const ScsiRequest&) {
    ScsiResult condition = MediumCondition();
    if (!m_trayOpen && m_medium.Present() && !m_medium.notReady && m_medium.becomingReadyCalls > 0)
        --m_medium.becomingReadyCalls;
    return condition;
}

// Reports the sense of the command before, else the condition the drive is in now; a pending
// unit attention is reported (and cleared) here too.
ScsiResult VirtualRecorder::RequestSense(const ScsiRequest& r) {
    if (r.cdb[1] & 0x01) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // descriptor format
    std::vector<uint8_t> sense(18, 0);
    if (m_hasLastSense) {
        std::memcpy(sense.data(), m_lastSense, sense.size());
        m_hasLastSense = false;
    } else if (m_unitAttention) {
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
    return Reply(r, sense, r.cdb[4]);
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
    return Reply(r, data, Get16(&r.cdb[3]));
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
    return Reply(r, data, Get16(&r.cdb[7]));
}

// ---- speed commands

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
    std::vector<uint8_t> p;
    if (length < 28 || !TakeParameters(r, length, &p)) return Fail(kSenseIllegalRequest, 0x1A, 0x00);
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

ScsiResult VirtualRecorder::GetPerformance(const ScsiRequest& r) {
    const uint8_t type = r.cdb[10];
    const uint16_t maxDescriptors = Get16(&r.cdb[8]);
    const uint32_t end = m_medium.capacityBlocks > 0 ? m_medium.capacityBlocks - 1 : 0;
    std::vector<std::vector<uint8_t>> descriptors;
    uint8_t flags = 0;
    if (type == 0x00) {
        const bool write = r.cdb[1] & 0x04;
        const bool exceptions = (r.cdb[1] & 0x03) != 0;
        flags = static_cast<uint8_t>((write ? 0x02 : 0) | (exceptions ? 0x01 : 0));
        const uint32_t speed = write ? WriteSpeedLocked() : ReadSpeedLocked();
        if (!exceptions && speed != 0) {  // a nominal figure: the same speed over the whole disc
            std::vector<uint8_t> d(16, 0);
            Put32(&d[4], speed);
            Put32(&d[8], end);
            Put32(&d[12], speed);
            descriptors.push_back(d);
        }
    } else if (type == 0x03 && m_model.realTimeStreaming) {
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
    return Reply(r, data, r.dataLength);
}

// ---- mode pages

std::vector<uint8_t> VirtualRecorder::DefaultWritePage() const {
    std::vector<uint8_t> page(2 + kWritePageLength, 0);
    page[0] = 0x80 | kPageWriteParameters;  // parameters savable
    page[1] = kWritePageLength;
    page[2] = 0x01;  // Track-at-Once
    page[3] = 0x04;  // data track
    page[4] = 0x08;  // Mode 1, 2048 bytes
    page[8] = 0x00;
    Put16(&page[14], 150);
    return page;
}

std::vector<uint8_t> VirtualRecorder::ChangeableWritePage() const {
    std::vector<uint8_t> page(2 + kWritePageLength, 0);
    page[0] = kPageWriteParameters;
    page[1] = kWritePageLength;
    const bool testWrite = m_model.cdTestWrite || m_model.dvdMinusTestWrite;
    page[2] = static_cast<uint8_t>((m_model.bufferUnderrunProtection ? 0x40 : 0) | 0x20 |
                                   (testWrite ? 0x10 : 0) | 0x0F);
    page[3] = 0xFF;
    page[4] = 0x0F;
    page[5] = 0xFF;
    page[7] = 0x3F;
    page[8] = 0xFF;
    std::fill(page.begin() + 10, page.begin() + 16, uint8_t{0xFF});
    std::fill(page.begin() + 16, page.begin() + 52, uint8_t{0xFF});
    return page;
}

std::vector<uint8_t> VirtualRecorder::CapabilitiesPage() const {
    const std::vector<uint32_t> writes = UsableWriteSteps();
    const std::vector<uint32_t> reads = UsableReadSteps();
    std::vector<uint8_t> page(32, 0);
    page[0] = kPageCapabilities;
    page[1] = static_cast<uint8_t>(30 + 4 * writes.size());
    auto reads_ = [&](uint16_t p) { return m_model.CanRead(p); };
    auto writes_ = [&](uint16_t p) { return m_model.CanWrite(p); };
    page[2] = static_cast<uint8_t>((reads_(kProfileCdR) ? 0x01 : 0) | (reads_(kProfileCdRw) ? 0x02 : 0) |
                                   0x04 | (reads_(kProfileDvdRom) ? 0x08 : 0) |
                                   (reads_(kProfileDvdR) ? 0x10 : 0) | (reads_(kProfileDvdRam) ? 0x20 : 0));
    page[3] = static_cast<uint8_t>((writes_(kProfileCdR) ? 0x01 : 0) | (writes_(kProfileCdRw) ? 0x02 : 0) |
                                   (m_model.cdTestWrite || m_model.dvdMinusTestWrite ? 0x04 : 0) |
                                   (writes_(kProfileDvdR) ? 0x10 : 0) | (writes_(kProfileDvdRam) ? 0x20 : 0));
    page[4] = static_cast<uint8_t>((m_model.bufferUnderrunProtection ? 0x80 : 0) | 0x40 | 0x30 | 0x01);
    page[5] = 0x03;
    page[6] = static_cast<uint8_t>(0x20 | 0x08 | (m_preventRemoval ? 0x02 : 0) | 0x01);  // tray, eject, lock
    const uint32_t readNow = PickStep(reads, m_readRequest);
    const uint32_t writeNow = PickStep(writes, m_writeRequest);
    Put16(&page[8], reads.empty() ? 0 : std::min<uint32_t>(reads.back(), 0xFFFF));
    Put16(&page[10], 256);
    Put16(&page[12], std::min<uint32_t>(m_model.bufferKB, 0xFFFF));
    Put16(&page[14], std::min<uint32_t>(readNow, 0xFFFF));
    Put16(&page[18], writes.empty() ? 0 : std::min<uint32_t>(writes.back(), 0xFFFF));
    Put16(&page[20], std::min<uint32_t>(writeNow, 0xFFFF));
    page[27] = 0x00;  // CLV
    Put16(&page[28], std::min<uint32_t>(writeNow, 0xFFFF));
    Put16(&page[30], static_cast<uint32_t>(writes.size()));
    for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
        page.push_back(0);
        page.push_back(0x00);  // CLV
        Append16(page, std::min<uint32_t>(*it, 0xFFFF));
    }
    return page;
}

ScsiResult VirtualRecorder::ModeSense10(const ScsiRequest& r) {
    const uint8_t control = r.cdb[2] >> 6;
    const uint8_t code = r.cdb[2] & 0x3F;
    if (r.cdb[3] != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // no subpages
    if (control == 3) return Fail(kSenseIllegalRequest, 0x39, 0x00);  // saving not supported
    const bool writer = m_model.WritesAnything();
    std::vector<uint8_t> pages;
    auto addWritePage = [&] {
        std::vector<uint8_t> page = control == 1   ? ChangeableWritePage()
                                    : control == 2 ? DefaultWritePage()
                                                   : m_writePage;
        pages.insert(pages.end(), page.begin(), page.end());
    };
    auto addCapabilities = [&] {
        std::vector<uint8_t> page = CapabilitiesPage();
        if (control == 1) std::fill(page.begin() + 2, page.end(), uint8_t{0});
        pages.insert(pages.end(), page.begin(), page.end());
    };
    if (code == kPageWriteParameters && writer) {
        addWritePage();
    } else if (code == kPageCapabilities) {
        addCapabilities();
    } else if (code == kPageAll) {
        if (writer) addWritePage();
        addCapabilities();
    } else {
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    }
    std::vector<uint8_t> data(8, 0);
    Put16(&data[0], static_cast<uint32_t>(6 + pages.size()));
    data.insert(data.end(), pages.begin(), pages.end());
    return Reply(r, data, Get16(&r.cdb[7]));
}

// Checks a write parameters page against what the drive and the disc allow: unknown or reserved
// values and features the drive lacks are bad parameters (26/00); a write type the drive has but
// the inserted disc cannot take is an illegal mode (64/00).
ScsiResult VirtualRecorder::CheckWritePage(const uint8_t* page, size_t length) {
    if (length != 2u + kWritePageLength || page[1] != kWritePageLength)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);
    const std::vector<uint8_t> changeable = ChangeableWritePage();
    for (size_t i = 2; i < length; ++i)
        if ((page[i] & ~changeable[i]) != (m_writePage[i] & ~changeable[i]))
            return Fail(kSenseIllegalRequest, 0x26, 0x00);

    const uint8_t writeType = page[2] & 0x0F;
    const bool testWrite = page[2] & 0x10;
    const uint8_t multiSession = page[3] >> 6;
    const uint8_t trackMode = page[3] & 0x0F;
    const uint8_t blockType = page[4] & 0x0F;
    const uint8_t sessionFormat = page[8];
    if (writeType > 4 || multiSession == 2) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if ((blockType >= 4 && blockType <= 7) || blockType >= 14) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if (sessionFormat != 0x00 && sessionFormat != 0x10 && sessionFormat != 0x20)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);

    const bool dataTrack = trackMode & 0x04;
    const bool cdWriter = m_model.CanWrite(kProfileCdR) || m_model.CanWrite(kProfileCdRw);
    const bool dvdMinusWriter = m_model.dvdMinusWrite;
    // What the drive can do at all, whatever the disc.
    bool supported = false;
    switch (writeType) {
    case 0:  // packet / incremental
        supported = m_model.incrementalStreaming &&
                    (blockType == 8 || (cdWriter && (m_model.cdTaoDataBlockTypes >> blockType & 1)));
        break;
    case 1:  // track at once
        supported = cdWriter && m_model.cdTao && (m_model.cdTaoDataBlockTypes >> blockType & 1) &&
                    ((blockType != 2 && blockType != 3) || m_model.cdRwSubcode);
        break;
    case 2:  // session / disc at once; the cue sheet says what the blocks hold
        supported = (cdWriter && m_model.cdSao) || dvdMinusWriter;
        break;
    case 3:  // raw: the host sends whole sectors with sub-channel
        supported = cdWriter && m_model.cdRaw &&
                    (blockType == 1 || ((blockType == 2 || blockType == 3) && m_model.cdRwSubcode));
        break;
    case 4:  // layer jump recording is not modelled
        supported = false;
        break;
    }
    if (!supported) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if (writeType != 2 && writeType != 3 && blockType >= 8 && !dataTrack)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);  // a data block on an audio track

    if (!MediumReady() || !m_model.CanWrite(m_medium.profile)) return ScsiResult::Ok(0);
    const uint16_t profile = m_medium.profile;
    const MediumFamily family = m_medium.Family();
    bool legal = true;
    if (family == MediumFamily::Cd) {
        if (testWrite && !m_model.cdTestWrite) legal = false;
        if (writeType == 2 && !m_model.cdSao) legal = false;
    } else if (profile == kProfileDvdR || profile == kProfileDvdRwSequential || profile == kProfileDvdRDl) {
        legal = (writeType == 0 || writeType == 2) && blockType == 8 &&
                (writeType != 2 || dvdMinusWriter) && (!testWrite || m_model.dvdMinusTestWrite);
    } else {
        // DVD+R, DVD+RW, DVD-RAM, restricted overwrite, BD: no test write, no CD write types.
        legal = !testWrite && (writeType == 0 || writeType == 2) && blockType == 8;
    }
    if (!legal) return Fail(kSenseIllegalRequest, 0x64, 0x00);
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::ModeSelect10(const ScsiRequest& r) {
    if ((r.cdb[1] & 0x10) == 0 || (r.cdb[1] & 0x01) != 0)  // pages must be in MMC format; no saving
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const uint16_t length = Get16(&r.cdb[7]);
    if (length == 0) return ScsiResult::Ok(0);
    std::vector<uint8_t> p;
    if (length < 8 || !TakeParameters(r, length, &p)) return Fail(kSenseIllegalRequest, 0x1A, 0x00);
    if (Get16(&p[6]) != 0) return Fail(kSenseIllegalRequest, 0x26, 0x00);  // no block descriptors
    size_t at = 8;
    std::vector<uint8_t> newWritePage = m_writePage;
    while (at < p.size()) {
        if (p.size() - at < 2 || p.size() - at < 2u + p[at + 1])
            return Fail(kSenseIllegalRequest, 0x1A, 0x00);
        const uint8_t* page = &p[at];
        const size_t pageLength = 2u + page[1];
        if (page[0] & 0x80) return Fail(kSenseIllegalRequest, 0x26, 0x00);  // PS is reserved here
        if ((page[0] & 0x3F) != kPageWriteParameters || !m_model.WritesAnything())
            return Fail(kSenseIllegalRequest, 0x26, 0x00);
        ScsiResult check = CheckWritePage(page, pageLength);
        if (!check.Good()) return check;
        newWritePage.assign(page, page + pageLength);
        newWritePage[0] = m_writePage[0];
        at += pageLength;
    }
    m_writePage = newWritePage;
    return ScsiResult::Ok(0);
}

}  // namespace burnlib
