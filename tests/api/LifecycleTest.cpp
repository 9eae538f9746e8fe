#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "tests/api/Session.h"

using namespace burnlib;
using apitest::Errors;
using apitest::Recorder;
using apitest::Session;

namespace {

struct Found {
    std::vector<STARBURN_DEVICE_ADDRESS> addresses;
    std::vector<uint32_t> reasons;
    std::thread::id thread;
};

void Collect(uint32_t reason, void* context, void* data1, void*) {
    auto* found = static_cast<Found*>(context);
    found->reasons.push_back(reason);
    found->addresses.push_back(*static_cast<STARBURN_DEVICE_ADDRESS*>(data1));
    found->thread = std::this_thread::get_id();
}

}  // namespace

TEST(LibraryLifecycle, CallsBeforeStartUpFailCleanly) {
    Errors e;
    STARBURN_GRABBER g = reinterpret_cast<STARBURN_GRABBER>(0x1234);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_CreateEx(&g, e.text, sizeof e.text, &e.systemError,
                                                  &e.failure, nullptr, nullptr, "CdRom0", 1),
              STARBURN_ERROR_NOT_STARTED);
    EXPECT_EQ(g, nullptr);
    EXPECT_NE(std::string(e.text).find("not started"), std::string::npos);

    Found found;
    EXPECT_EQ(StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Collect, &found),
              STARBURN_ERROR_NOT_STARTED);
    EXPECT_TRUE(found.reasons.empty());
    char name[STARBURN_TEXT_SIZE] = "stale";
    EXPECT_NE(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 0, 0, name), STARBURN_OK);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g), 0);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_ERROR_NOT_STARTED);
}

TEST(LibraryLifecycle, StartsAgainAfterShutDownAndForgetsOldHandles) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    STARBURN_GRABBER old = nullptr;
    {
        Session session(MakeVirtualDeviceProvider({recorder}));
        Errors e;
        old = apitest::Open("CdRom0", &e);
        ASSERT_NE(old, nullptr) << e.text;
    }
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(old, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_ERROR_INVALID_PARAMETER);
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_OK);
    StarBurn_Destroy(&g);
    EXPECT_EQ(g, nullptr);
    StarBurn_Destroy(&g);  // a null handle is left alone
}

TEST(DeviceDiscovery, ReportsEveryDriveOnTheCallingThreadBeforeReturning) {
    Session session(MakeVirtualDeviceProvider(
        {Recorder("cdrw-writer", "none"), Recorder("dvd-reader", "none")}));
    Found found;
    ASSERT_EQ(StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Collect, &found), STARBURN_OK);
    ASSERT_EQ(found.addresses.size(), 2u);
    EXPECT_EQ(found.thread, std::this_thread::get_id());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(found.reasons[i], STARBURN_CALLBACK_REASON_DEVICE_FOUND);
        EXPECT_EQ(found.addresses[i].m_port, 1);
        EXPECT_EQ(found.addresses[i].m_bus, 0);
        EXPECT_EQ(found.addresses[i].m_target, i);
        EXPECT_EQ(found.addresses[i].m_lun, 0);
    }
    Found none;
    EXPECT_EQ(StarBurn_FindDevice(0, 0, Collect, &none), STARBURN_OK);  // disks: not ours
    EXPECT_TRUE(none.reasons.empty());
}

TEST(DeviceDiscovery, NamesADriveByLetterOrDeviceNameAfterAFourCharacterPrefix) {
    Session session(MakeVirtualDeviceProvider(
        {Recorder("cdrw-writer", "none"), Recorder("dvd-reader", "none")}, {'E', 0}));
    char name[STARBURN_TEXT_SIZE];
    ASSERT_EQ(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 0, 0, name), STARBURN_OK);
    EXPECT_STREQ(name, "\\\\.\\E:");
    EXPECT_STREQ(name + 4, "E:");
    ASSERT_EQ(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 1, 0, name), STARBURN_OK);
    EXPECT_STREQ(name + 4, "CdRom1");
    EXPECT_EQ(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 7, 0, name),
              STARBURN_ERROR_DEVICE_NOT_FOUND);
    EXPECT_STREQ(name, "");
}

TEST(DriveObjects, CreateByAddressFindsTheSameDriveAgain) {
    Session session(MakeVirtualDeviceProvider(
        {Recorder("cdrw-writer", "none"), Recorder("dvd-reader", "none")}));
    Found found;
    StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Collect, &found);
    ASSERT_EQ(found.addresses.size(), 2u);
    const STARBURN_DEVICE_ADDRESS& a = found.addresses[1];
    Errors e;
    STARBURN_GRABBER g = nullptr;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_Create(&g, e.text, sizeof e.text, &e.systemError,
                                                &e.failure, nullptr, nullptr, a.m_port, a.m_bus,
                                                a.m_target, a.m_lun, 1),
              STARBURN_OK)
        << e.text;
    char vendor[STARBURN_ID_TEXT_SIZE], product[STARBURN_ID_TEXT_SIZE],
        revision[STARBURN_ID_TEXT_SIZE];
    uint32_t buffer = 0;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, vendor, product, revision,
                                                              &buffer),
              STARBURN_OK);
    EXPECT_STREQ(product, "DVD-ROM 16x");
    EXPECT_EQ(buffer, 512u);
    StarBurn_Destroy(&g);

    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_Create(&g, e.text, sizeof e.text, &e.systemError,
                                                &e.failure, nullptr, nullptr, 1, 0, 9, 0, 1),
              STARBURN_ERROR_DEVICE_NOT_FOUND);
    EXPECT_EQ(g, nullptr);
}

