#include "burnlib/transport/VirtualTransport.h"

#include <utility>

namespace burnlib {

namespace {
// The Windows codes the pass-through ioctl fails with, so callers see what SPTI would give them.
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorInvalidParameter = 87;
}  // namespace

VirtualTransport::VirtualTransport(std::shared_ptr<ScsiTarget> target, ScsiAddress address,
                                   uint32_t maxTransferLength)
    : m_target(std::move(target)), m_address(address), m_maxTransferLength(maxTransferLength) {}

VirtualTransport::~VirtualTransport() { ReleaseExclusiveAccess(); }

// Another opener holding the drive refuses the claim as the system refuses a second exclusive
// lock: access denied.
bool VirtualTransport::AcquireExclusiveAccess(uint32_t* systemError, bool* taken) {
    *taken = false;
    if (!m_target) {
        *systemError = kErrorInvalidHandle;
        return false;
    }
    if (!m_target->ClaimExclusive(this)) {
        *systemError = kErrorAccessDenied;
        return false;
    }
    *systemError = 0;
    *taken = true;
    m_exclusive = true;
    return true;
}

void VirtualTransport::ReleaseExclusiveAccess() {
    if (!m_exclusive) return;
    m_exclusive = false;
    if (m_target) m_target->ReleaseExclusive(this);
}

// Requests the pass-through layer itself would refuse never reach the drive.
ScsiResult VirtualTransport::Execute(const ScsiRequest& request) {
    if (!m_target) return ScsiResult::SystemFailure(kErrorInvalidHandle);
    if (request.cdbLength == 0 || request.cdbLength > sizeof(request.cdb))
        return ScsiResult::SystemFailure(kErrorInvalidParameter);
    if (request.dataLength > m_maxTransferLength)
        return ScsiResult::SystemFailure(kErrorInvalidParameter);
    if (request.dataLength > 0 && request.data == nullptr)
        return ScsiResult::SystemFailure(kErrorInvalidParameter);
    return m_target->Execute(request);
}

bool VirtualTransport::GetAddress(ScsiAddress* address) const {
    if (address == nullptr) return false;
    *address = m_address;
    return true;
}

}  // namespace burnlib
