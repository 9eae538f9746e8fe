#include "drive/SpeedList.h"

#include <algorithm>
#include <iterator>

#include "drive/DriveObject.h"

namespace {
struct DriveSpeeds {
    uint32_t currentRead = 0;
    uint32_t maximumRead = 0;
    uint32_t currentWrite = 0;
    uint32_t maximumWrite = 0;
};

bool QuerySpeeds(STARBURN_GRABBER grabber, DriveSpeeds& speeds) {
    LibraryErrorOutputs errors;
    DriveSpeeds answer;
    const uint32_t result = StarBurn_CdvdBurnerGrabber_GetSpeeds(
        grabber, errors.m_text, sizeof(errors.m_text), &errors.m_systemError, &errors.m_failure,
        &answer.currentRead, &answer.maximumRead, &answer.currentWrite, &answer.maximumWrite);
    if (result != STARBURN_OK) return false;
    speeds = answer;
    return true;
}

bool ListHolds(const SpeedList& list, uint32_t speed) {
    return std::any_of(list.begin(), list.end(),
                       [speed](const SPEED_ENTRY& e) { return e.m_speed == speed; });
}

// Label of the nearest table speed around an adopted speed, the lower one on a tie; null when the
// speed lies outside the table.
const char* NearestLabel(const SPEED_TABLE_ENTRY* table, size_t count, uint32_t speed) {
    for (size_t i = 1; i < count; ++i) {
        const SPEED_TABLE_ENTRY& lo = table[i - 1];
        const SPEED_TABLE_ENTRY& hi = table[i];
        if (lo.m_speed <= speed && speed <= hi.m_speed) {
            return (speed - lo.m_speed <= hi.m_speed - speed) ? lo.m_label : hi.m_label;
        }
    }
    return nullptr;
}

// Asks for every table speed above the last adopted one and lists each new adopted speed. The CD
// walk ends at the entry equal to the drive's maximum; a drive does not go beyond it anyway.
void ProbeTable(SpeedList& list, STARBURN_GRABBER grabber, bool readList,
                const SPEED_TABLE_ENTRY* table, size_t count, bool stopAtMaximum,
                uint32_t maxSpeed) {
    uint32_t last = 0;
    for (size_t k = 0; k < count; ++k) {
        const uint32_t t = table[k].m_speed;
        if (t > last) {
            uint32_t cur = t;
            const uint32_t prev = last;
            const bool ok = SetAndReadSpeed(cur, grabber, readList);
            last = cur;
            if (ok && cur != prev) {
                const char* label = NearestLabel(table, count, cur);
                if (label != nullptr && !ListHolds(list, cur)) list.push_back({cur, label});
            }
        }
        if (stopAtMaximum && t == maxSpeed) break;
    }
}
}  // namespace

bool SetAndReadSpeed(uint32_t& speed, STARBURN_GRABBER grabber, bool readList) {
    LibraryErrorOutputs errors;
    const uint32_t readSpeed = readList ? speed : STARBURN_SPEED_UNCHANGED;
    const uint32_t writeSpeed = readList ? STARBURN_SPEED_UNCHANGED : speed;
    if (StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, errors.m_text, sizeof(errors.m_text),
                                             &errors.m_systemError, &errors.m_failure, readSpeed,
                                             writeSpeed) != STARBURN_OK) {
        return false;
    }
    DriveSpeeds speeds;
    if (!QuerySpeeds(grabber, speeds)) return false;
    speed = readList ? speeds.currentRead : speeds.currentWrite;
    return true;
}

bool BuildSpeedList(SpeedList& list, DEVICE_RECORD& record, bool readList) {
    SpeedList().swap(list);

    LibraryErrorOutputs errors;
    ScopedDriveObject drive(record, errors);
    if (!drive) return false;

    DriveSpeeds speeds;
    if (!QuerySpeeds(record.m_grabber, speeds)) return false;
    const uint32_t maxSpeed = readList ? speeds.maximumRead : speeds.maximumWrite;

    switch (SpeedTableForDiscType(record.m_discType)) {
    case SpeedTableKind::Cd:
        ProbeTable(list, record.m_grabber, readList, kCdSpeedTable, std::size(kCdSpeedTable), true,
                   maxSpeed);
        break;
    case SpeedTableKind::Dvd:
        ProbeTable(list, record.m_grabber, readList, kDvdSpeedTable, std::size(kDvdSpeedTable),
                   false, maxSpeed);
        break;
    case SpeedTableKind::CdWithoutProbing:
        // Without a disc the drive cannot say what it would adopt; offer the nominal speeds it
        // claims to reach.
        for (const SPEED_TABLE_ENTRY& entry : kCdSpeedTable) {
            if (entry.m_speed > maxSpeed) break;
            list.push_back({entry.m_speed, entry.m_label});
        }
        break;
    case SpeedTableKind::None:
        break;
    }
    return true;
}
