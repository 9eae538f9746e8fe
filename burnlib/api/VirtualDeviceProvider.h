// Virtual recorders as the library's drives: CdRom0, CdRom1, ... in the order given, at SCSI
// address port 1, bus 0, target = index, LUN 0.
#pragma once

#include <memory>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

// letters[i] is the drive letter of drive i ('E' for E:); missing or 0 means none.
std::shared_ptr<DeviceProvider> MakeVirtualDeviceProvider(
    std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters = {});

// The same for any command target (a scripted or fuzzed drive).
std::shared_ptr<DeviceProvider> MakeTargetDeviceProvider(
    std::vector<std::shared_ptr<ScsiTarget>> targets, std::vector<char> letters = {},
    uint32_t maxTransferLength = 65536);

// The drives QuillfireVirtual.exe offers: QUILLFIRE_VIRTUAL_DRIVES, or the default set when it is
// unset. A value that cannot be parsed gives no drives and says why in ConfigurationError().
std::shared_ptr<DeviceProvider> MakeVirtualDeviceProviderFromLine(const char* line);

}  // namespace burnlib
