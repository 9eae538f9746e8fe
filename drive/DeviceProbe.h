// The device information probe: describes one drive of the scanner's list from the drive itself.
#pragma once

#include "drive/DeviceRecord.h"
#include "drive/DeviceScanner.h"

// Fills the record's identity, drive letter, volume label, medium, capacity, media formats,
// write methods and speed lists. False when no drive object could be created for it.
bool ProbeDeviceRecord(DEVICE_RECORD& record, const DriveSystemCalls& system);
