// The program's drives on Windows: the CD/DVD devices \\.\CdRom0 .. \\.\CdRom19.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/transport/SptiTransport.h"

namespace burnlib {

namespace {

constexpr int kDeviceNames = 20;

// The letter whose DOS device is \Device\<name>; the first one from A wins.
char LetterOf(const std::string& name) {
    const std::string target = "\\Device\\" + name;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char dosName[3] = {letter, ':', '\0'};
        char buffer[512] = {};
        if (QueryDosDeviceA(dosName, buffer, 511) != 0 && target == buffer) return letter;
    }
    return 0;
}

class SptiDeviceProvider final : public DeviceProvider {
public:
    std::vector<DeviceEntry> Enumerate() override {
        std::vector<DeviceEntry> entries;
        for (int n = 0; n < kDeviceNames; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "CdRom%d", n);
            DWORD error = 0;
            std::unique_ptr<SptiTransport> transport = SptiTransport::Open(name, &error);
            if (!transport) continue;
            DeviceEntry entry;
            entry.name = name;
            if (!transport->GetAddress(&entry.address)) continue;
            entry.dosLetter = LetterOf(name);
            entries.push_back(entry);
        }
        return entries;
    }

    std::unique_ptr<ScsiTransport> OpenByName(const std::string& name,
                                              OpenFailure* failure) override {
        DWORD error = 0;
        std::unique_ptr<SptiTransport> transport = SptiTransport::Open(name, &error);
        if (!transport) {
            failure->systemError = error;
            failure->text = "CreateFile \\\\.\\" + name + " failed: system error " +
                            std::to_string(error);
        }
        return transport;
    }
};

}  // namespace

std::shared_ptr<DeviceProvider> CreateDefaultDeviceProvider() {
    return std::make_shared<SptiDeviceProvider>();
}

}  // namespace burnlib
