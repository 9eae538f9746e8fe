#include "drive/DriveObject.h"

#include <cstring>

void LibraryErrorOutputs::Clear() {
    std::memset(m_text, 0, sizeof(m_text));
    m_systemError = 0;
    std::memset(&m_failure, 0, sizeof(m_failure));
}

void IgnoreLibraryNotification(uint32_t, void*, void*, void*) {}

bool OpenDriveObject(DEVICE_RECORD& record, LibraryErrorOutputs& errors) {
    record.m_grabber = nullptr;
    uint32_t result = STARBURN_ERROR_DEVICE_NOT_FOUND;
    if (record.m_accessKind == kAccessByAddress) {
        result = StarBurn_CdvdBurnerGrabber_Create(
            &record.m_grabber, errors.m_text, sizeof(errors.m_text), &errors.m_systemError,
            &errors.m_failure, IgnoreLibraryNotification, nullptr, record.m_address[1],
            record.m_address[2], record.m_address[3], record.m_address[4], 1);
    } else if (record.m_accessKind == kAccessByName) {
        result = StarBurn_CdvdBurnerGrabber_CreateEx(
            &record.m_grabber, errors.m_text, sizeof(errors.m_text), &errors.m_systemError,
            &errors.m_failure, IgnoreLibraryNotification, nullptr, record.m_deviceName, 1);
    }
    if (result != STARBURN_OK) {
        // Whatever a refused creation left in the handle is not ours to destroy.
        record.m_grabber = nullptr;
        return false;
    }
    return true;
}

void CloseDriveObject(DEVICE_RECORD& record) {
    if (record.m_grabber != nullptr) StarBurn_Destroy(&record.m_grabber);
    record.m_grabber = nullptr;
}