TEST(DriveObjects, CreateWithAnUnknownNameFailsWithADescriptionThatFitsTheBuffer) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "none")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom7", &e);
    EXPECT_EQ(g, nullptr);
    EXPECT_NE(std::string(e.text).find("CdRom7"), std::string::npos) << e.text;

    // A small text buffer gets a cut, terminated text and nothing past its end.
    char small[24];
    std::memset(small, '#', sizeof small);
    uint32_t system = 0;
    STARBURN_FAILURE_RECORD failure = {};
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_CreateEx(&g, small, 16, &system, &failure, nullptr,
                                                  nullptr, "NoSuchDrive", 1),
              STARBURN_ERROR_DEVICE_NOT_FOUND);
    EXPECT_EQ(std::strlen(small), 15u);
    for (size_t i = 16; i < sizeof small; ++i) EXPECT_EQ(small[i], '#');
}

TEST(DriveObjects, DriveRefusalsFillTheErrorOutputs) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "none")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("\\\\.\\CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_ERROR_SCSI);
    EXPECT_STREQ(e.text, "TEST UNIT READY failed: sense 02/3A/01 (medium not present)");
    EXPECT_EQ(e.failure.m_operationCode, 0x00);
    EXPECT_EQ(e.failure.m_scsiStatus, 0x02);
    EXPECT_EQ(e.failure.m_senseKey, 0x02);
    EXPECT_EQ(e.failure.m_asc, 0x3A);
    EXPECT_EQ(e.failure.m_ascq, 0x01);
    EXPECT_EQ(e.failure.m_cdbLength, 6);
    EXPECT_EQ(e.failure.m_sense[0] & 0x7F, 0x70);
    EXPECT_EQ(e.failure.m_sense[12], 0x3A);
    StarBurn_Destroy(&g);
}

TEST(DriveObjects, MediaFormatsRecordTooSmallIsLeftUntouched) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "cd-r-blank")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS formats;
    std::memset(&formats, 0xAB, sizeof formats);
    formats.m_size = 45;
    EXPECT_NE(StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats),
              STARBURN_OK);
    EXPECT_EQ(formats.m_size, 45u);
    EXPECT_EQ(formats.m_cdRWrite, 0xAB);
    EXPECT_EQ(formats.m_reserved[5], 0xAB);
    formats.m_size = sizeof formats;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats),
              STARBURN_OK);
    EXPECT_EQ(formats.m_cdRWrite, 1);
    EXPECT_EQ(formats.m_reserved[5], 0);
    StarBurn_Destroy(&g);
}

TEST(VirtualDriveSet, ABadDescriptionGivesNoDrivesAndSaysWhyWhenADriveIsOpened) {
    Session session(MakeVirtualDeviceProviderFromLine("cdrw-writer:no-such-disc"));
    Found found;
    StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Collect, &found);
    EXPECT_TRUE(found.addresses.empty());
    Errors e;
    EXPECT_EQ(apitest::Open("CdRom0", &e), nullptr);
    const std::string text = e.text;
    EXPECT_NE(text.find("QUILLFIRE_VIRTUAL_DRIVES"), std::string::npos) << text;
    EXPECT_NE(text.find("no-such-disc"), std::string::npos) << text;
}

TEST(VirtualDriveSet, DefaultAndGivenSetsNameDrivesInOrderWithTheirLetters) {
    {
        Session session(MakeVirtualDeviceProviderFromLine(nullptr));
        Found found;
        StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Collect, &found);
        EXPECT_EQ(found.addresses.size(), 2u);  // the default set
    }
    Session session(
        MakeVirtualDeviceProviderFromLine("dvd-reader:cd-rom,cdrw-writer:cd-r-blank@G"));
    char name[STARBURN_TEXT_SIZE];
    ASSERT_EQ(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 1, 0, name), STARBURN_OK);
    EXPECT_STREQ(name + 4, "G:");
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom1", &e);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g), 2);
    StarBurn_Destroy(&g);
}

