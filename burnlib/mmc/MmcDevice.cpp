#include "burnlib/mmc/MmcDevice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/Sense.h"

namespace burnlib::mmc {

namespace {

constexpr int kUnitAttentionRetries = 3;

std::string Hex2(uint8_t v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", v);
    return text;
}

}  // namespace

MmcDevice::MmcDevice(std::unique_ptr<ScsiTransport> transport,
                     std::function<void(uint8_t)> onCommand)
    : m_transport(std::move(transport)), m_onCommand(std::move(onCommand)) {}

// ---- Operations and cancel

void MmcDevice::BeginOperation() {
    {
        std::lock_guard<std::mutex> lock(m_cancelLock);
        m_running = true;
        m_cancel.store(false);
    }
    m_failure = CommandFailure{};
    m_mediumWritten = false;
    m_profileKnown = false;
}

void MmcDevice::EndOperation() {
    std::lock_guard<std::mutex> lock(m_cancelLock);
    m_running = false;
    m_cancelListener = nullptr;
    m_cancel.store(false);
    m_profileKnown = false;
}

void MmcDevice::Cancel() {
    std::lock_guard<std::mutex> lock(m_cancelLock);
    if (!m_running) return;
    m_cancel.store(true);
    if (m_cancelListener) m_cancelListener();
}

void MmcDevice::SetCancelListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(m_cancelLock);
    m_cancelListener = std::move(listener);
    if (m_cancelListener && m_running && m_cancel.load()) m_cancelListener();
}

MmcDevice::CleanupScope::CleanupScope(MmcDevice& device)
    : m_device(device), m_before(device.m_failure) {
    ++m_device.m_cleanupDepth;
}

MmcDevice::CleanupScope::~CleanupScope() {
    --m_device.m_cleanupDepth;
    if (m_before.outcome != Outcome::Ok) m_device.m_failure = m_before;
}

void MmcDevice::SetSleep(std::function<void(uint32_t)> sleep) { m_sleep = std::move(sleep); }

