// Which write and read speeds a drive offers for the inserted medium, found by asking the drive
// for each nominal speed of a fixed table and listing what it adopted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drive/DeviceRecord.h"
#include "drive/StarBurn.h"

struct SPEED_TABLE_ENTRY {
    uint32_t m_speed;     // KB/s
    const char* m_label;  // shared constant text, also what SPEED_ENTRY::m_label points at
};

extern const SPEED_TABLE_ENTRY kCdSpeedTable[16];
extern const SPEED_TABLE_ENTRY kDvdSpeedTable[10];

// Asks for speed (read or write direction), then puts the drive's current speed of that
// direction into speed. True only when both the change and the read-back succeeded.
bool SetAndReadSpeed(uint32_t& speed, STARBURN_GRABBER grabber, bool readList);

// Fills list (the record's write or read list) for the record's inserted medium, with a drive
// object of its own in record.m_grabber for the length of the call. False when the drive object
// cannot be created or the speeds cannot be queried; the list is then empty.
bool BuildSpeedList(SpeedList& list, DEVICE_RECORD& record, bool readList);
