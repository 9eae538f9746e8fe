// Virtual recorders as the library's drives: CdRom0, CdRom1, ... in the order given, at SCSI
// address port 1, bus 0, target = index, LUN 0.
#pragma once

#include <memory>
#include <string>
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
// With a discs folder each drive keeps its disc there (VirtualRecorder::SetStoreFolder), named
// by its drive letter, or by its index (0, 1, ...) when it has none; null or empty: discs live in
// temporary files and are gone with the program.
std::shared_ptr<DeviceProvider> MakeVirtualDeviceProviderFromLine(const char* line,
                                                                  const char* discsFolder = nullptr);

// Where QuillfireVirtual.exe keeps its discs: QUILLFIRE_VIRTUAL_DISCS when set ("-" or empty:
// nowhere), else the folder "VirtualDiscs" beside the program. Empty result: keep none.
std::string VirtualDiscsFolder(const char* setting, const std::string& programFolder);

}  // namespace burnlib
