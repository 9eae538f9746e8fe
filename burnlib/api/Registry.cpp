#include "burnlib/api/Registry.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <optional>

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/mmc/Commands.h"

namespace burnlib {

namespace {

using mmc::CommandFailure;
using mmc::Outcome;

std::mutex g_lock;
bool g_started = false;
std::shared_ptr<DeviceProvider> g_installedProvider;
std::shared_ptr<DeviceProvider> g_provider;
std::optional<std::vector<DeviceEntry>> g_devices;
std::map<uintptr_t, std::shared_ptr<DriveObject>> g_drives;
uintptr_t g_nextHandle = 0x5100;

const char kNotStarted[] = "the library is not started (StarBurn_UpStartEx)";

std::string Describe(const char* callName, uint32_t code) {
    return std::string(callName) + ": " +
           (code == STARBURN_ERROR_NOT_STARTED ? kNotStarted : "invalid drive handle");
}

std::string ExceptionText(const char* callName) {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return std::string(callName) + ": out of memory";
    } catch (const std::exception& e) {
        return std::string(callName) + ": internal error: " + e.what();
    } catch (...) {
        return std::string(callName) + ": internal error";
    }
}

uint32_t OpenAndRegister(const char* callName, STARBURN_GRABBER* grabber, ErrorOutputs errors,
                         PSTARBURN_CALLBACK callback, void* context, const ScsiAddress* address,
                         const char* deviceName, bool forBurning) {
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DeviceProvider> provider = ActiveProvider(&code);
    if (code != STARBURN_OK) return errors.Fail(code, std::string(callName) + ": " + kNotStarted);

    std::string name;
    if (deviceName != nullptr) {
        name = deviceName;
        if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
        if (name.empty())
            return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                               std::string(callName) + ": empty device name");
    } else if (address == nullptr) {
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           std::string(callName) + ": no device given");
    } else {
        for (const DeviceEntry& entry : KnownDevices(&code))
            if (entry.address == *address) name = entry.name;
    }

    OpenFailure failure;
    std::unique_ptr<ScsiTransport> transport;
    if (!provider) {
        failure.text = "no device provider";
    } else if (name.empty()) {
        failure.text = "no device at SCSI address " + std::to_string(address->port) + ":" +
                       std::to_string(address->bus) + ":" + std::to_string(address->target) +
                       ":" + std::to_string(address->lun);
    } else {
        transport = provider->OpenByName(name, &failure);
    }
    if (!transport) {
        std::string text = std::string(callName) + ": cannot open " +
                           (deviceName != nullptr ? name : std::string("the device")) + ": " +
                           failure.text;
        const std::string configuration = provider ? provider->ConfigurationError() : "";
        if (!configuration.empty()) text += " (" + configuration + ")";
        return errors.Fail(failure.systemError != 0 ? STARBURN_ERROR_SYSTEM
                                                    : STARBURN_ERROR_DEVICE_NOT_FOUND,
                           text, failure.systemError);
    }

    auto drive = std::make_shared<DriveObject>(std::move(transport), name, forBurning);
    drive->callback = callback;
    drive->context = context;
    drive->device.BeginOperation();
    const bool identified = mmc::Identify(drive->device, &drive->identity);
    drive->device.EndOperation();
    if (!identified) {
        CommandFailure described = drive->device.LastFailure();
        described.text = std::string(callName) + ": " + described.text;
        return errors.Fail(described);
    }
    if (drive->identity.deviceType != 0x05) {
        return errors.Fail(STARBURN_ERROR_NOT_SUPPORTED,
                           std::string(callName) + ": " + name +
                               " is not a CD/DVD device (peripheral device type " +
                               std::to_string(drive->identity.deviceType) + ")");
    }
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_started)
        return errors.Fail(STARBURN_ERROR_NOT_STARTED, std::string(callName) + ": " + kNotStarted);
    const uintptr_t handle = g_nextHandle++;
    g_drives.emplace(handle, std::move(drive));
    *grabber = reinterpret_cast<STARBURN_GRABBER>(handle);
    errors.Clear();
    return STARBURN_OK;
}

}  // namespace

