#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeSystemCalls.h"
#include "VirtualDrives.h"
#include "burnlib/api/ApiStatistics.h"
#include "drive/DeviceScanner.h"

namespace {

using burnlib::ApiStatistics;
using namespace drivetest;

constexpr uint8_t kReadToc = 0x43;
constexpr uint8_t kReadTrackInformation = 0x52;

class DeviceProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeSystem::Reset();
        m_scanner.SetSystemCalls(FakeSystem::Calls());
    }

    void Start() { m_session = std::make_unique<LibrarySession>(m_provider); }

    // A record as the SPTI discovery leaves it.
    DEVICE_RECORD& AddNamed(const char* name) {
        DEVICE_RECORD r;
        r.m_accessKind = kAccessByName;
        std::strcpy(r.m_deviceName, name);
        m_scanner.GetDeviceArray().Add(r);
        return Record(m_scanner.GetDeviceArray().GetCount() - 1);
    }

    DEVICE_RECORD& Record(int i) { return m_scanner.GetDeviceArray().GetAt(i); }

    std::shared_ptr<TestDeviceProvider> m_provider = std::make_shared<TestDeviceProvider>();
    std::unique_ptr<LibrarySession> m_session;
    CDeviceScanner m_scanner;
};

TEST_F(DeviceProbeTest, RefusedDriveObjectLeavesTheRecordAsItWas) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR(), 1);
    Start();
    DEVICE_RECORD& r = AddNamed("CdRom0");
    std::strcpy(r.m_product, "EARLIER");
    std::strcpy(r.m_mediaName, "CD-R");
    r.m_discType = 2;
    r.m_usedBytes = 1234;
    r.m_writeSpeeds.push_back({176, "1.0x"});

    EXPECT_FALSE(m_scanner.ProbeDevice(0));
    EXPECT_STREQ(r.m_product, "EARLIER");
    EXPECT_STREQ(r.m_mediaName, "CD-R");
    EXPECT_EQ(r.m_discType, 2);
    EXPECT_EQ(r.m_usedBytes, 1234);
    EXPECT_EQ(r.m_writeSpeeds.size(), 1u);
    EXPECT_EQ(r.m_grabber, nullptr);
    EXPECT_EQ(ApiStatistics::Get().TotalCalls(), 1u);  // the creation only
    EXPECT_TRUE(FakeSystem::dosQueries.empty());
}

TEST_F(DeviceProbeTest, IndexOutsideTheArrayMakesNoCall) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    AddNamed("CdRom0");
    EXPECT_FALSE(m_scanner.ProbeDevice(1));
    EXPECT_FALSE(m_scanner.ProbeDevice(-1));
    EXPECT_EQ(ApiStatistics::Get().TotalCalls(), 0u);
}

TEST_F(DeviceProbeTest, DriveLetterIsTheFirstWhoseTargetMatchesExactly) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    FakeSystem::dosTargets = {
        {"C:", "\\Device\\HarddiskVolume2"},
        {"D:", "\\Device\\CdRom01"},                                  // longer name
        {"E:", "\\device\\cdrom0"},                                   // other case
        {"F:", std::string("\\Device\\CdRom9\0\\Device\\CdRom0", 29)},  // only the first counts
        {"G:", "\\Device\\CdRom0"},
        {"K:", "\\Device\\CdRom0"},
    };
    FakeSystem::labels = {{"G:\\", "BACKUP_01"}, {"K:\\", "WRONG"}};
    DEVICE_RECORD& r = AddNamed("CdRom0");

    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_STREQ(r.m_drive, "G:");
    EXPECT_STREQ(r.m_volumeLabel, "BACKUP_01");
    EXPECT_EQ(FakeSystem::dosQueries,
              (std::vector<std::string>{"A:", "B:", "C:", "D:", "E:", "F:", "G:"}));
    EXPECT_EQ(FakeSystem::labelQueries, std::vector<std::string>{"G:\\"});
}

