// Where drives come from: the operating system's CD/DVD devices or virtual recorders. The library
// asks the installed provider to list and open drives; tests install their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "burnlib/transport/ScsiTransport.h"

namespace burnlib {

struct DeviceEntry {
    std::string name;       // "CdRom0", ...
    ScsiAddress address;
    char dosLetter = 0;     // 'F' for F:, 0 when none maps to the device
};

struct OpenFailure {
    std::string text;
    uint32_t systemError = 0;
};

class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    virtual std::vector<DeviceEntry> Enumerate() = 0;
    // Null on failure, with the reason in *failure.
    virtual std::unique_ptr<ScsiTransport> OpenByName(const std::string& name,
                                                      OpenFailure* failure) = 0;
    // Why the provider has no drives although some were asked for (empty when all is well).
    virtual std::string ConfigurationError() const { return {}; }
};

// Installs the provider that the next StarBurn_UpStartEx uses; null returns to the default one.
void SetDeviceProvider(std::shared_ptr<DeviceProvider> provider);

// The program's own provider, from whichever of qf_starburn_spti or qf_starburn_virtual is linked.
std::shared_ptr<DeviceProvider> CreateDefaultDeviceProvider();

}  // namespace burnlib
