#include "burnlib/virtual/VirtualRecorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "burnlib/common/BigEndian.h"

namespace burnlib {

using namespace be;

namespace {

enum : uint8_t {
    kOpTestUnitReady = 0x00,
    kOpRequestSense = 0x03,
    kOpFormatUnit = 0x04,
    kOpInquiry = 0x12,
    kOpStartStopUnit = 0x1B,
    kOpPreventAllow = 0x1E,
    kOpReadFormatCapacities = 0x23,
    kOpReadCapacity = 0x25,
    kOpRead10 = 0x28,
    kOpWrite10 = 0x2A,
    kOpSynchronizeCache = 0x35,
    kOpReadToc = 0x43,
    kOpGetConfiguration = 0x46,
    kOpReadDiscInformation = 0x51,
    kOpReadTrackInformation = 0x52,
    kOpReserveTrack = 0x53,
    kOpSendOpc = 0x54,
    kOpModeSelect10 = 0x55,
    kOpModeSense10 = 0x5A,
    kOpCloseTrackSession = 0x5B,
    kOpReadBufferCapacity = 0x5C,
    kOpSendCueSheet = 0x5D,
    kOpBlank = 0xA1,
    kOpGetPerformance = 0xAC,
    kOpSetStreaming = 0xB6,
    kOpSetCdSpeed = 0xBB,
};

// What Windows reports when the data phase goes wrong: a drive sending more than the host buffer
// holds (data overrun), or data moving against the direction the host gave.
constexpr uint32_t kErrorIoDevice = 1117;

uint8_t CdbLengthOfGroup(uint8_t opcode) {
    switch (opcode >> 5) {
    case 0: return 6;
    case 1: case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 0;
    }
}

}  // namespace

// What each command is, the data phase it has, and what it needs.
const VirtualRecorder::CommandEntry VirtualRecorder::kCommands[] = {
    {kOpTestUnitReady, Phase::None, Needs::Nothing, false, &VirtualRecorder::TestUnitReady},
    {kOpRequestSense, Phase::In, Needs::Nothing, true, &VirtualRecorder::RequestSense},
    {kOpInquiry, Phase::In, Needs::Nothing, true, &VirtualRecorder::Inquiry},
    {kOpStartStopUnit, Phase::None, Needs::Nothing, false, &VirtualRecorder::StartStopUnit},
    {kOpPreventAllow, Phase::None, Needs::Nothing, false, &VirtualRecorder::PreventAllow},
    {kOpReadCapacity, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::ReadCapacity},
    {kOpReadToc, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::ReadTocPmaAtip},
    // MMC lets GET CONFIGURATION through a pending unit attention.
    {kOpGetConfiguration, Phase::In, Needs::Nothing, true, &VirtualRecorder::GetConfiguration},
    {kOpReadDiscInformation, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::ReadDiscInformation},
    {kOpReadTrackInformation, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::ReadTrackInformation},
    {kOpModeSelect10, Phase::Out, Needs::Nothing, false, &VirtualRecorder::ModeSelect10},
    {kOpModeSense10, Phase::In, Needs::Nothing, false, &VirtualRecorder::ModeSense10},
    {kOpReadBufferCapacity, Phase::In, Needs::Nothing, false, &VirtualRecorder::ReadBufferCapacity},
    {kOpGetPerformance, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::GetPerformance},
    {kOpSetStreaming, Phase::Out, Needs::ReadyMedium, false, &VirtualRecorder::SetStreaming},
    {kOpSetCdSpeed, Phase::None, Needs::Nothing, false, &VirtualRecorder::SetCdSpeed},
    {kOpWrite10, Phase::Out, Needs::ReadyMedium, false, &VirtualRecorder::Write10},
    {kOpRead10, Phase::In, Needs::ReadyMedium, false, &VirtualRecorder::Read10},
    {kOpSynchronizeCache, Phase::None, Needs::ReadyMedium, false, &VirtualRecorder::SynchronizeCache},
    {kOpCloseTrackSession, Phase::None, Needs::ReadyMedium, false, &VirtualRecorder::CloseTrackSession},
    {kOpSendCueSheet, Phase::Out, Needs::ReadyMedium, false, &VirtualRecorder::SendCueSheet},
    {kOpSendOpc, Phase::Out, Needs::ReadyMedium, false, &VirtualRecorder::SendOpc},
    {kOpReserveTrack, Phase::None, Needs::ReadyMedium, false, &VirtualRecorder::ReserveTrack},
    {kOpFormatUnit, Phase::Out, Needs::ReadyMedium, false, &VirtualRecorder::FormatUnit},
    {kOpReadFormatCapacities, Phase::In, Needs::Nothing, false, &VirtualRecorder::ReadFormatCapacities},
    {kOpBlank, Phase::None, Needs::ReadyMedium, false, &VirtualRecorder::Blank},
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

VirtualRecorder::~VirtualRecorder() {
    std::lock_guard<std::mutex> lock(m_mutex);
    SaveState();
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

    ScsiResult result;
    std::chrono::microseconds pacing{0};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_commandCount;
        ++m_opcodeCounts[request.cdb[0]];
        m_opcode = request.cdb[0];
        const std::string before = m_lastRefusal;
        m_lastRefusal.clear();
        result = Dispatch(request);
        if (result.Good()) {
            m_lastRefusal = before;
        } else if (m_lastRefusal.empty()) {
            char text[64];
            if (!result.delivered)
                std::snprintf(text, sizeof text, "command %02Xh: transport error %u (host buffer or direction)",
                              request.cdb[0], result.systemError);
            else
                std::snprintf(text, sizeof text, "command %02Xh: %02X/%02X/%02X", request.cdb[0],
                              result.SenseKey(), result.Asc(), result.Ascq());
            m_lastRefusal = text;
        }
        pacing = m_pacingDue;
        m_pacingDue = std::chrono::microseconds(0);
    }
    // Paced writes take their time outside the lock, as a drive busy writing still answers polls.
    if (pacing.count() > 0) std::this_thread::sleep_for(pacing);
    return result;
}

ScsiResult VirtualRecorder::Refuse(uint8_t key, uint8_t asc, uint8_t ascq, std::string why) {
    char text[48];
    std::snprintf(text, sizeof text, "command %02Xh: %02X/%02X/%02X", m_opcode, key, asc, ascq);
    m_lastRefusal = text;
    if (!why.empty()) m_lastRefusal += ": " + why;
    return ScsiResult::Check(key, asc, ascq);
}

bool VirtualRecorder::ClaimExclusive(const void* owner) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_exclusiveOwner != nullptr && m_exclusiveOwner != owner) return false;
    m_exclusiveOwner = owner;
    return true;
}

