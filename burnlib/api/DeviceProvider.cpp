#include "burnlib/api/DeviceProvider.h"

namespace burnlib {

std::unique_ptr<ScsiTransport> DeviceProvider::OpenByAddress(const ScsiAddress& address,
                                                             OpenFailure* failure) {
    for (const DeviceEntry& entry : Enumerate()) {
        if (entry.address == address) return OpenByName(entry.name, failure);
    }
    failure->text = "no device at SCSI address " + std::to_string(address.port) + ":" +
                    std::to_string(address.bus) + ":" + std::to_string(address.target) + ":" +
                    std::to_string(address.lun);
    failure->systemError = 0;
    return nullptr;
}

}  // namespace burnlib
