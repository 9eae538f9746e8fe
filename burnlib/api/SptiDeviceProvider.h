// The CD/DVD devices \\.\CdRom0 .. \\.\CdRom19 as the library's drives, reached through the given
// system calls (the real ones in the program, a test's drives behind them in tests).
#pragma once

#include <memory>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/transport/SptiTransport.h"

namespace burnlib {

std::shared_ptr<DeviceProvider> MakeSptiDeviceProvider(SptiSystemCalls system);

}  // namespace burnlib
