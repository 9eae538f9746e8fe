#include "drive/SpeedList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "VirtualDrives.h"
#include "burnlib/api/ApiStatistics.h"
#include "drive/DeviceRecord.h"

namespace {

using burnlib::ApiStatistics;
using namespace drivetest;

constexpr uint8_t kSetCdSpeed = 0xBB;
const char kSetSpeeds[] = "StarBurn_CdvdBurnerGrabber_SetSpeeds";

std::string Describe(const SpeedList& list) {
    std::string text;
    for (const SPEED_ENTRY& e : list) {
        if (!text.empty()) text += ", ";
        text += std::to_string(e.m_speed) + " " + e.m_label;
    }
    return text;
}

class SpeedListTest : public ::testing::Test {
protected:
    std::shared_ptr<burnlib::VirtualRecorder> Drive(burnlib::DriveModel model,
                                                    burnlib::Medium medium) {
        auto recorder = m_provider->Add("CdRom0", std::move(model), std::move(medium));
        m_session = std::make_unique<LibrarySession>(m_provider);
        return recorder;
    }

    // The record of CdRom0 as the probe leaves it for the builder: reachable and with its disc code.
    static DEVICE_RECORD Record(int32_t discType) {
        DEVICE_RECORD r;
        r.m_accessKind = kAccessByName;
        std::strcpy(r.m_deviceName, "CdRom0");
        r.m_discType = discType;
        return r;
    }

    std::shared_ptr<TestDeviceProvider> m_provider = std::make_shared<TestDeviceProvider>();
    std::unique_ptr<LibrarySession> m_session;
};

TEST_F(SpeedListTest, CdWalkStopsAtTheDrivesMaximum) {
    auto recorder = Drive(CdWriter({176, 353, 387, 528, 706, 1400, 1760, 2112, 2800, 3250, 4224,
                                    5632, 7040}),
                          BlankCdR());
    DEVICE_RECORD r = Record(2);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds),
              "176 1.0x, 353 2.0x, 387 2.2x, 528 3.0x, 706 4.0x, 1400 8.0x, 1760 10.0x, "
              "2112 12.0x, 2800 16.0x, 3250 20.0x, 4224 24.0x, 5632 32.0x, 7040 40.0x");
    // Nothing asked beyond 40x: one speed change per table entry up to it.
    EXPECT_EQ(recorder->CommandCount(kSetCdSpeed), 13u);
    EXPECT_EQ(r.m_grabber, nullptr);
}

TEST_F(SpeedListTest, AdoptedSpeedIsListedWithTheNearestLabel) {
    // 7056 for 7040 is the common 40x answer; the walk then goes on, asking for 44x..52x.
    auto recorder = Drive(CdWriter(StandardCdSteps()), BlankCdR());
    DEVICE_RECORD r = Record(11);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds),
              "176 1.0x, 353 2.0x, 706 4.0x, 1400 8.0x, 1760 10.0x, 2112 12.0x, 2800 16.0x, "
              "3250 20.0x, 4224 24.0x, 5632 32.0x, 7056 40.0x");
    EXPECT_EQ(recorder->CommandCount(kSetCdSpeed), 16u);
}

TEST_F(SpeedListTest, RepeatedAnswersGiveOneEntryAndTiesTakeTheLowerLabel) {
    // 370 lies exactly between 353 (2.0x) and 387 (2.2x), 2456 between 2112 (12x) and 2800 (16x);
    // 3100 is nearer 3250 (20x) than 2800. A speed the drive does not move from adds nothing.
    Drive(CdWriter({176, 370, 2456, 3100}), BlankCdR());
    DEVICE_RECORD r = Record(3);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds), "176 1.0x, 370 2.0x, 2456 12.0x, 3100 20.0x");
}

TEST_F(SpeedListTest, SpeedsOutsideTheTableAreNotListed) {
    // Below 1x the drive answers 150; asked for 52x it overshoots to 9500.
    auto model = CdWriter({150, 706, 9500});
    model.speedTolerancePercent = 5;
    auto recorder = Drive(model, BlankCdR());
    DEVICE_RECORD r = Record(2);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds), "706 4.0x");
    // Every table speed above the last answer was asked for; those at or below it were skipped.
    EXPECT_EQ(recorder->CommandCount(kSetCdSpeed), 16u);
}

TEST_F(SpeedListTest, ReadListUsesTheReadDirection) {
    auto model = CdWriter({176, 353, 706});
    model.cdReadSpeeds = {176, 706, 1400, 2800, 5632, 8448};
    auto recorder = Drive(model, BlankCdR());
    DEVICE_RECORD r = Record(2);
    EXPECT_TRUE(BuildSpeedList(r.m_readSpeeds, r, true));
    EXPECT_EQ(Describe(r.m_readSpeeds),
              "176 1.0x, 706 4.0x, 1400 8.0x, 2800 16.0x, 5632 32.0x, 8448 48.0x");
    EXPECT_EQ(recorder->CurrentReadSpeed(), 8448u);
}

