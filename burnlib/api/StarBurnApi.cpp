// The library's entry points: drive objects are entries of a registry guarded by one lock, so a
// handle can be looked up, cancelled and destroyed from any thread; a call holds a reference to
// its drive object for as long as it runs, and calls on one drive are serialised.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/DeviceProvider.h"
#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/DiscQueries.h"
#include "burnlib/mmc/MediaSupport.h"
#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/SpeedControl.h"
#include "burnlib/mmc/WriteModes.h"
#include "drive/StarBurn.h"

namespace burnlib {

namespace {

using mmc::CommandFailure;
using mmc::MmcDevice;
using mmc::Outcome;

struct DriveObject {
    DriveObject(std::unique_ptr<ScsiTransport> transport, std::string deviceName)
        : device(std::move(transport), [](uint8_t op) { ApiStatistics::CountCommand(op); }),
          name(std::move(deviceName)) {}
    MmcDevice device;
    std::mutex callLock;
    mmc::InquiryData identity;
    std::string name;
    PSTARBURN_CALLBACK callback = nullptr;
    void* context = nullptr;
};

std::mutex g_lock;
bool g_started = false;
std::shared_ptr<DeviceProvider> g_installedProvider;
std::shared_ptr<DeviceProvider> g_provider;
std::map<uintptr_t, std::shared_ptr<DriveObject>> g_drives;
uintptr_t g_nextHandle = 0x5100;
std::atomic<bool> g_fastToc{false};

const char kNotStarted[] = "the library is not started (StarBurn_UpStartEx)";

// The error arguments of a drive call; each may be null.
class ErrorOutputs {
public:
    ErrorOutputs() = default;
    ErrorOutputs(char* text, uint32_t textSize, uint32_t* systemError,
                 STARBURN_FAILURE_RECORD* failure)
        : m_text(text), m_textSize(textSize), m_systemError(systemError), m_failure(failure) {}

    uint32_t Fail(uint32_t code, const std::string& text, uint32_t systemError = 0) {
        SetText(text);
        if (m_systemError != nullptr) *m_systemError = systemError;
        if (m_failure != nullptr) std::memset(m_failure, 0, sizeof *m_failure);
        return code;
    }

    uint32_t Fail(const CommandFailure& f) {
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

    static uint32_t CodeOf(Outcome outcome) {
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

private:
    void SetText(const std::string& text) {
        if (m_text == nullptr || m_textSize == 0) return;
        const size_t n = std::min<size_t>(text.size(), m_textSize - 1);
        std::memcpy(m_text, text.data(), n);
        m_text[n] = '\0';
    }

    char* m_text = nullptr;
    uint32_t m_textSize = 0;
    uint32_t* m_systemError = nullptr;
    STARBURN_FAILURE_RECORD* m_failure = nullptr;
};

// Looks the handle up; *code says why when null is returned.
std::shared_ptr<DriveObject> Lookup(STARBURN_GRABBER grabber, uint32_t* code) {
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

// Runs one drive call: looks the handle up, serialises on the drive, maps a failure into the
// error outputs, and spends a cancel that the call acted on.
template <typename Operation>
uint32_t DriveCall(const char* name, STARBURN_GRABBER grabber, ErrorOutputs errors,
                   Operation operation) {
    ApiStatistics::CountCall(name);
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DriveObject> drive = Lookup(grabber, &code);
    if (!drive) {
        return errors.Fail(code, std::string(name) + ": " +
                                     (code == STARBURN_ERROR_NOT_STARTED ? kNotStarted
                                                                         : "invalid drive handle"));
    }
    std::lock_guard<std::mutex> callLock(drive->callLock);
    drive->device.BeginOperation();
    const bool ok = operation(*drive);
    if (ok) {
        code = STARBURN_OK;
    } else if (drive->device.LastFailure().outcome == Outcome::Ok) {
        code = errors.Fail(STARBURN_ERROR_BAD_RESPONSE, std::string(name) + " failed");
    } else {
        code = errors.Fail(drive->device.LastFailure());
    }
    drive->device.EndOperation();
    return code;
}

std::shared_ptr<DeviceProvider> ActiveProvider(uint32_t* code) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_started) {
        *code = STARBURN_ERROR_NOT_STARTED;
        return nullptr;
    }
    return g_provider;
}

void CopyText(char* target, size_t size, const std::string& text) {
    if (target == nullptr || size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), n);
    target[n] = '\0';
}

void LbaToMsf(int32_t lba, uint8_t* msf) {
    int64_t blocks = static_cast<int64_t>(lba) + 150;
    if (blocks < 0) blocks += 450000;  // lead-in times count down from 100 minutes
    if (blocks < 0) blocks = 0;
    msf[0] = static_cast<uint8_t>(std::min<int64_t>(blocks / (60 * 75), 255));
    msf[1] = static_cast<uint8_t>((blocks / 75) % 60);
    msf[2] = static_cast<uint8_t>(blocks % 75);
}

uint32_t CreateDrive(const char* callName, STARBURN_GRABBER* grabber, ErrorOutputs errors,
                     PSTARBURN_CALLBACK callback, void* context, const ScsiAddress* address,
                     const char* deviceName) {
    ApiStatistics::CountCall(callName);
    if (grabber == nullptr)
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           std::string(callName) + ": no handle variable");
    *grabber = nullptr;
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DeviceProvider> provider = ActiveProvider(&code);
    if (code != STARBURN_OK)
        return errors.Fail(code, std::string(callName) + ": " + kNotStarted);

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
    }