TEST_F(DeviceProbeTest, NoDriveLetterLeavesDesignationAndLabelEmpty) {
    m_provider->Add("CdRom3", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    FakeSystem::dosTargets = {{"D:", "\\Device\\CdRom0"}};
    FakeSystem::labels = {{"", "CURRENT_DIRECTORY"}, {"\\", "CURRENT_DIRECTORY"}};
    DEVICE_RECORD& r = AddNamed("CdRom3");
    std::strcpy(r.m_drive, "Q:");
    std::strcpy(r.m_volumeLabel, "EARLIER");

    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_STREQ(r.m_drive, "");
    // Asking with an empty root would name the current directory's volume.
    EXPECT_STREQ(r.m_volumeLabel, "");
    EXPECT_TRUE(FakeSystem::labelQueries.empty());
    EXPECT_EQ(FakeSystem::dosQueries.size(), 26u);
    EXPECT_STREQ(r.m_product, "CD WRITER");
    EXPECT_STREQ(r.m_mediaName, "CD-R");
}

TEST_F(DeviceProbeTest, FailedLabelQueryLeavesTheLabelEmpty) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    FakeSystem::dosTargets = {{"E:", "\\Device\\CdRom0"}};
    DEVICE_RECORD& r = AddNamed("CdRom0");
    std::strcpy(r.m_volumeLabel, "EARLIER");
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_STREQ(r.m_drive, "E:");
    EXPECT_STREQ(r.m_volumeLabel, "");
}

TEST_F(DeviceProbeTest, AddressedDriveTakesTheLibraryNameWithoutItsPrefix) {
    m_provider->AddAt(burnlib::ScsiAddress{2, 0, 3, 0}, 'F', CdWriter(StandardCdSteps()),
                      BlankCdR());
    Start();
    FakeSystem::labels = {{"F:\\", "PHOTOS"}};
    DEVICE_RECORD added;
    added.m_accessKind = kAccessByAddress;
    const uint8_t address[5] = {7, 2, 0, 3, 0};
    std::memcpy(added.m_address, address, sizeof(address));
    m_scanner.GetDeviceArray().Add(added);

    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    const DEVICE_RECORD& r = Record(0);
    EXPECT_STREQ(r.m_drive, "F:");
    EXPECT_STREQ(r.m_volumeLabel, "PHOTOS");
    EXPECT_TRUE(FakeSystem::dosQueries.empty());
    EXPECT_STREQ(r.m_vendor, "QFTEST");
    EXPECT_EQ(ApiStatistics::Get().Calls("StarBurn_CdvdBurnerGrabber_Create"), 3u);
}

TEST_F(DeviceProbeTest, AddressedDriveWithoutLetterGetsNoLabelAndNoOverflow) {
    // Without a letter the library names the device itself; a name too long for m_drive is
    // dropped rather than cut, and a name that is not a drive letter is not asked for a label.
    m_provider->AddAt(burnlib::ScsiAddress{1, 0, 0, 0}, 0, CdWriter(StandardCdSteps()), BlankCdR(),
                      "CdRom0");
    m_provider->AddAt(burnlib::ScsiAddress{1, 0, 1, 0}, 0, CdWriter(StandardCdSteps()), BlankCdR(),
                      "OpticalDriveNumber1");
    Start();
    FakeSystem::labels = {{"CdRom0\\", "WRONG"}, {"CdRom0", "WRONG"}};
    for (uint8_t target : {0, 1}) {
        DEVICE_RECORD added;
        added.m_accessKind = kAccessByAddress;
        const uint8_t address[5] = {0, 1, 0, target, 0};
        std::memcpy(added.m_address, address, sizeof(address));
        std::strcpy(added.m_drive, "X:");
        m_scanner.GetDeviceArray().Add(added);
    }
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_TRUE(m_scanner.ProbeDevice(1));
    EXPECT_STREQ(Record(0).m_drive, "CdRom0");
    EXPECT_STREQ(Record(1).m_drive, "");
    EXPECT_STREQ(Record(0).m_volumeLabel, "");
    EXPECT_TRUE(FakeSystem::labelQueries.empty());
    EXPECT_STREQ(Record(1).m_product, "CD WRITER");
}