DriveObject::DriveObject(std::unique_ptr<ScsiTransport> transport, std::string deviceName,
                         bool forBurning)
    : device(std::move(transport), [](uint8_t op) { ApiStatistics::CountCommand(op); }),
      name(std::move(deviceName)),
      burning(forBurning) {}

uint32_t ErrorOutputs::Fail(uint32_t code, const std::string& text, uint32_t systemError) {
    SetText(text);
    if (m_systemError != nullptr) *m_systemError = systemError;
    if (m_failure != nullptr) std::memset(m_failure, 0, sizeof *m_failure);
    return code;
}

uint32_t ErrorOutputs::Fail(const CommandFailure& f) {
    SetText(f.text);
    if (m_systemError != nullptr) *m_systemError = f.systemError;
    if (m_failure != nullptr) {
        std::memset(m_failure, 0, sizeof *m_failure);
        m_failure->m_operationCode = f.cdb[0];
        m_failure->m_scsiStatus = f.status;
        m_failure->m_senseKey = f.senseKey;
        m_failure->m_asc = f.asc;
        m_failure->m_ascq = f.ascq;
        m_failure->m_cdbLength = f.cdbLength;
        std::memcpy(m_failure->m_cdb, f.cdb, sizeof m_failure->m_cdb);
        std::memcpy(m_failure->m_sense, f.sense,
                    std::min<size_t>(f.senseLength, sizeof m_failure->m_sense));
    }
    return CodeOf(f.outcome);
}

void ErrorOutputs::Clear() {
    if (m_text != nullptr && m_textSize != 0) m_text[0] = '\0';
    if (m_systemError != nullptr) *m_systemError = 0;
    if (m_failure != nullptr) std::memset(m_failure, 0, sizeof *m_failure);
}

uint32_t ErrorOutputs::CodeOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Ok: return STARBURN_OK;
        case Outcome::Cancelled: return STARBURN_ERROR_CANCELLED;
        case Outcome::SystemError: return STARBURN_ERROR_SYSTEM;
        case Outcome::CheckCondition: return STARBURN_ERROR_SCSI;
        case Outcome::BadResponse: return STARBURN_ERROR_BAD_RESPONSE;
        case Outcome::NotSupported: return STARBURN_ERROR_NOT_SUPPORTED;
        case Outcome::InvalidParameter: return STARBURN_ERROR_INVALID_PARAMETER;
    }
    return STARBURN_ERROR_BAD_RESPONSE;
}

void ErrorOutputs::SetText(const std::string& text) { CopyText(m_text, m_textSize, text); }

void CopyText(char* target, size_t size, const std::string& text) {
    if (target == nullptr || size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

std::shared_ptr<DriveObject> LookupDrive(STARBURN_GRABBER grabber, uint32_t* code) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_started) {
        *code = STARBURN_ERROR_NOT_STARTED;
        return nullptr;
    }
    auto it = g_drives.find(reinterpret_cast<uintptr_t>(grabber));
    if (it == g_drives.end()) {
        *code = STARBURN_ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<DeviceProvider> ActiveProvider(uint32_t* code) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_started) {
        *code = STARBURN_ERROR_NOT_STARTED;
        return nullptr;
    }
    return g_provider;
}

std::vector<DeviceEntry> KnownDevices(uint32_t* code) {
    std::shared_ptr<DeviceProvider> provider;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (!g_started) {
            *code = STARBURN_ERROR_NOT_STARTED;
            return {};
        }
        if (g_devices) return *g_devices;
        provider = g_provider;
    }
    // Listed outside the lock: it opens devices, and a Cancel must not wait for that.
    std::vector<DeviceEntry> devices = provider ? provider->Enumerate() : std::vector<DeviceEntry>{};
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_started && g_provider == provider && !g_devices) g_devices = devices;
    return devices;
}

uint32_t StartLibrary() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_started) return STARBURN_OK;
    g_provider = g_installedProvider ? g_installedProvider : CreateDefaultDeviceProvider();
    g_devices.reset();
    g_started = true;
    return STARBURN_OK;
}