    OpenFailure failure;
    std::unique_ptr<ScsiTransport> transport;
    if (provider) {
        transport = deviceName != nullptr ? provider->OpenByName(name, &failure)
                                          : provider->OpenByAddress(*address, &failure);
    } else {
        failure.text = "no device provider";
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
    if (name.empty()) {
        for (const DeviceEntry& entry : provider->Enumerate())
            if (entry.address == *address) name = entry.name;
    }

    auto drive = std::make_shared<DriveObject>(std::move(transport), name);
    drive->callback = callback;
    drive->context = context;
    if (!mmc::Identify(drive->device, &drive->identity)) {
        const CommandFailure& f = drive->device.LastFailure();
        CommandFailure described = f;
        described.text = std::string(callName) + ": " + f.text;
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
    return STARBURN_OK;
}

}  // namespace

void SetDeviceProvider(std::shared_ptr<DeviceProvider> provider) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_installedProvider = std::move(provider);
    if (g_started)
        g_provider = g_installedProvider ? g_installedProvider : CreateDefaultDeviceProvider();
}

}  // namespace burnlib

using namespace burnlib;

extern "C" {

uint32_t StarBurn_UpStartEx(void) {
    ApiStatistics::CountCall("StarBurn_UpStartEx");
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_started) return STARBURN_OK;
    g_provider = g_installedProvider ? g_installedProvider : CreateDefaultDeviceProvider();
    g_started = true;
    return STARBURN_OK;
}

void StarBurn_DownShut(void) {
    ApiStatistics::CountCall("StarBurn_DownShut");
    std::map<uintptr_t, std::shared_ptr<DriveObject>> released;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_started = false;
        released.swap(g_drives);
        g_provider.reset();
    }
    // Calls still running on another thread keep their drive object until they return.
    for (auto& [handle, drive] : released) drive->device.Cancel();
}

uint32_t StarBurn_FindDevice(uint32_t deviceType, uint32_t flags, PSTARBURN_CALLBACK callback,
                             void* context) {
    (void)flags;
    ApiStatistics::CountCall("StarBurn_FindDevice");
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DeviceProvider> provider = ActiveProvider(&code);
    if (code != STARBURN_OK) return code;
    if (callback == nullptr) return STARBURN_ERROR_INVALID_PARAMETER;
    if (deviceType != STARBURN_DEVICE_TYPE_CDVD || !provider) return STARBURN_OK;
    for (const DeviceEntry& entry : provider->Enumerate()) {
        STARBURN_DEVICE_ADDRESS address{0, entry.address.port, entry.address.bus,
                                        entry.address.target, entry.address.lun};
        callback(STARBURN_CALLBACK_REASON_DEVICE_FOUND, context, &address, nullptr);
    }
    return STARBURN_OK;
}

