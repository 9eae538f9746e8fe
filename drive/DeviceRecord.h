// What the program knows of one optical drive, and the ordered list of them.
#pragma once

#include <cstdint>
#include <vector>

#include "drive/StarBurn.h"

struct SPEED_ENTRY {
    uint32_t m_speed;      // KB/s as the drive reported it
    const char* m_label;   // points into the constant speed labels; never owned
};

using SpeedList = std::vector<SPEED_ENTRY>;

enum : int32_t { kAccessByAddress = 0, kAccessByName = 1 };
enum : int32_t { kDiscTypeNoDisc = 14, kDiscTypeLast = 22 };

// Plain value: copying copies every field, the speed lists element by element.
struct DEVICE_RECORD {
    int32_t m_accessKind = 0;
    uint8_t m_address[5] = {};
    char m_deviceName[260] = {};
    STARBURN_GRABBER m_grabber = nullptr;
    char m_product[260] = {};
    char m_vendor[260] = {};
    char m_revision[260] = {};
    uint32_t m_deviceInfoValue = 0;
    int32_t m_discType = 0;
    char m_mediaName[260] = {};
    char m_sizeText[260] = {};
    bool m_isBlank = false;
    int64_t m_freeBytes = 0;
    int64_t m_usedBytes = 0;
    uint32_t m_freeSeconds = 0;
    char m_volumeLabel[260] = {};
    char m_drive[16] = {};
    STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS m_mediaFormats = {};
    bool m_daoPQ = false;
    bool m_daoRawPW = false;
    bool m_tao = false;
    bool m_sao = false;
    SpeedList m_writeSpeeds;
    SpeedList m_readSpeeds;
    int32_t m_recordedBlocks = 0;
    bool m_appendable = false;
    bool m_isDvdMedia = false;

    // Byte n of the media-formats record, size field included (the positions the pages read).
    uint8_t MediaFormatByte(unsigned n) const;
};

// Display name of an inserted-disc code; null for a code outside the table.
const char* MediaNameForDiscType(int32_t discType);

enum class SpeedTableKind { None, Cd, Dvd, CdWithoutProbing };
SpeedTableKind SpeedTableForDiscType(int32_t discType);

bool IsDvdDiscType(int32_t discType);

// The Size column text: "Blank", or the recorded size in MB (1048576 bytes) with two decimals.
void SetSizeText(DEVICE_RECORD& record);

// Records in discovery order; removing keeps the order of the rest.
class CDeviceArray {
public:
    int GetCount() const { return static_cast<int>(m_records.size()); }
    DEVICE_RECORD& GetAt(int i) { return m_records[static_cast<size_t>(i)]; }
    const DEVICE_RECORD& GetAt(int i) const { return m_records[static_cast<size_t>(i)]; }
    void Add(const DEVICE_RECORD& record) { m_records.push_back(record); }
    void RemoveAt(int i) { m_records.erase(m_records.begin() + i); }
    void RemoveAll() {
        m_records.clear();
        m_records.shrink_to_fit();
    }

private:
    std::vector<DEVICE_RECORD> m_records;
};