TEST_F(DeviceProbeTest, DriveWithoutReadyDiscIsEmptyAndKeepsItsCapacity) {
    for (const burnlib::Medium& medium : {NotReadyDisc(), NoDisc()}) {
        SCOPED_TRACE(medium.shortName);
        auto provider = std::make_shared<TestDeviceProvider>();
        auto recorder = provider->Add("CdRom0", CdWriter(StandardCdSteps()), medium);
        LibrarySession session(provider);
        CDeviceScanner scanner;
        scanner.SetSystemCalls(FakeSystem::Calls());
        DEVICE_RECORD earlier;
        earlier.m_accessKind = kAccessByName;
        std::strcpy(earlier.m_deviceName, "CdRom0");
        std::strcpy(earlier.m_sizeText, "700.00 MB");
        earlier.m_usedBytes = 734003200;
        earlier.m_freeBytes = 2048;
        earlier.m_isBlank = true;
        scanner.GetDeviceArray().Add(earlier);

        EXPECT_TRUE(scanner.ProbeDevice(0));
        const DEVICE_RECORD& r = scanner.GetDeviceArray().GetAt(0);
        EXPECT_EQ(r.m_discType, kDiscTypeNoDisc);
        EXPECT_STREQ(r.m_mediaName, "Empty");
        EXPECT_STREQ(r.m_sizeText, "");
        EXPECT_FALSE(r.m_isDvdMedia);
        EXPECT_EQ(r.m_usedBytes, 734003200);
        EXPECT_EQ(r.m_freeBytes, 2048);
        EXPECT_TRUE(r.m_isBlank);
        EXPECT_EQ(recorder->CommandCount(kReadToc), 0u);
        EXPECT_EQ(recorder->CommandCount(kReadTrackInformation), 0u);
        // The CD table up to the drive's maximum (7056), without asking the drive.
        ASSERT_EQ(r.m_writeSpeeds.size(), 13u);
        EXPECT_EQ(r.m_writeSpeeds.back().m_speed, 7040u);
        EXPECT_EQ(recorder->CommandCount(0xBB), 0u);
        EXPECT_EQ(r.m_grabber, nullptr);
    }
}

TEST_F(DeviceProbeTest, BlankDvdPlusRShowsBlankAndItsFreeSpace) {
    m_provider->Add("CdRom0", DvdWriter({1385, 2770, 3324, 5540, 11080}), BlankDvdPlusR());
    Start();
    DEVICE_RECORD& r = AddNamed("CdRom0");
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_EQ(r.m_discType, 13);
    EXPECT_STREQ(r.m_mediaName, "DVD+R");
    EXPECT_TRUE(r.m_isDvdMedia);
    EXPECT_TRUE(r.m_isBlank);
    EXPECT_STREQ(r.m_sizeText, "Blank");
    EXPECT_EQ(r.m_usedBytes, 0);
    EXPECT_EQ(r.m_freeBytes, int64_t{2295104} * 2048);
    // From the low 32 bits of the free bytes: 4700372992 - 2^32 = 405405696.
    EXPECT_EQ(r.m_freeSeconds, 405405696u / 153600u);
    EXPECT_EQ(r.MediaFormatByte(25), 1u);
    EXPECT_EQ(r.m_mediaFormats.m_size, 46u);
    ASSERT_EQ(r.m_writeSpeeds.size(), 5u);
    EXPECT_STREQ(r.m_writeSpeeds.back().m_label, "8.0x");
}

TEST_F(DeviceProbeTest, FinalizedCdShowsTheSumOfItsTracksAndNothingFree) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), ClosedCdR(359850));
    Start();
    DEVICE_RECORD& r = AddNamed("CdRom0");
    r.m_freeSeconds = 99;
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_EQ(r.m_discType, 2);
    EXPECT_FALSE(r.m_isBlank);
    EXPECT_FALSE(r.m_appendable);
    EXPECT_EQ(r.m_usedBytes, 736972800);
    EXPECT_STREQ(r.m_sizeText, "702.83 MB");
    EXPECT_EQ(r.m_freeBytes, 0);
    EXPECT_EQ(r.m_freeSeconds, 0u);
}