uint32_t StarBurn_GetDeviceNameByDeviceAddress(uint8_t port, uint8_t bus, uint8_t target,
                                               uint8_t lun, char* name) {
    ApiStatistics::CountCall("StarBurn_GetDeviceNameByDeviceAddress");
    if (name == nullptr) return STARBURN_ERROR_INVALID_PARAMETER;
    name[0] = '\0';
    uint32_t code = STARBURN_OK;
    std::shared_ptr<DeviceProvider> provider = ActiveProvider(&code);
    if (code != STARBURN_OK) return code;
    if (!provider) return STARBURN_ERROR_DEVICE_NOT_FOUND;
    const ScsiAddress wanted{port, bus, target, lun};
    for (const DeviceEntry& entry : provider->Enumerate()) {
        if (!(entry.address == wanted)) continue;
        std::string text = "\\\\.\\";
        if (entry.dosLetter != 0) {
            text += entry.dosLetter;
            text += ':';
        } else {
            text += entry.name;
        }
        CopyText(name, STARBURN_TEXT_SIZE, text);
        return STARBURN_OK;
    }
    return STARBURN_ERROR_DEVICE_NOT_FOUND;
}

uint32_t StarBurn_CdvdBurnerGrabber_Create(STARBURN_GRABBER* grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure,
                                           PSTARBURN_CALLBACK callback, void* context,
                                           uint8_t port, uint8_t bus, uint8_t target, uint8_t lun,
                                           uint32_t probing) {
    (void)probing;
    const ScsiAddress address{port, bus, target, lun};
    return CreateDrive("StarBurn_CdvdBurnerGrabber_Create", grabber,
                       ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                       callback, context, &address, nullptr);
}

uint32_t StarBurn_CdvdBurnerGrabber_CreateEx(STARBURN_GRABBER* grabber, char* exceptionText,
                                             uint32_t exceptionTextSize, uint32_t* systemError,
                                             STARBURN_FAILURE_RECORD* failure,
                                             PSTARBURN_CALLBACK callback, void* context,
                                             const char* deviceName, uint32_t probing) {
    (void)probing;
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (deviceName == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_CreateEx");
        if (grabber != nullptr) *grabber = nullptr;
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_CreateEx: no device name");
    }
    return CreateDrive("StarBurn_CdvdBurnerGrabber_CreateEx", grabber, errors, callback, context,
                       nullptr, deviceName);
}

void StarBurn_Destroy(STARBURN_GRABBER* grabber) {
    ApiStatistics::CountCall("StarBurn_Destroy");
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
    // A call still running on the object ends at its next command; the object goes with it.
    if (drive) drive->device.Cancel();
}

uint32_t StarBurn_CdvdBurnerGrabber_GetDeviceInformation(STARBURN_GRABBER grabber, char* vendor,
                                                         char* product, char* revision,
                                                         uint32_t* bufferSizeKB) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetDeviceInformation", grabber, ErrorOutputs(),
                     [&](DriveObject& drive) {
                         CopyText(vendor, STARBURN_ID_TEXT_SIZE, drive.identity.vendor);
                         CopyText(product, STARBURN_ID_TEXT_SIZE, drive.identity.product);
                         CopyText(revision, STARBURN_ID_TEXT_SIZE, drive.identity.revision);
                         if (bufferSizeKB != nullptr) *bufferSizeKB = drive.device.BufferSizeKB();
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_TestUnitReady(STARBURN_GRABBER grabber, char* exceptionText,
                                                  uint32_t exceptionTextSize,
                                                  uint32_t* systemError,
                                                  STARBURN_FAILURE_RECORD* failure) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_TestUnitReady", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [](DriveObject& drive) { return mmc::TestUnitReady(drive.device); });
}

int32_t StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(STARBURN_GRABBER grabber) {
    int32_t type = mmc::kDiscUnknown;
    DriveCall("StarBurn_CdvdBurnerGrabber_GetInsertedDiscType", grabber, ErrorOutputs(),
              [&](DriveObject& drive) {
                  type = mmc::InsertedDiscType(drive.device);
                  return true;
              });
    return type;
}

void StarBurn_SetFastReadTOC(uint32_t fast) {
    ApiStatistics::CountCall("StarBurn_SetFastReadTOC");
    g_fastToc.store(fast != 0);
}

