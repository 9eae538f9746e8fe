// The program's drives on Windows: the system's own CD/DVD devices.
#include "burnlib/api/SptiDeviceProvider.h"

namespace burnlib {

std::shared_ptr<DeviceProvider> CreateDefaultDeviceProvider() {
    return MakeSptiDeviceProvider(SptiSystemCalls::Real());
}

}  // namespace burnlib
