#include "burnlib/api/SptiDeviceProvider.h"

#include <cstdio>
#include <utility>

namespace burnlib {

namespace {

constexpr int kDeviceNames = 20;

class SptiDeviceProvider final : public DeviceProvider {
public:
    explicit SptiDeviceProvider(SptiSystemCalls system) : m_system(std::move(system)) {}

    std::vector<DeviceEntry> Enumerate() override {
        std::vector<DeviceEntry> entries;
        for (int n = 0; n < kDeviceNames; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "CdRom%d", n);
            DWORD error = 0;
            std::unique_ptr<SptiTransport> transport = SptiTransport::Open(name, &error, m_system);
            if (!transport) continue;
            DeviceEntry entry;
            entry.name = name;
            if (!transport->GetAddress(&entry.address)) continue;
            entry.dosLetter = SptiDriveLetter(name, m_system);
            entries.push_back(entry);
        }
        return entries;
    }

    std::unique_ptr<ScsiTransport> OpenByName(const std::string& name,
                                              OpenFailure* failure) override {
        DWORD error = 0;
        std::unique_ptr<SptiTransport> transport = SptiTransport::Open(name, &error, m_system);
        if (!transport) {
            failure->systemError = error;
            failure->text = "CreateFile \\\\.\\" + name + " failed: system error " +
                            std::to_string(error);
        }
        return transport;
    }

private:
    SptiSystemCalls m_system;
};

}  // namespace

std::shared_ptr<DeviceProvider> MakeSptiDeviceProvider(SptiSystemCalls system) {
    return std::make_shared<SptiDeviceProvider>(std::move(system));
}

}  // namespace burnlib