uint32_t StarBurn_CdvdBurnerGrabber_GetTOCInformation(STARBURN_GRABBER grabber,
                                                      char* exceptionText,
                                                      uint32_t exceptionTextSize,
                                                      uint32_t* systemError,
                                                      STARBURN_FAILURE_RECORD* failure,
                                                      STARBURN_TOC_INFORMATION* toc) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (toc == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetTOCInformation");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_GetTOCInformation: no record");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetTOCInformation", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::TableOfContents t;
                         if (!mmc::ReadTableOfContents(drive.device, g_fastToc.load(), &t)) return false;
                         auto r = std::make_unique<STARBURN_TOC_INFORMATION>();
                         std::memset(r.get(), 0, sizeof *r);
                         r->m_firstTrack = t.firstTrack;
                         r->m_lastTrack = t.lastTrack;
                         r->m_firstSession = t.firstSession;
                         r->m_lastSession = t.lastSession;
                         r->m_leadOutLBA = t.leadOut;
                         r->m_discStatus = t.discStatus;
                         const size_t count =
                             std::min<size_t>(t.tracks.size(), STARBURN_MAX_TOC_TRACKS);
                         r->m_trackCount = static_cast<uint8_t>(std::min<size_t>(count, 255));
                         for (size_t k = 0; k < r->m_trackCount; ++k) {
                             const mmc::TocTrack& s = t.tracks[k];
                             STARBURN_TOC_TRACK& e = r->m_tracks[k];
                             e.m_session = s.session;
                             e.m_adrControl = s.adrControl;
                             e.m_trackNumber = s.number;
                             e.m_startLBA = s.start;
                             LbaToMsf(s.start, e.m_startMSF);
                             e.m_endLBA = s.end;
                             LbaToMsf(s.end, e.m_endMSF);
                             e.m_isData = s.isData ? 1 : 0;
                             e.m_dataMode = s.dataMode;
                             e.m_blockSize = s.blockSize;
                             e.m_sizeBlocks = static_cast<uint32_t>(
                                 static_cast<int64_t>(s.end) - static_cast<int64_t>(s.start));
                         }
                         std::memcpy(toc, r.get(), sizeof *toc);
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_GetTrackInformation(STARBURN_GRABBER grabber,
                                                        char* exceptionText,
                                                        uint32_t exceptionTextSize,
                                                        uint32_t* systemError,
                                                        STARBURN_FAILURE_RECORD* failure,
                                                        uint8_t trackNumber,
                                                        STARBURN_TRACK_INFORMATION* track) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (track == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetTrackInformation");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_GetTrackInformation: no record");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetTrackInformation", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::TrackInformation t;
                         if (!mmc::ReadTrack(drive.device, trackNumber, &t)) return false;
                         STARBURN_TRACK_INFORMATION r;
                         std::memset(&r, 0, sizeof r);
                         r.m_trackNumber = t.trackNumber;
                         r.m_sessionNumber = t.sessionNumber;
                         r.m_trackMode = t.trackMode;
                         r.m_dataMode = t.dataMode;
                         r.m_isBlank = t.blank ? 1 : 0;
                         r.m_isWritable = t.nwaValid && !t.damage ? 1 : 0;
                         r.m_nextWritable = static_cast<uint32_t>(t.nextWritable);
                         r.m_startLBA = t.start;
                         r.m_freeBlocks = t.freeBlocks;
                         r.m_trackSize = t.size;
                         *track = r;
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
    STARBURN_GRABBER grabber, STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS* formats) {
    // The caller's size field says how much it can take; a smaller record is not ours to fill.
    if (formats == nullptr || formats->m_size < sizeof(STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS)) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats");
        return STARBURN_ERROR_INVALID_PARAMETER;
    }
    return DriveCall(
        "StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats", grabber, ErrorOutputs(),
        [&](DriveObject& drive) {
            mmc::MediaSupport m;
            if (!mmc::ReadMediaSupport(drive.device, &m)) return false;
            STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS r;
            std::memset(&r, 0, sizeof r);
            r.m_size = formats->m_size;
            r.m_cdRomRead = m.cdRomRead;
            r.m_cdRRead = m.cdRRead;
            r.m_cdRWrite = m.cdRWrite;
            r.m_cdRwRead = m.cdRwRead;
            r.m_cdRwWrite = m.cdRwWrite;
            r.m_dvdRomRead = m.dvdRomRead;
            r.m_dvdRRead = m.dvdRRead;
            r.m_dvdRWrite = m.dvdRWrite;
            r.m_dvdRDlRead = m.dvdRDlRead;
            r.m_dvdRDlWrite = m.dvdRDlWrite;
            r.m_dvdRwRead = m.dvdRwRead;
            r.m_dvdRwWrite = m.dvdRwWrite;
            r.m_dvdRwDlRead = m.dvdRwDlRead;
            r.m_dvdRwDlWrite = m.dvdRwDlWrite;
            r.m_dvdRamRead = m.dvdRamRead;
            r.m_dvdRamWrite = m.dvdRamWrite;
            r.m_dvdPlusRwRead = m.dvdPlusRwRead;
            r.m_dvdPlusRwWrite = m.dvdPlusRwWrite;
            r.m_dvdPlusRwDlRead = m.dvdPlusRwDlRead;
            r.m_dvdPlusRwDlWrite = m.dvdPlusRwDlWrite;
            r.m_dvdPlusRRead = m.dvdPlusRRead;
            r.m_dvdPlusRWrite = m.dvdPlusRWrite;
            r.m_dvdPlusRDlRead = m.dvdPlusRDlRead;
            r.m_dvdPlusRDlWrite = m.dvdPlusRDlWrite;
            r.m_bdRomRead = m.bdRomRead;
            r.m_bdRRead = m.bdRRead;
            r.m_bdRWrite = m.bdRWrite;
            r.m_bdReRead = m.bdReRead;
            r.m_bdReWrite = m.bdReWrite;
            r.m_hdDvdRomRead = m.hdDvdRomRead;
            r.m_hdDvdRRead = m.hdDvdRRead;
            r.m_hdDvdRWrite = m.hdDvdRWrite;
            r.m_hdDvdRamRead = m.hdDvdRamRead;
            r.m_hdDvdRamWrite = m.hdDvdRamWrite;
            r.m_hdDvdRwRead = m.hdDvdRwRead;
            r.m_hdDvdRwWrite = m.hdDvdRwWrite;
            std::memcpy(formats, &r, sizeof r);
            return true;
        });
}

