// A drive whose answers a test writes per opcode, for the shapes no well-behaved drive produces.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "burnlib/transport/ScsiTransport.h"

namespace mmctest {

struct SentCommand {
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> dataOut;
    uint32_t allocation = 0;
};

class ScriptedDrive {
public:
    using Handler = std::function<burnlib::ScsiResult(const burnlib::ScsiRequest&)>;

    void On(uint8_t opcode, Handler handler) { m_handlers[opcode] = std::move(handler); }
    // Answers with these bytes (cut to the allocation), as a drive does.
    void Answer(uint8_t opcode, std::vector<uint8_t> bytes);
    // Answers with the sense of a deferred error (response code 71h).
    void RefuseDeferred(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq);
    void Refuse(uint8_t opcode, uint8_t key, uint8_t asc, uint8_t ascq);

    std::unique_ptr<burnlib::ScsiTransport> Open(uint32_t maxTransfer = 65536);
    const std::vector<SentCommand>& Sent() const { return m_sent; }
    size_t Count(uint8_t opcode) const;
    // Called before each command is answered (for cancelling mid-call).
    std::function<void()> beforeEach;

    // Exclusive access as the system grants it through this drive's transports.
    enum class Exclusive { Unavailable, Granted, HeldByAnother };
    Exclusive exclusive = Exclusive::Unavailable;
    int exclusiveTaken = 0;     // successful acquisitions
    int exclusiveReleased = 0;

    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request);

private:
    std::map<uint8_t, Handler> m_handlers;
    std::vector<SentCommand> m_sent;
};

// Copies bytes into the request's buffer like a drive: at most the allocation length the CDB
// names. A host buffer shorter than that allocation, or data for a command that moves none in,
// is a transport error, as SPTI reports a data overrun or a wrong direction.
burnlib::ScsiResult Deliver(const burnlib::ScsiRequest& request, const std::vector<uint8_t>& bytes);
// The allocation length field of the commands the engine reads with; the buffer length for
// others.
uint32_t AllocationLength(const burnlib::ScsiRequest& request);
constexpr uint32_t kTransportOverrun = 1784;  // what the system reports for a bad data buffer
burnlib::ScsiResult DeferredCheck(uint8_t key, uint8_t asc, uint8_t ascq);

}  // namespace mmctest
