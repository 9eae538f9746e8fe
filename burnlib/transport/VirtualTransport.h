// A transport whose drive is a ScsiTarget in this process (the virtual recorder). Several transports
// may share one target, as several handles opened on one real drive do.
#pragma once

#include <memory>

#include "burnlib/transport/ScsiTransport.h"

namespace burnlib {

class VirtualTransport : public ScsiTransport {
public:
    VirtualTransport(std::shared_ptr<ScsiTarget> target, ScsiAddress address,
                     uint32_t maxTransferLength = 65536);
    ~VirtualTransport() override;
    VirtualTransport(const VirtualTransport&) = delete;
    VirtualTransport& operator=(const VirtualTransport&) = delete;

    ScsiResult Execute(const ScsiRequest& request) override;
    uint32_t MaxTransferLength() const override { return m_maxTransferLength; }
    bool GetAddress(ScsiAddress* address) const override;
    // The target's claim, held by this transport until released or destroyed.
    bool AcquireExclusiveAccess(uint32_t* systemError, bool* taken) override;
    void ReleaseExclusiveAccess() override;

private:
    std::shared_ptr<ScsiTarget> m_target;
    ScsiAddress m_address;
    uint32_t m_maxTransferLength;
    bool m_exclusive = false;
};

}  // namespace burnlib
