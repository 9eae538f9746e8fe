#include "drive/DeviceRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "drive/SpeedList.h"

namespace {

DEVICE_RECORD NamedRecord(const char* name) {
    DEVICE_RECORD r;
    r.m_accessKind = kAccessByName;
    std::strcpy(r.m_deviceName, name);
    return r;
}

TEST(DeviceRecord, CopyOwnsItsSpeedListsAfterTheArrayIsCleared) {
    CDeviceArray devices;
    DEVICE_RECORD r = NamedRecord("CdRom0");
    r.m_writeSpeeds = {{kCdSpeedTable[0].m_speed, kCdSpeedTable[0].m_label},
                       {kCdSpeedTable[12].m_speed, kCdSpeedTable[12].m_label}};
    r.m_readSpeeds = {{kCdSpeedTable[15].m_speed, kCdSpeedTable[15].m_label}};
    devices.Add(r);

    const DEVICE_RECORD copy = devices.GetAt(0);
    devices.RemoveAll();
    EXPECT_EQ(devices.GetCount(), 0);

    ASSERT_EQ(copy.m_writeSpeeds.size(), 2u);
    EXPECT_EQ(copy.m_writeSpeeds[1].m_speed, 7040u);
    EXPECT_STREQ(copy.m_writeSpeeds[1].m_label, "40.0x");
    ASSERT_EQ(copy.m_readSpeeds.size(), 1u);
    EXPECT_STREQ(copy.m_readSpeeds[0].m_label, "52.0x");
    EXPECT_STREQ(copy.m_deviceName, "CdRom0");
}

TEST(DeviceRecord, MediaFormatBytesCountTheSizeField) {
    DEVICE_RECORD r;
    r.m_mediaFormats.m_cdRWrite = 1;
    r.m_mediaFormats.m_dvdPlusRDlWrite = 1;
    EXPECT_EQ(r.MediaFormatByte(6), 1u);
    EXPECT_EQ(r.MediaFormatByte(27), 1u);
    EXPECT_EQ(r.MediaFormatByte(5), 0u);
    EXPECT_EQ(r.MediaFormatByte(46), 0u);  // past the record: no read beyond it
}

TEST(DeviceArray, RemoveAtKeepsTheOrderOfTheRest) {
    CDeviceArray devices;
    for (const char* name : {"CdRom0", "CdRom1", "CdRom2", "CdRom3"}) devices.Add(NamedRecord(name));
    devices.RemoveAt(1);
    devices.RemoveAt(0);
    ASSERT_EQ(devices.GetCount(), 2);
    EXPECT_STREQ(devices.GetAt(0).m_deviceName, "CdRom2");
    EXPECT_STREQ(devices.GetAt(1).m_deviceName, "CdRom3");
    devices.RemoveAt(1);
    ASSERT_EQ(devices.GetCount(), 1);
    EXPECT_STREQ(devices.GetAt(0).m_deviceName, "CdRom2");
}

TEST(MediaTable, NamesOfTheCodes) {
    EXPECT_STREQ(MediaNameForDiscType(0), "Unknown");
    EXPECT_STREQ(MediaNameForDiscType(2), "CD-R");
    EXPECT_STREQ(MediaNameForDiscType(7), "DVD-RW");
    EXPECT_STREQ(MediaNameForDiscType(8), "DVD-RW");
    EXPECT_STREQ(MediaNameForDiscType(10), "CD-ROM");
    EXPECT_STREQ(MediaNameForDiscType(12), "CD-RW");
    EXPECT_STREQ(MediaNameForDiscType(13), "DVD+R");
    EXPECT_STREQ(MediaNameForDiscType(14), "Empty");
    EXPECT_STREQ(MediaNameForDiscType(15), "DVD+R DL");
    EXPECT_STREQ(MediaNameForDiscType(16), "DVD-R DL");
    EXPECT_STREQ(MediaNameForDiscType(18), "BD-R");
    EXPECT_STREQ(MediaNameForDiscType(22), "HD-DVD-RW");
    // Outside the table the probe keeps the name it had.
    EXPECT_EQ(MediaNameForDiscType(23), nullptr);
    EXPECT_EQ(MediaNameForDiscType(-1), nullptr);
}

TEST(MediaTable, DvdFamilyIsExactlyTheDvdCodes) {
    std::string family;
    for (int code = -2; code <= 30; ++code) {
        if (IsDvdDiscType(code)) family += std::to_string(code) + " ";
    }
    EXPECT_EQ(family, "4 5 6 7 8 9 13 15 16 ");
}

TEST(MediaTable, SpeedTableOfEachCode) {
    std::string cd, dvd, none, noDisc;
    for (int code = -1; code <= 24; ++code) {
        switch (SpeedTableForDiscType(code)) {
        case SpeedTableKind::Cd: cd += std::to_string(code) + " "; break;
        case SpeedTableKind::Dvd: dvd += std::to_string(code) + " "; break;
        case SpeedTableKind::CdWithoutProbing: noDisc += std::to_string(code) + " "; break;
        case SpeedTableKind::None: none += std::to_string(code) + " "; break;
        }
    }
    EXPECT_EQ(cd, "2 3 11 12 ");
    EXPECT_EQ(dvd, "5 6 7 8 9 13 15 16 ");
    EXPECT_EQ(noDisc, "14 ");
    EXPECT_EQ(none, "-1 0 1 4 10 17 18 19 20 21 22 23 24 ");
}

TEST(SizeText, RecordedSizeInMegabytesOrBlank) {
    DEVICE_RECORD r;
    r.m_usedBytes = 734003200;
    SetSizeText(r);
    EXPECT_STREQ(r.m_sizeText, "700.00 MB");
    r.m_usedBytes = 736972800;
    SetSizeText(r);
    EXPECT_STREQ(r.m_sizeText, "702.83 MB");
    r.m_isBlank = true;
    SetSizeText(r);
    EXPECT_STREQ(r.m_sizeText, "Blank");
    r.m_isBlank = false;
    r.m_usedBytes = INT64_MAX;
    SetSizeText(r);
    EXPECT_STREQ(r.m_sizeText, "8796093022208.00 MB");
}

TEST(SpeedTables, FactorLabelsAreSharedAndSpeedsRise) {
    // Equal factors of the two tables point at the same text.
    EXPECT_EQ(kCdSpeedTable[0].m_label, kDvdSpeedTable[0].m_label);
    EXPECT_EQ(kCdSpeedTable[7].m_label, kDvdSpeedTable[8].m_label);  // 12.0x
    EXPECT_EQ(kCdSpeedTable[8].m_label, kDvdSpeedTable[9].m_label);  // 16.0x
    for (size_t k = 1; k < std::size(kCdSpeedTable); ++k)
        EXPECT_LT(kCdSpeedTable[k - 1].m_speed, kCdSpeedTable[k].m_speed);
    for (size_t k = 1; k < std::size(kDvdSpeedTable); ++k)
        EXPECT_LT(kDvdSpeedTable[k - 1].m_speed, kDvdSpeedTable[k].m_speed);
    EXPECT_EQ(kCdSpeedTable[5].m_speed, 1400u);
    EXPECT_EQ(kCdSpeedTable[9].m_speed, 3250u);
    EXPECT_EQ(kDvdSpeedTable[2].m_speed, 3324u);
}

}  // namespace
