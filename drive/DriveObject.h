// Opening and releasing the library's drive object for a device record, shared by the probe,
// the speed-list builder and the scan.
#pragma once

#include <cstdint>

#include "drive/DeviceRecord.h"
#include "drive/StarBurn.h"

// The error outputs every drive call fills on failure. They are collected, never shown.
struct LibraryErrorOutputs {
    char m_text[STARBURN_TEXT_SIZE];
    uint32_t m_systemError;
    STARBURN_FAILURE_RECORD m_failure;

    LibraryErrorOutputs() { Clear(); }
    void Clear();
};

void IgnoreLibraryNotification(uint32_t reason, void* context, void* data1, void* data2);

// Creates the drive object into record.m_grabber: by address for access kind 0, by name for
// kind 1; any other kind cannot be reached and counts as a refusal. False when not created.
bool OpenDriveObject(DEVICE_RECORD& record, LibraryErrorOutputs& errors);

// Destroys record.m_grabber if there is one and leaves it null.
void CloseDriveObject(DEVICE_RECORD& record);

// Owns the record's drive object for a scope: opened on construction, destroyed on every way out.
class ScopedDriveObject {
public:
    ScopedDriveObject(DEVICE_RECORD& record, LibraryErrorOutputs& errors)
        : m_record(record), m_open(OpenDriveObject(record, errors)) {}
    ~ScopedDriveObject() { CloseDriveObject(m_record); }
    ScopedDriveObject(const ScopedDriveObject&) = delete;
    ScopedDriveObject& operator=(const ScopedDriveObject&) = delete;

    explicit operator bool() const { return m_open; }

private:
    DEVICE_RECORD& m_record;
    const bool m_open;
};