void VirtualRecorder::ReleaseExclusive(const void* owner) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_exclusiveOwner == owner) m_exclusiveOwner = nullptr;
}

// The bytes the drive moves in the data phase of a command whose result is GOOD: the allocation
// length of a data-in command, the parameter list length of a data-out one.
uint32_t VirtualRecorder::DataPhaseLength(const ScsiRequest& r) const {
    const uint8_t* cdb = r.cdb;
    switch (cdb[0]) {
    case kOpRequestSense: return cdb[4];
    case kOpInquiry: return Get16(&cdb[3]);
    case kOpReadCapacity: return 8;
    case kOpReadToc: case kOpGetConfiguration: case kOpReadDiscInformation:
    case kOpReadTrackInformation: case kOpModeSelect10: case kOpModeSense10:
    case kOpReadBufferCapacity:
        return Get16(&cdb[7]);
    case kOpGetPerformance:  // 16-byte descriptors for the types the drive answers
        return cdb[10] == 0x00 || cdb[10] == 0x03 ? 8u + 16u * Get16(&cdb[8]) : 0u;
    case kOpSetStreaming: return Get16(&cdb[9]);
    case kOpWrite10: return Get16(&cdb[7]) * WriteBlockSize();
    case kOpRead10: return Get16(&cdb[7]) * 2048u;
    case kOpSendCueSheet: return Get24(&cdb[6]);
    case kOpSendOpc: return Get16(&cdb[7]);
    case kOpReadFormatCapacities: return Get16(&cdb[7]);
    case kOpFormatUnit: return (cdb[1] & 0x10) ? 12u : 0u;  // header and one format descriptor
    default: return 0;
    }
}

