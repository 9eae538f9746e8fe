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

private:
    ScriptedDrive* m_drive;
    uint32_t m_maxTransfer;
};

}  // namespace

ScsiResult Deliver(const ScsiRequest& request, const std::vector<uint8_t>& bytes) {
    const uint32_t n = std::min<uint32_t>(request.dataLength, static_cast<uint32_t>(bytes.size()));
    if (n != 0) std::memcpy(request.data, bytes.data(), n);
    return ScsiResult::Ok(n);
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