void ShutLibrary() {
    std::map<uintptr_t, std::shared_ptr<DriveObject>> released;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_started = false;
        released.swap(g_drives);
        g_provider.reset();
        g_devices.reset();
    }
    // Calls still running on another thread keep their drive object until they return.
    for (auto& [handle, drive] : released) {
        drive->destroyed.store(true);
        drive->device.Cancel();
    }
}

void SetDeviceProvider(std::shared_ptr<DeviceProvider> provider) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_installedProvider = std::move(provider);
    if (g_started) {
        g_provider = g_installedProvider ? g_installedProvider : CreateDefaultDeviceProvider();
        g_devices.reset();
    }
}

uint32_t CreateDrive(const char* callName, STARBURN_GRABBER* grabber, ErrorOutputs errors,
                     PSTARBURN_CALLBACK callback, void* context, const ScsiAddress* address,
                     const char* deviceName, bool forBurning) {
    ApiStatistics::CountCall(callName);
    if (grabber == nullptr)
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           std::string(callName) + ": no handle variable");
    *grabber = nullptr;
    try {
        return OpenAndRegister(callName, grabber, errors, callback, context, address, deviceName,
                               forBurning);
    } catch (...) {
        *grabber = nullptr;
        return errors.Fail(STARBURN_ERROR_SYSTEM, ExceptionText(callName));
    }
}

void DestroyDrive(STARBURN_GRABBER* grabber) {
    if (grabber == nullptr || *grabber == nullptr) return;
    std::shared_ptr<DriveObject> drive;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = g_drives.find(reinterpret_cast<uintptr_t>(*grabber));
        if (it != g_drives.end()) {
            drive = std::move(it->second);
            g_drives.erase(it);
        }
    }
    *grabber = nullptr;
    // A call running on the object ends at its next command, one waiting for it does not start;
    // the object goes with the last of them.
    if (drive) {
        drive->destroyed.store(true);
        drive->device.Cancel();
    }
}

void CancelDrive(STARBURN_GRABBER grabber) {
    // Under the registry lock: a concurrent Destroy either has not removed the object yet (it is
    // cancelled, harmlessly) or has (nothing to do).
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_drives.find(reinterpret_cast<uintptr_t>(grabber));
    if (it == g_drives.end()) return;
    if (it->second->burning) it->second->cancelHeld.store(true);
    it->second->device.Cancel();
}

uint32_t RunDriveCall(const char* name, STARBURN_GRABBER grabber, ErrorOutputs errors,
                      DriveOperation operation, void* state) {
    ApiStatistics::CountCall(name);
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DriveObject> drive = LookupDrive(grabber, &code);
    if (!drive) return errors.Fail(code, Describe(name, code));

    std::lock_guard<std::mutex> callLock(drive->callLock);
    if (drive->destroyed.load())
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER, Describe(name, code));
    mmc::MmcDevice& device = drive->device;
    device.BeginOperation();
    // A burn's cancel that came before this call, or while it waited for the drive, still holds.
    if (drive->cancelHeld.load() || drive->destroyed.load()) device.Cancel();
    bool ok = false;
    try {
        ok = operation(*drive, state);
    } catch (...) {
        device.EndOperation();
        return errors.Fail(STARBURN_ERROR_SYSTEM, ExceptionText(name));
    }
    if (ok && device.CancelRequested()) {
        // The call did not need the drive after the cancel; it still must not pass as done.
        code = errors.Fail(STARBURN_ERROR_CANCELLED, std::string(name) + " cancelled");
    } else if (ok) {
        errors.Clear();
        code = STARBURN_OK;
    } else if (device.LastFailure().outcome == Outcome::Ok) {
        code = errors.Fail(STARBURN_ERROR_BAD_RESPONSE, std::string(name) + " failed");
    } else {
        code = errors.Fail(device.LastFailure());
    }
    device.EndOperation();
    return code;
}

}  // namespace burnlib