// The host's buffer and direction against the command's data phase, as the pass-through layer
// sees them: a buffer shorter than the allocation or parameter list length, or a direction that
// is not the command's, fails the request at the transport instead of being cut short. Checked
// whatever the drive would answer, so a host fault shows with every disc and in every state.
ScsiResult VirtualRecorder::CheckDataPhase(const CommandEntry& entry, const ScsiRequest& r) const {
    const DataDirection expected = entry.phase == Phase::In    ? DataDirection::In
                                   : entry.phase == Phase::Out ? DataDirection::Out
                                                               : DataDirection::None;
    const bool hostMovesData = r.direction != DataDirection::None && r.dataLength > 0;
    if (hostMovesData && r.direction != expected) return ScsiResult::SystemFailure(kErrorIoDevice);
    const uint32_t length = DataPhaseLength(r);
    if (length > 0 && (r.direction != expected || r.data == nullptr || r.dataLength < length))
        return ScsiResult::SystemFailure(kErrorIoDevice);
    // Written blocks are counted by the command block and sized by the write parameters: any
    // other amount of data means the host and the drive disagree about the blocks.
    if (r.cdb[0] == kOpWrite10 && hostMovesData && r.dataLength != length)
        return ScsiResult::SystemFailure(kErrorIoDevice);
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::Dispatch(const ScsiRequest& request) {
    const uint8_t opcode = request.cdb[0];
    const CommandEntry* entry = FindCommand(opcode);
    const bool wholeCdb =
        request.cdbLength >= CdbLengthOfGroup(opcode) && request.cdbLength <= sizeof(request.cdb);
    if (entry != nullptr && wholeCdb) {
        ScsiResult transfer = CheckDataPhase(*entry, request);
        if (!transfer.delivered) return transfer;
    }

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

    if (m_unitAttention && (entry == nullptr || !entry->passesUnitAttention)) {
        m_unitAttention = false;
        return Fail(kSenseUnitAttention, 0x28, 0x00);
    }
    if (entry == nullptr) return Fail(kSenseIllegalRequest, 0x20, 0x00);
    if (!wholeCdb) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    if (entry->needs == Needs::ReadyMedium) {
        ScsiResult condition = MediumCondition();
        if (!condition.Good()) return condition;
    }
    return (this->*entry->handler)(request);
}

ScsiResult VirtualRecorder::Fail(uint8_t key, uint8_t asc, uint8_t ascq) { return Refuse(key, asc, ascq, {}); }

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

// Moves the reply, cut to the allocation length; the data phase check made sure the host buffer
// holds that much.
ScsiResult VirtualRecorder::Reply(const ScsiRequest& request, const std::vector<uint8_t>& data) {
    uint32_t n = std::min<uint32_t>(DataPhaseLength(request), static_cast<uint32_t>(data.size()));
    n = std::min(n, request.data != nullptr ? request.dataLength : 0u);
    if (n > 0) std::memcpy(request.data, data.data(), n);
    return ScsiResult::Ok(n);
}

std::vector<uint8_t> VirtualRecorder::TakeParameters(const ScsiRequest& request) const {
    const uint32_t length = std::min(DataPhaseLength(request), request.data != nullptr ? request.dataLength : 0u);
    return std::vector<uint8_t>(request.data, request.data + length);
}

// A disc put in or taken out ends whatever was being written; with a store folder the files
// follow the disc now in the drive.
void VirtualRecorder::MediumChanged() {
    if (m_model.unitAttentionOnMediumChange) m_unitAttention = true;
    ResetSpeeds();
    EndSimulation();
    m_mastering.reset();
    m_busyPolls = 0;
    if (!m_storeFolder.empty() && m_medium.profile != kProfileNone) {
        m_rawStore.reset();
        std::error_code ignored;
        std::filesystem::remove(StorePath(".raw"), ignored);
        std::filesystem::remove(StorePath(".txt"), ignored);
        if (!m_medium.userData) std::filesystem::remove(StorePath(".iso"), ignored);
        SaveState();
    }
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

}  // namespace burnlib