TEST(CallStatistics, CountCallsByNameAndCommandsByOpcode) {
    Session session(MakeVirtualDeviceProvider({Recorder("cdrw-writer", "cd-r-blank")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError, &e.failure);
    StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError, &e.failure);
    StarBurn_Destroy(&g);
    ApiStatistics stats = ApiStatistics::Get();
    EXPECT_EQ(stats.Calls("StarBurn_CdvdBurnerGrabber_TestUnitReady"), 2u);
    EXPECT_EQ(stats.Calls("StarBurn_CdvdBurnerGrabber_CreateEx"), 1u);
    EXPECT_EQ(stats.TotalCalls(), 4u);
    EXPECT_EQ(stats.Commands(0x12), 1u);
    EXPECT_EQ(stats.Commands(0x00), 2u);
    EXPECT_EQ(stats.scsiCommands, 3u);
    ApiStatistics::Reset();
    EXPECT_EQ(ApiStatistics::Get().TotalCalls(), 0u);
    EXPECT_EQ(ApiStatistics::Get().scsiCommands, 0u);
}

namespace {

// A drive that identifies itself and then runs out of memory on every other command.
class ExhaustedDrive : public burnlib::ScsiTarget {
public:
    explicit ExhaustedDrive(std::shared_ptr<burnlib::VirtualRecorder> inner)
        : m_inner(std::move(inner)) {}
    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        if (request.cdb[0] != 0x12) throw std::bad_alloc();
        return m_inner->Execute(request);
    }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_inner;
};

// Lists one drive and counts how often the library asks for the list.
class CountingProvider : public burnlib::DeviceProvider {
public:
    explicit CountingProvider(std::shared_ptr<burnlib::DeviceProvider> inner)
        : m_inner(std::move(inner)) {}
    std::vector<burnlib::DeviceEntry> Enumerate() override {
        ++enumerations;
        return m_inner->Enumerate();
    }
    std::unique_ptr<burnlib::ScsiTransport> OpenByName(const std::string& name,
                                                       burnlib::OpenFailure* failure) override {
        return m_inner->OpenByName(name, failure);
    }
    int enumerations = 0;

private:
    std::shared_ptr<burnlib::DeviceProvider> m_inner;
};

}  // namespace

TEST(Lifecycle, AnExceptionInsideTheLibraryBecomesADescribedFailure) {
    auto recorder = apitest::Recorder("cdrw-writer", "cd-r-blank");
    apitest::Session session(MakeTargetDeviceProvider({std::make_shared<ExhaustedDrive>(recorder)}));
    apitest::Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;
    EXPECT_NE(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_OK);
    EXPECT_NE(std::string(e.text).find("out of memory"), std::string::npos) << e.text;
    // The call ended properly: an idle cancel is not left pending for the next call, which meets
    // the same fault again rather than a cancel or a stuck drive object.
    StarBurn_CdvdBurnerGrabber_Cancel(g);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_ERROR_SYSTEM);
    StarBurn_Destroy(&g);
}

TEST(Lifecycle, ASuccessfulCallClearsAnEarlierCallsFailure) {
    auto recorder = apitest::Recorder("cdrw-writer", "none");
    apitest::Session session(MakeVirtualDeviceProvider({recorder}));
    apitest::Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    ASSERT_NE(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_OK);
    ASSERT_NE(e.text[0], '\0');
    ASSERT_NE(e.failure.m_senseKey, 0);
    e.systemError = 5;
    uint32_t speeds[4];
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetSpeeds(g, e.text, sizeof e.text, &e.systemError,
                                                   &e.failure, &speeds[0], &speeds[1], &speeds[2],
                                                   &speeds[3]),
              STARBURN_OK)
        << e.text;
    EXPECT_EQ(e.text[0], '\0');
    EXPECT_EQ(e.systemError, 0u);
    const STARBURN_FAILURE_RECORD zero = {};
    EXPECT_EQ(std::memcmp(&e.failure, &zero, sizeof zero), 0);
    StarBurn_Destroy(&g);
}

TEST(Lifecycle, TheDevicesAreListedOncePerLibraryStart) {
    auto provider = std::make_shared<CountingProvider>(MakeVirtualDeviceProvider(
        {apitest::Recorder("cdrw-writer", "cd-r-blank"), apitest::Recorder("dvd-dl-writer", "none")}));
    apitest::Session session(provider);
    std::vector<STARBURN_DEVICE_ADDRESS> found;
    StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0,
                        [](uint32_t, void* context, void* address, void*) {
                            static_cast<std::vector<STARBURN_DEVICE_ADDRESS>*>(context)->push_back(
                                *static_cast<STARBURN_DEVICE_ADDRESS*>(address));
                        },
                        &found);
    ASSERT_EQ(found.size(), 2u);
    for (const STARBURN_DEVICE_ADDRESS& a : found) {
        char name[STARBURN_TEXT_SIZE];
        EXPECT_EQ(StarBurn_GetDeviceNameByDeviceAddress(a.m_port, a.m_bus, a.m_target, a.m_lun,
                                                        name),
                  STARBURN_OK);
        apitest::Errors e;
        STARBURN_GRABBER g = nullptr;
        ASSERT_EQ(StarBurn_CdvdBurnerGrabber_Create(&g, e.text, sizeof e.text, &e.systemError,
                                                    &e.failure, nullptr, nullptr, a.m_port,
                                                    a.m_bus, a.m_target, a.m_lun, 1),
                  STARBURN_OK)
            << e.text;
        StarBurn_Destroy(&g);
    }
    EXPECT_EQ(provider->enumerations, 1);
    StarBurn_DownShut();
    StarBurn_UpStartEx();
    StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0,
                        [](uint32_t, void*, void*, void*) {}, nullptr);
    EXPECT_EQ(provider->enumerations, 2) << "a new start lists the devices again";
}
