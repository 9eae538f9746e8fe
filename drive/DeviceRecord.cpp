#include "drive/DeviceRecord.h"

#include <cstdio>
#include <cstring>

uint8_t DEVICE_RECORD::MediaFormatByte(unsigned n) const {
    if (n >= sizeof(m_mediaFormats)) return 0;
    uint8_t bytes[sizeof(m_mediaFormats)];
    std::memcpy(bytes, &m_mediaFormats, sizeof(bytes));
    return bytes[n];
}

namespace {
struct MediaEntry {
    const char* name;
    SpeedTableKind speeds;
};

const MediaEntry kMediaTable[kDiscTypeLast + 1] = {
    {"Unknown", SpeedTableKind::None},       // 0
    {"CD-ROM", SpeedTableKind::None},        // 1
    {"CD-R", SpeedTableKind::Cd},            // 2
    {"CD-RW", SpeedTableKind::Cd},           // 3
    {"DVD-ROM", SpeedTableKind::None},       // 4
    {"DVD-R", SpeedTableKind::Dvd},          // 5
    {"DVD-RAM", SpeedTableKind::Dvd},        // 6
    {"DVD-RW", SpeedTableKind::Dvd},         // 7 restricted overwrite
    {"DVD-RW", SpeedTableKind::Dvd},         // 8 sequential
    {"DVD+RW", SpeedTableKind::Dvd},         // 9
    {"CD-ROM", SpeedTableKind::None},        // 10
    {"CD-R", SpeedTableKind::Cd},            // 11
    {"CD-RW", SpeedTableKind::Cd},           // 12
    {"DVD+R", SpeedTableKind::Dvd},          // 13
    {"Empty", SpeedTableKind::CdWithoutProbing},  // 14
    {"DVD+R DL", SpeedTableKind::Dvd},       // 15
    {"DVD-R DL", SpeedTableKind::Dvd},       // 16
    {"BD-ROM", SpeedTableKind::None},        // 17
    {"BD-R", SpeedTableKind::None},          // 18
    {"BD-RE", SpeedTableKind::None},         // 19
    {"HD-DVD-ROM", SpeedTableKind::None},    // 20
    {"HD-DVD-R", SpeedTableKind::None},      // 21
    {"HD-DVD-RW", SpeedTableKind::None},     // 22
};

bool InTable(int32_t discType) { return discType >= 0 && discType <= kDiscTypeLast; }
}  // namespace

const char* MediaNameForDiscType(int32_t discType) {
    return InTable(discType) ? kMediaTable[discType].name : nullptr;
}

SpeedTableKind SpeedTableForDiscType(int32_t discType) {
    return InTable(discType) ? kMediaTable[discType].speeds : SpeedTableKind::None;
}

bool IsDvdDiscType(int32_t discType) {
    switch (discType) {
    case 4: case 5: case 6: case 7: case 8: case 9: case 13: case 15: case 16:
        return true;
    default:
        return false;
    }
}

void SetSizeText(DEVICE_RECORD& record) {
    if (record.m_isBlank) {
        std::snprintf(record.m_sizeText, sizeof(record.m_sizeText), "%s", "Blank");
    } else {
        std::snprintf(record.m_sizeText, sizeof(record.m_sizeText), "%.2f MB",
                      static_cast<double>(record.m_usedBytes) / 1048576.0);
    }
}