uint32_t StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, uint8_t* tao, uint8_t* sao,
    uint8_t* daoPQ, uint8_t* daoRawPW) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (tao == nullptr || sao == nullptr || daoPQ == nullptr || daoRawPW == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes: missing output");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::WriteModes w;
                         if (!mmc::ProbeWriteModes(drive.device, &w)) return false;
                         *tao = w.tao;
                         *sao = w.sao;
                         *daoPQ = w.rawPQ;
                         *daoRawPW = w.rawPW;
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_GetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure,
                                              uint32_t* currentRead, uint32_t* maximumRead,
                                              uint32_t* currentWrite, uint32_t* maximumWrite) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetSpeeds", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::Speeds s;
                         if (!mmc::ReadSpeeds(drive.device, &s)) return false;
                         if (currentRead != nullptr) *currentRead = s.currentRead;
                         if (maximumRead != nullptr) *maximumRead = s.maximumRead;
                         if (currentWrite != nullptr) *currentWrite = s.currentWrite;
                         if (maximumWrite != nullptr) *maximumWrite = s.maximumWrite;
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_SetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure, uint32_t readSpeed,
                                              uint32_t writeSpeed) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_SetSpeeds", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [&](DriveObject& drive) {
                         return mmc::SetSpeeds(drive.device, readSpeed, writeSpeed);
                     });
}

void StarBurn_CdvdBurnerGrabber_Cancel(STARBURN_GRABBER grabber) {
    ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_Cancel");
    // Under the registry lock: a concurrent Destroy either has not removed the object yet (it is
    // cancelled, harmlessly) or has (nothing to do).
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_drives.find(reinterpret_cast<uintptr_t>(grabber));
    if (it != g_drives.end()) it->second->device.Cancel();
}

}  // extern "C"
