// Entry points that start and stop the library, find devices and make or release drive objects.
#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/Registry.h"

using namespace burnlib;

extern "C" {

uint32_t StarBurn_UpStartEx(void) {
    ApiStatistics::CountCall("StarBurn_UpStartEx");
    return StartLibrary();
}

void StarBurn_DownShut(void) {
    ApiStatistics::CountCall("StarBurn_DownShut");
    ShutLibrary();
}

uint32_t StarBurn_FindDevice(uint32_t deviceType, uint32_t flags, PSTARBURN_CALLBACK callback,
                             void* context) {
    (void)flags;
    ApiStatistics::CountCall("StarBurn_FindDevice");
    uint32_t code = STARBURN_OK;
    const std::vector<DeviceEntry> devices = KnownDevices(&code);
    if (code != STARBURN_OK) return code;
    if (callback == nullptr) return STARBURN_ERROR_INVALID_PARAMETER;
    if (deviceType != STARBURN_DEVICE_TYPE_CDVD) return STARBURN_OK;
    for (const DeviceEntry& entry : devices) {
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
    const std::vector<DeviceEntry> devices = KnownDevices(&code);
    if (code != STARBURN_OK) return code;
    const ScsiAddress wanted{port, bus, target, lun};
    for (const DeviceEntry& entry : devices) {
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
    const ScsiAddress address{port, bus, target, lun};
    return CreateDrive("StarBurn_CdvdBurnerGrabber_Create", grabber,
                       ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                       callback, context, &address, nullptr, probing == 0);
}

uint32_t StarBurn_CdvdBurnerGrabber_CreateEx(STARBURN_GRABBER* grabber, char* exceptionText,
                                             uint32_t exceptionTextSize, uint32_t* systemError,
                                             STARBURN_FAILURE_RECORD* failure,
                                             PSTARBURN_CALLBACK callback, void* context,
                                             const char* deviceName, uint32_t probing) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (deviceName == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_CreateEx");
        if (grabber != nullptr) *grabber = nullptr;
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_CreateEx: no device name");
    }
    return CreateDrive("StarBurn_CdvdBurnerGrabber_CreateEx", grabber, errors, callback, context,
                       nullptr, deviceName, probing == 0);
}

void StarBurn_Destroy(STARBURN_GRABBER* grabber) {
    ApiStatistics::CountCall("StarBurn_Destroy");
    DestroyDrive(grabber);
}

void StarBurn_CdvdBurnerGrabber_Cancel(STARBURN_GRABBER grabber) {
    ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_Cancel");
    CancelDrive(grabber);
}

}  // extern "C"