TEST_F(SpeedListTest, RefusedSpeedChangeAddsNothingAndTheWalkGoesOn) {
    // The refused request for 2x leaves 2x as the last speed, so the answer 176 to 2.2x counts as
    // a change; it is listed already and must not come twice.
    auto recorder = Drive(CdWriter({176, 706}), BlankCdR());
    recorder->InjectFault(kSetCdSpeed, 2, 0x05, 0x24, 0x00);
    DEVICE_RECORD r = Record(2);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds), "176 1.0x, 706 4.0x");
}

TEST_F(SpeedListTest, NoDiscOffersTheCdTableUpToTheMaximumWithoutAsking) {
    auto recorder = Drive(CdWriter({176, 353, 706, 1400, 2800, 4224, 5645}), NoDisc());
    DEVICE_RECORD r = Record(kDiscTypeNoDisc);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds),
              "176 1.0x, 353 2.0x, 387 2.2x, 528 3.0x, 706 4.0x, 1400 8.0x, 1760 10.0x, "
              "2112 12.0x, 2800 16.0x, 3250 20.0x, 4224 24.0x, 5632 32.0x");
    EXPECT_EQ(recorder->CommandCount(kSetCdSpeed), 0u);
    EXPECT_EQ(ApiStatistics::Get().Calls(kSetSpeeds), 0u);
}

TEST_F(SpeedListTest, DvdWalkVisitsEveryEntry) {
    Drive(DvdWriter({1385, 2770, 3324, 4155, 5540}), BlankDvdPlusR());
    DEVICE_RECORD r = Record(13);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds), "1385 1.0x, 2770 2.0x, 3324 2.4x, 4155 3.0x, 5540 4.0x");
    // The maximum equals a table speed, yet 5x..16x are still tried.
    EXPECT_EQ(ApiStatistics::Get().Calls(kSetSpeeds), 10u);
}

TEST_F(SpeedListTest, DvdAnswersOutsideTheTableAreNotListed) {
    auto model = DvdWriter({1000, 23000});
    model.speedTolerancePercent = 5;
    Drive(model, BlankDvdPlusR());
    DEVICE_RECORD r = Record(13);
    EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_EQ(Describe(r.m_writeSpeeds), "");
}

TEST_F(SpeedListTest, MediaWithoutSpeedTableGetEmptyLists) {
    const struct {
        uint16_t profile;
        int32_t code;
    } cases[] = {{burnlib::kProfileBdR, 18}, {burnlib::kProfileDvdRom, 4},
                 {burnlib::kProfileHdDvdR, 21}};
    auto recorder = Drive(DvdWriter({1385, 2770}), BlankDvdPlusR());
    for (const auto& c : cases) {
        recorder->InsertMedium(MediumOfProfile(c.profile));
        ApiStatistics::Reset();
        DEVICE_RECORD r = Record(c.code);
        r.m_writeSpeeds.push_back({176, kCdSpeedTable[0].m_label});  // an earlier list goes
        EXPECT_TRUE(BuildSpeedList(r.m_writeSpeeds, r, false)) << c.code;
        EXPECT_TRUE(r.m_writeSpeeds.empty()) << c.code;
        const ApiStatistics stats = ApiStatistics::Get();
        EXPECT_EQ(stats.Calls("StarBurn_CdvdBurnerGrabber_CreateEx"), 1u) << c.code;
        EXPECT_EQ(stats.Calls("StarBurn_CdvdBurnerGrabber_GetSpeeds"), 1u) << c.code;
        EXPECT_EQ(stats.Calls(kSetSpeeds), 0u) << c.code;
        EXPECT_EQ(r.m_grabber, nullptr);
    }
}

TEST_F(SpeedListTest, UnreachableDriveGivesFalseAndAnEmptyList) {
    Drive(CdWriter({176}), BlankCdR());
    DEVICE_RECORD r = Record(2);
    std::strcpy(r.m_deviceName, "CdRom7");
    r.m_writeSpeeds.push_back({176, kCdSpeedTable[0].m_label});
    EXPECT_FALSE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_TRUE(r.m_writeSpeeds.empty());
    EXPECT_EQ(r.m_grabber, nullptr);
}

TEST_F(SpeedListTest, FailedSpeedQueryReleasesTheDriveObject) {
    auto recorder = Drive(CdWriter({176, 353}), BlankCdR());
    recorder->InjectFault(0x5A, 1, 0x04, 0x44, 0x00, 1000);  // no capabilities page
    DEVICE_RECORD r = Record(2);
    EXPECT_FALSE(BuildSpeedList(r.m_writeSpeeds, r, false));
    EXPECT_TRUE(r.m_writeSpeeds.empty());
    EXPECT_EQ(r.m_grabber, nullptr);
    const ApiStatistics stats = ApiStatistics::Get();
    EXPECT_EQ(stats.Calls("StarBurn_Destroy"), stats.Calls("StarBurn_CdvdBurnerGrabber_CreateEx"));
}

}  // namespace
