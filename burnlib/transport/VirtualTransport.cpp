#include "burnlib/transport/VirtualTransport.h"

#include <utility>

namespace burnlib {

namespace {
// The Windows codes the pass-through ioctl fails with, so callers see what SPTI would give them.
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorInvalidParameter = 87;
}  // namespace

VirtualTransport::VirtualTransport(std::shared_ptr<ScsiTarget> target, ScsiAddress address,
                                   uint32_t maxTransferLength)
    : m_target(std::move(target)), m_address(address), m_maxTransferLength(maxTransferLength) {}

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