void MmcDevice::Sleep(uint32_t milliseconds) {
    if (m_sleep) {
        m_sleep(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Failures

void MmcDevice::Fail(Outcome outcome, const Cdb& cdb, std::string text) {
    m_failure = CommandFailure{};
    m_failure.outcome = outcome;
    m_failure.text = std::move(text);
    std::memcpy(m_failure.cdb, cdb.bytes, sizeof cdb.bytes);
    m_failure.cdbLength = cdb.length;
}

bool MmcDevice::BadResponse(const Cdb& cdb, uint32_t transferred) {
    Fail(Outcome::BadResponse, cdb,
         std::string(CommandName(cdb.bytes[0])) + " failed: the drive's answer (" +
             std::to_string(transferred) + " bytes) could not be understood");
    return false;
}

bool MmcDevice::BadResponse() { return BadResponse(m_lastCdb, m_lastTransferred); }

bool MmcDevice::FailedWith(uint8_t key, uint8_t asc) const {
    return m_failure.outcome == Outcome::CheckCondition && m_failure.senseKey == key &&
           m_failure.asc == asc;
}

bool MmcDevice::FailedBusy() const {
    return FailedWith(kSenseNotReady, 0x04) && !m_failure.deferred &&
           (m_failure.ascq == 0x07 || m_failure.ascq == 0x08);
}

// ---- Commands

bool MmcDevice::ExecuteOnce(const Cdb& cdb, DataDirection direction, uint8_t* data,
                            uint32_t length, uint32_t* transferred, uint32_t timeoutSeconds) {
    if (transferred != nullptr) *transferred = 0;
    const char* name = CommandName(cdb.bytes[0]);
    if (m_cancel.load() && m_cleanupDepth == 0) {
        Fail(Outcome::Cancelled, cdb, std::string(name) + " cancelled");
        return false;
    }
    ScsiRequest request;
    std::memcpy(request.cdb, cdb.bytes, sizeof cdb.bytes);
    request.cdbLength = cdb.length;
    request.direction = length == 0 ? DataDirection::None : direction;
    request.data = length == 0 ? nullptr : data;
    request.dataLength = length;
    request.timeoutSeconds = timeoutSeconds;
    if (ChangesMedium(cdb.bytes[0])) m_mediumWritten = true;
    if (m_onCommand) m_onCommand(cdb.bytes[0]);
    const ScsiResult result = m_transport->Execute(request);
    // A transport may claim more than the buffer holds; never believe it.
    const uint32_t moved = std::min(result.transferred, length);
    if (transferred != nullptr) *transferred = moved;
    m_lastCdb = cdb;
    m_lastTransferred = moved;

    if (!result.delivered) {
        Fail(Outcome::SystemError, cdb,
             std::string(name) + " failed: system error " + std::to_string(result.systemError));
        m_failure.systemError = result.systemError;
        return false;
    }
    if (result.status == kScsiStatusGood) return true;

    if (result.status != kScsiStatusCheckCondition) {
        Fail(Outcome::CheckCondition, cdb,
             std::string(name) + " failed: SCSI status " + Hex2(result.status) +
                 (result.status == kScsiStatusBusy ? " (busy)" : ""));
        m_failure.status = result.status;
        return false;
    }
    const uint8_t senseLength = std::min<uint8_t>(result.senseLength, kSenseBufferSize);
    SenseData sense;
    std::string text = std::string(name) + " failed: ";
    const bool parsed = ParseSense(result.sense, senseLength, &sense);
    const bool deferred = parsed && (sense.responseCode == 0x71 || sense.responseCode == 0x73);
    if (parsed) {
        if (deferred) text += "deferred error of an earlier command, ";
        text += "sense " + Hex2(sense.key) + "/" + Hex2(sense.asc) + "/" + Hex2(sense.ascq) + " (";
        const char* meaning = AdditionalSenseText(sense.asc, sense.ascq);
        text += meaning != nullptr ? meaning : SenseKeyName(sense.key);
        text += ")";
    } else {
        text += "check condition without usable sense data";
    }
    Fail(Outcome::CheckCondition, cdb, std::move(text));
    m_failure.status = result.status;
    std::memcpy(m_failure.sense, result.sense, senseLength);
    m_failure.senseLength = senseLength;
    m_failure.senseKey = sense.key;
    m_failure.asc = sense.asc;
    m_failure.ascq = sense.ascq;
    m_failure.deferred = deferred;
    return false;
}

namespace {
// Marks a call that handles "in progress" answers itself, so Execute passes them up unchanged.
class OwnBusyWait {
public:
    explicit OwnBusyWait(int& depth) : m_depth(depth) { ++m_depth; }
    ~OwnBusyWait() { --m_depth; }
    OwnBusyWait(const OwnBusyWait&) = delete;
    OwnBusyWait& operator=(const OwnBusyWait&) = delete;

private:
    int& m_depth;
};
}  // namespace

bool MmcDevice::Execute(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                        uint32_t* transferred, uint32_t timeoutSeconds) {
    uint32_t busyWaited = 0;
    uint32_t pause = kFirstPollMs;
    for (int attempt = 0;; ++attempt) {
        if (ExecuteOnce(cdb, direction, data, length, transferred, timeoutSeconds)) return true;
        // A drive finishing a close or a background format answers other commands "in
        // progress" for a while; TEST UNIT READY is how that is asked, so it is never repeated.
        if (FailedBusy() && m_ownBusyWaitDepth == 0 && cdb.bytes[0] != kOpTestUnitReady) {
            if (busyWaited >= kLongWriteLimitMs) {
                m_failure.text += "; the drive stayed busy";
                return false;
            }
            Sleep(pause);
            busyWaited += pause;
            pause = std::min(pause * 2, kPollIntervalMs);
            --attempt;
            continue;
        }
        // A unit attention reports an event (medium change, reset), not a fault of this command.
        if (m_failure.outcome != Outcome::CheckCondition ||
            m_failure.senseKey != kSenseUnitAttention || m_failure.deferred)
            return false;
        m_profileKnown = false;
        if (m_mediumWritten) {
            // Whatever this operation wrote or set up may be gone with the old medium or state.
            m_failure.text += "; the drive or its medium changed while writing";
            return false;
        }
        if (attempt >= kUnitAttentionRetries) return false;
    }
}

bool MmcDevice::ExecuteWrite(const Cdb& cdb, const uint8_t* data, uint32_t length,
                             uint32_t timeoutSeconds) {
    OwnBusyWait own(m_ownBusyWaitDepth);
    uint32_t slept = 0;
    for (;;) {
        // The transport only reads an outgoing buffer.
        if (Execute(cdb, DataDirection::Out, const_cast<uint8_t*>(data), length, nullptr,
                    timeoutSeconds))
            return true;
        if (!(FailedBusy() && m_failure.ascq == 0x08)) return false;
        if (slept >= kLongWriteLimitMs) {
            m_failure.text += "; the drive stayed busy";
            return false;
        }
        Sleep(kLongWriteResendMs);
        slept += kLongWriteResendMs;
    }
}

bool MmcDevice::ExecuteImmediate(const Cdb& cdb, uint32_t limitSeconds, DataDirection direction,
                                 uint8_t* data, uint32_t length) {
    const uint64_t limit = uint64_t{limitSeconds} * 1000;
    uint64_t waited = 0;
    OwnBusyWait own(m_ownBusyWaitDepth);
    while (!Execute(cdb, direction, data, length, nullptr, 200)) {
        if (!FailedBusy()) return false;
        if (waited >= limit) {
            m_failure.text += "; the drive stayed busy";
            return false;
        }
        Sleep(kPollIntervalMs);
        waited += kPollIntervalMs;
    }
    return WaitWhileBusy(limitSeconds);
}

bool MmcDevice::WaitWhileBusy(uint32_t limitSeconds) {
    OwnBusyWait own(m_ownBusyWaitDepth);
    const uint64_t limit = uint64_t{limitSeconds} * 1000;
    uint64_t waited = 0;
    // Most Immed operations end within moments: ask early, then back off to the usual interval.
    uint32_t interval = kFirstPollMs;
    for (;;) {
        const auto pause = static_cast<uint32_t>(std::min<uint64_t>(interval, limit - std::min(limit, waited)));
        Sleep(pause);
        waited += pause;
        interval = std::min(interval * 2, kPollIntervalMs);
        if (m_pollObserver) m_pollObserver();
        if (Execute(MakeTestUnitReady(), DataDirection::None, nullptr, 0)) {
            // Some drives report ready while still finishing: ask about the disc as well.
            const CommandFailure before = m_failure;
            DiscInformation disc;
            if (ReadDiscInformation(*this, &disc)) return true;
            if (Cancelled() || m_failure.deferred || m_failure.outcome == Outcome::SystemError)
                return false;
            if (!FailedBusy()) {
                // A drive that cannot answer this question is not busy with it.
                m_failure = before;
                return true;
            }
        } else if (m_failure.deferred || !FailedWith(kSenseNotReady, 0x04) ||
                   m_failure.ascq == 0x02 || m_failure.ascq == 0x03) {
            // A deferred error belongs to the command we wait for; no medium, a drive that needs
            // a start or manual intervention will not come back by waiting.
            return false;
        }
        if (waited >= limit) {
            m_failure.text += "; the drive stayed busy for " + std::to_string(limitSeconds) + " s";
            return false;
        }
    }
}

// ---- What a drive's nature fixes

bool MmcDevice::ReadSupportedFeatures(const Configuration** out) {
    if (!m_features) {
        auto features = std::make_unique<Configuration>();
        if (!ReadConfiguration(*this, features.get())) return false;
        m_features = std::move(features);
    }
    *out = m_features.get();
    return true;
}

bool MmcDevice::ReadDriveCapabilities(const Capabilities** out) {
    if (!m_capabilities) {
        auto caps = std::make_unique<Capabilities>();
        if (!ReadCapabilities(*this, caps.get())) return false;
        m_capabilities = std::move(caps);
    }
    *out = m_capabilities.get();
    return true;
}

uint16_t MmcDevice::BufferSizeKB() {
    const Capabilities* caps = nullptr;
    return ReadDriveCapabilities(&caps) ? caps->bufferSizeKB : 0;
}

bool MmcDevice::ReadCurrentProfile(uint16_t* profile) {
    if (m_profileKnown) {
        *profile = m_profile;
        return true;
    }
    uint8_t reply[8] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeGetConfiguration(kConfigCurrent, 0, sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    Configuration c;
    if (!ParseConfiguration(reply, got, &c)) return BadResponse(cdb, got);
    *profile = c.currentProfile;
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_cancelLock);
        running = m_running;
    }
    m_profileKnown = running;  // outside an operation nothing says when the disc changes
    m_profile = c.currentProfile;
    return true;
}

}  // namespace burnlib::mmc