TEST_F(DeviceProbeTest, AppendableCdShowsWhatIsRecordedAndWhatIsFree) {
    const burnlib::Medium medium = AppendableCdR(100000);
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), medium);
    Start();
    DEVICE_RECORD& r = AddNamed("CdRom0");
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    const int32_t next = medium.NextTrackStart();
    EXPECT_TRUE(r.m_appendable);
    EXPECT_FALSE(r.m_isBlank);
    EXPECT_EQ(r.m_recordedBlocks, next);
    EXPECT_EQ(r.m_usedBytes, int64_t{next} * 2048);
    EXPECT_GT(r.m_freeBytes, 0);
    EXPECT_LT(r.m_freeBytes, int64_t{359849 - next + 1} * 2048);
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f MB", next * 2048 / 1048576.0);
    EXPECT_STREQ(r.m_sizeText, text);
}

TEST_F(DeviceProbeTest, WriteMethodsLandInTheirOwnFields) {
    auto taoOnly = CdWriter(StandardCdSteps());
    taoOnly.cdSao = false;
    taoOnly.cdRaw = false;
    taoOnly.cdRwSubcode = false;
    auto saoOnly = CdWriter(StandardCdSteps());
    saoOnly.cdTao = false;
    saoOnly.cdRaw = false;
    saoOnly.cdRwSubcode = false;
    m_provider->Add("CdRom0", taoOnly, BlankCdR());
    m_provider->Add("CdRom1", saoOnly, BlankCdR());
    m_provider->Add("CdRom2", DvdReader(), BlankCdR());
    Start();
    AddNamed("CdRom0");
    AddNamed("CdRom1");
    AddNamed("CdRom2");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(m_scanner.ProbeDevice(i));

    EXPECT_TRUE(Record(0).m_tao);
    EXPECT_FALSE(Record(0).m_sao);
    EXPECT_FALSE(Record(0).m_daoPQ);
    EXPECT_FALSE(Record(0).m_daoRawPW);
    EXPECT_FALSE(Record(1).m_tao);
    EXPECT_TRUE(Record(1).m_sao);
    EXPECT_FALSE(Record(1).m_daoPQ);
    EXPECT_FALSE(Record(1).m_daoRawPW);
    EXPECT_EQ(Record(0).MediaFormatByte(6), 1u);
    EXPECT_EQ(Record(2).MediaFormatByte(6), 0u);
    EXPECT_STREQ(Record(2).m_product, "DVD READER");
}

// The drive's answer about the next track, rewritten to say it starts at block 0 while the disc
// cannot be written; the table of contents still lists the recorded track.
class NextTrackAtZero : public burnlib::ScsiTarget {
public:
    explicit NextTrackAtZero(std::shared_ptr<burnlib::VirtualRecorder> drive) : m_drive(drive) {}
    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        burnlib::ScsiResult result = m_drive->Execute(request);
        if (request.cdb[0] == kReadTrackInformation && result.Good() && result.transferred >= 28) {
            request.data[7] &= 0xFE;               // next writable address not valid
            std::memset(request.data + 8, 0, 4);   // track start address
            std::memset(request.data + 24, 0, 4);  // track size
        }
        return result;
    }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_drive;
};

TEST_F(DeviceProbeTest, NextTrackAtBlockZeroMakesTheDiscBlankWhateverTheTableSays) {
    auto recorder = std::make_shared<burnlib::VirtualRecorder>(CdWriter(StandardCdSteps()),
                                                               ClosedCdR(359850));
    m_provider->AddTarget("CdRom0", std::make_shared<NextTrackAtZero>(recorder));
    Start();
    DEVICE_RECORD& r = AddNamed("CdRom0");
    EXPECT_TRUE(m_scanner.ProbeDevice(0));
    EXPECT_TRUE(r.m_isBlank);
    EXPECT_FALSE(r.m_appendable);
    EXPECT_EQ(r.m_recordedBlocks, 0);
    EXPECT_EQ(r.m_usedBytes, 736972800);
    EXPECT_EQ(r.m_freeBytes, 0);
    EXPECT_STREQ(r.m_sizeText, "Blank");
}

}  // namespace
