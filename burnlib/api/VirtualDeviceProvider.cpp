#include "burnlib/api/VirtualDeviceProvider.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "burnlib/transport/VirtualTransport.h"
#include "burnlib/virtual/Catalog.h"

namespace burnlib {

namespace {

class TargetDeviceProvider final : public DeviceProvider {
public:
    TargetDeviceProvider(std::vector<std::shared_ptr<ScsiTarget>> targets,
                         std::vector<char> letters, uint32_t maxTransfer,
                         std::string configurationError)
        : m_targets(std::move(targets)),
          m_letters(std::move(letters)),
          m_maxTransfer(maxTransfer),
          m_configurationError(std::move(configurationError)) {}

    std::vector<DeviceEntry> Enumerate() override {
        std::vector<DeviceEntry> entries;
        for (size_t i = 0; i < m_targets.size(); ++i) entries.push_back(Entry(i));
        return entries;
    }

    std::unique_ptr<ScsiTransport> OpenByName(const std::string& name,
                                              OpenFailure* failure) override {
        for (size_t i = 0; i < m_targets.size(); ++i) {
            const DeviceEntry entry = Entry(i);
            const bool byLetter = name.size() == 2 && name[1] == ':' && entry.dosLetter != 0 &&
                                  (name[0] & ~0x20) == entry.dosLetter;
            if (entry.name == name || byLetter)
                return std::make_unique<VirtualTransport>(m_targets[i], entry.address,
                                                          m_maxTransfer);
        }
        failure->text = "no such device";
        failure->systemError = 0;
        return nullptr;
    }

    std::string ConfigurationError() const override { return m_configurationError; }

private:
    DeviceEntry Entry(size_t index) const {
        DeviceEntry entry;
        entry.name = "CdRom" + std::to_string(index);
        entry.address = ScsiAddress{1, 0, static_cast<uint8_t>(index), 0};
        const char letter = index < m_letters.size() ? m_letters[index] : 0;
        entry.dosLetter = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 32) : letter;
        return entry;
    }

    std::vector<std::shared_ptr<ScsiTarget>> m_targets;
    std::vector<char> m_letters;
    uint32_t m_maxTransfer;
    std::string m_configurationError;
};

}  // namespace

std::shared_ptr<DeviceProvider> MakeTargetDeviceProvider(
    std::vector<std::shared_ptr<ScsiTarget>> targets, std::vector<char> letters,
    uint32_t maxTransferLength) {
    return std::make_shared<TargetDeviceProvider>(std::move(targets), std::move(letters),
                                                  maxTransferLength, std::string());
}

std::shared_ptr<DeviceProvider> MakeVirtualDeviceProvider(
    std::vector<std::shared_ptr<VirtualRecorder>> recorders, std::vector<char> letters) {
    std::vector<std::shared_ptr<ScsiTarget>> targets(recorders.begin(), recorders.end());
    return MakeTargetDeviceProvider(std::move(targets), std::move(letters));
}

std::shared_ptr<DeviceProvider> MakeVirtualDeviceProviderFromLine(const char* line, const char* discsFolder) {
    std::vector<VirtualDriveSpec> specs;
    std::string error;
    if (!ParseDriveSet(line != nullptr ? line : kDefaultVirtualDrives, &specs, &error)) {
        return std::make_shared<TargetDeviceProvider>(
            std::vector<std::shared_ptr<ScsiTarget>>{}, std::vector<char>{}, 65536,
            "QUILLFIRE_VIRTUAL_DRIVES: " + error);
    }
    std::vector<std::shared_ptr<ScsiTarget>> targets;
    std::vector<char> letters;
    for (size_t i = 0; i < specs.size(); ++i) {
        const VirtualDriveSpec& drive = specs[i];
        auto recorder = std::make_shared<VirtualRecorder>(drive.model, drive.medium);
        if (discsFolder != nullptr && *discsFolder != 0)
            recorder->SetStoreFolder(discsFolder, drive.driveLetter != 0 ? drive.driveLetter
                                                                         : static_cast<char>('0' + i % 10));
        targets.push_back(std::move(recorder));
        letters.push_back(drive.driveLetter);
    }
    return MakeTargetDeviceProvider(std::move(targets), std::move(letters));
}

std::string VirtualDiscsFolder(const char* setting, const std::string& programFolder) {
    // Windows cannot hold an empty variable, so "-" says "keep nothing" there.
    if (setting != nullptr) return std::string(setting) == "-" ? std::string() : std::string(setting);
    if (programFolder.empty()) return {};
    return (std::filesystem::path(programFolder) / "VirtualDiscs").string();
}

namespace {

// The folder of the running program.
std::string ProgramFolder() {
#ifdef _WIN32
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::filesystem::path(path).parent_path().string();
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
#endif
}

}  // namespace

std::shared_ptr<DeviceProvider> CreateDefaultDeviceProvider() {
    const std::string discs = VirtualDiscsFolder(std::getenv("QUILLFIRE_VIRTUAL_DISCS"), ProgramFolder());
    return MakeVirtualDeviceProviderFromLine(std::getenv("QUILLFIRE_VIRTUAL_DRIVES"), discs.c_str());
}

}  // namespace burnlib
