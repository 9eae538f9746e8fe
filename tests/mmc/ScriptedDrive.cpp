#include "tests/mmc/ScriptedDrive.h"

#include <algorithm>
#include <cstring>

namespace mmctest {

using burnlib::ScsiRequest;
using burnlib::ScsiResult;

namespace {

class ScriptedTransport : public burnlib::ScsiTransport {
public:
    ScriptedTransport(ScriptedDrive* drive, uint32_t maxTransfer)
        : m_drive(drive), m_maxTransfer(maxTransfer) {}
    ScsiResult Execute(const ScsiRequest& request) override { return m_drive->Execute(request); }
    uint32_t MaxTransferLength() const override { return m_maxTransfer; }
    bool GetAddress(burnlib::ScsiAddress* address) const override {
        *address = burnlib::ScsiAddress{1, 0, 0, 0};
        return true;
    }
    bool AcquireExclusiveAccess(uint32_t* systemError, bool* taken) override {
        *systemError = 0;
        *taken = false;
        switch (m_drive->exclusive) {
            case ScriptedDrive::Exclusive::Unavailable: return true;
            case ScriptedDrive::Exclusive::HeldByAnother: *systemError = 5; return false;
            case ScriptedDrive::Exclusive::Granted: break;
        }
        ++m_drive->exclusiveTaken;
        *taken = true;
        return true;
    }
    void ReleaseExclusiveAccess() override { ++m_drive->exclusiveReleased; }

private:
    ScriptedDrive* m_drive;
    uint32_t m_maxTransfer;
};

}  // namespace

uint32_t AllocationLength(const ScsiRequest& request) {
    const uint8_t* c = request.cdb;
    switch (c[0]) {
        case 0x03: return c[4];                         // REQUEST SENSE
        case 0x12: return (uint32_t{c[3]} << 8) | c[4];  // INQUIRY
        case 0x25: return 8;                            // READ CAPACITY
        case 0x23: case 0x43: case 0x46: case 0x51: case 0x52: case 0x5A: case 0x5C:
            return (uint32_t{c[7]} << 8) | c[8];
        case 0xAC:  // GET PERFORMANCE: a header and 16-byte descriptors
            return 8 + 16 * ((uint32_t{c[8]} << 8) | c[9]);
        default: return request.dataLength;
    }
}

ScsiResult Deliver(const ScsiRequest& request, const std::vector<uint8_t>& bytes) {
    // Commands that send data, or none, only take an empty answer.
    if (request.direction != burnlib::DataDirection::In)
        return bytes.empty() ? ScsiResult::Ok(0) : ScsiResult::SystemFailure(kTransportOverrun);
    const uint32_t allocation = AllocationLength(request);
    if (request.dataLength < allocation) return ScsiResult::SystemFailure(kTransportOverrun);
    const uint32_t n = std::min<uint32_t>(allocation, static_cast<uint32_t>(bytes.size()));
    if (n != 0) std::memcpy(request.data, bytes.data(), n);
    return ScsiResult::Ok(n);
}

ScsiResult DeferredCheck(uint8_t key, uint8_t asc, uint8_t ascq) {
    ScsiResult r = ScsiResult::Check(key, asc, ascq);
    r.sense[0] = 0x71;
    return r;
}

void ScriptedDrive::RefuseDeferred(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq) {
    On(opcode, [=](const ScsiRequest&) { return DeferredCheck(key, asc, ascq); });
}

void ScriptedDrive::Answer(uint8_t opcode, std::vector<uint8_t> bytes) {
    On(opcode, [bytes](const ScsiRequest& r) { return Deliver(r, bytes); });
}

void ScriptedDrive::Refuse(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq) {
    On(opcode, [=](const ScsiRequest&) { return ScsiResult::Check(key, asc, ascq); });
}

std::unique_ptr<burnlib::ScsiTransport> ScriptedDrive::Open(uint32_t maxTransfer) {
    return std::make_unique<ScriptedTransport>(this, maxTransfer);
}

size_t ScriptedDrive::Count(uint8_t opcode) const {
    return std::count_if(m_sent.begin(), m_sent.end(),
                         [&](const SentCommand& c) { return c.cdb[0] == opcode; });
}

ScsiResult ScriptedDrive::Execute(const ScsiRequest& request) {
    if (beforeEach) beforeEach();
    SentCommand sent;
    sent.cdb.assign(request.cdb, request.cdb + request.cdbLength);
    sent.allocation = request.dataLength;
    if (request.direction == burnlib::DataDirection::Out)
        sent.dataOut.assign(request.data, request.data + request.dataLength);
    m_sent.push_back(sent);
    auto it = m_handlers.find(request.cdb[0]);
    if (it == m_handlers.end()) return ScsiResult::Check(0x05, 0x20, 0x00);
    return it->second(request);
}

}  // namespace mmctest
