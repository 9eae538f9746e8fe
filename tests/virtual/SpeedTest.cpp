#include <gtest/gtest.h>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

std::unique_ptr<VirtualRecorder> Ready(const char* model, const char* medium) {
    auto r = MakeRecorder(model, medium);
    TestUnitReady(*r);
    return r;
}

uint32_t WriteSpeedAfter(VirtualRecorder& r, uint16_t request) {
    EXPECT_TRUE(SetCdSpeed(r, 0xFFFF, request).Good());
    return r.CurrentWriteSpeed();
}

Answer SetStreaming(VirtualRecorder& r, uint32_t readKBs, uint32_t writeKBs, uint32_t end = 1000,
                    uint32_t time = 1000) {
    std::vector<uint8_t> p(28, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    put(8, end);
    put(12, readKBs);
    put(16, time);
    put(20, writeKBs);
    put(24, time);
    return Out(r, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, p);
}

Answer WriteSpeedDescriptors(VirtualRecorder& r, uint16_t maxDescriptors) {
    const uint32_t length = 8 + 16u * maxDescriptors;
    return In(r, {0xAC, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(maxDescriptors >> 8),
                  static_cast<uint8_t>(maxDescriptors), 0x03, 0},
              length);
}

}  // namespace

// Drives round a request down to a step they have, allowing for requests a hair below the
// nominal value (7040 asks for "40x" = 7056).
TEST(SpeedSelection, CdRequestsRoundDownToTheDrivesSteps) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    EXPECT_EQ(r->CurrentWriteSpeed(), 8467u);  // the fastest until told otherwise
    EXPECT_EQ(WriteSpeedAfter(*r, 7040), 7056u);
    EXPECT_EQ(WriteSpeedAfter(*r, 1400), 1411u);
    EXPECT_EQ(WriteSpeedAfter(*r, 3250), 2822u);  // between 16x and 20x
    EXPECT_EQ(WriteSpeedAfter(*r, 9152), 8467u);  // above the maximum
    EXPECT_EQ(WriteSpeedAfter(*r, 100), 176u);    // below the minimum
    EXPECT_EQ(WriteSpeedAfter(*r, 0xFFFF), 8467u);
    ASSERT_TRUE(SetCdSpeed(*r, 2000, 0xFFFF).Good());
    EXPECT_EQ(r->CurrentReadSpeed(), 1764u);
    EXPECT_EQ(Out(*r, {0xBB, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/24/00");  // rotation 10b

    DriveModel exact = *DriveModelByName("cdrw-writer");
    exact.cdWriteSpeeds = {176, 353, 706, 1400, 2800, 4224, 5632, 7040};
    exact.speedTolerancePercent = 0;
    VirtualRecorder custom(exact, *MediumByName("cd-r-blank"));
    TestUnitReady(custom);
    EXPECT_EQ(WriteSpeedAfter(custom, 7040), 7040u);
    EXPECT_EQ(WriteSpeedAfter(custom, 7039), 5632u);
}

TEST(SpeedSelection, DiscRatingAndMediumFamilyChooseTheSteps) {
    auto rw = Ready("dvd-dl-writer", "cd-rw-blank");
    EXPECT_EQ(rw->CurrentWriteSpeed(), 4234u);  // a 24x disc
    EXPECT_EQ(WriteSpeedAfter(*rw, 7040), 4234u);

    auto dvd = Ready("dvd-dl-writer", "dvd-r-blank");
    EXPECT_EQ(dvd->CurrentWriteSpeed(), 22160u);
    ASSERT_TRUE(SetStreaming(*dvd, 5540, 8310).Good());
    EXPECT_EQ(dvd->CurrentWriteSpeed(), 8310u);
    EXPECT_EQ(dvd->CurrentReadSpeed(), 5540u);
    ASSERT_TRUE(SetStreaming(*dvd, 5540, 5000).Good());
    EXPECT_EQ(dvd->CurrentWriteSpeed(), 3324u);
    ASSERT_TRUE(SetStreaming(*dvd, 11080, 11080 * 2, 1000, 2000).Good());  // size over time
    EXPECT_EQ(dvd->CurrentWriteSpeed(), 11080u);
    EXPECT_EQ(WriteSpeedAfter(*dvd, 1385), 11080u);  // SET CD SPEED does not pace a DVD
    EXPECT_EQ(SetStreaming(*dvd, 1385, 1385, 1000, 0).Sense(), "05/26/00");

    EXPECT_EQ(SetStreaming(*Ready("cdrw-writer", "cd-r-blank"), 706, 706).Sense(), "05/20/00");
    EXPECT_EQ(SetStreaming(*MakeRecorder("dvd-dl-writer", "none"), 706, 706).Sense(), "02/3A/01");
    EXPECT_EQ(Ready("dvd-dl-writer", "bd-r-blank")->CurrentWriteSpeed(), 8467u);  // unreadable: CD figures
    EXPECT_EQ(Ready("bd-writer", "bd-r-blank")->CurrentWriteSpeed(), 35964u);
    EXPECT_EQ(Ready("dvd-reader", "dvd-r-blank")->CurrentWriteSpeed(), 0u);
}

TEST(SpeedSelection, AMediumChangeRestoresTheFastestSpeed) {
    auto r = Ready("dvd-dl-writer", "cd-r-blank");
    EXPECT_EQ(WriteSpeedAfter(*r, 706), 706u);
    r->InsertMedium(*MediumByName("cd-r-blank"));
    EXPECT_EQ(r->CurrentWriteSpeed(), 8467u);
}

TEST(SpeedReports, NoDiscReportsTheCdMaximumInTheCapabilitiesPage) {
    auto r = MakeRecorder("dvd-dl-writer", "none");
    std::vector<uint8_t> page = PageOf(ModeSense(*r, 0, 0x2A));
    ASSERT_GE(page.size(), 32u);
    EXPECT_EQ(Be16(page, 8), 9173);
    EXPECT_EQ(Be16(page, 14), 9173);
    EXPECT_EQ(Be16(page, 18), 8467);
    EXPECT_EQ(Be16(page, 28), 8467);
    EXPECT_EQ(Be16(page, 30), 11);
    EXPECT_EQ(page.size(), 32u + 4 * 11);
    EXPECT_EQ(Be16(page, 34), 8467);  // fastest first
    EXPECT_EQ(Be16(page, 32 + 4 * 10 + 2), 176);

    ASSERT_TRUE(SetCdSpeed(*r, 0xFFFF, 2822).Good());
    EXPECT_EQ(Be16(PageOf(ModeSense(*r, 0, 0x2A)), 28), 2822);

    auto dvd = Ready("dvd-dl-writer", "dvd+r-dl-blank");
    std::vector<uint8_t> dvdPage = PageOf(ModeSense(*dvd, 0, 0x2A));
    EXPECT_EQ(Be16(dvdPage, 28), 11080);  // an 8x disc
    EXPECT_EQ(Be16(dvdPage, 30), 6);
}

TEST(SpeedReports, GetPerformanceListsTheWriteSpeedsOfTheDisc) {
    auto r = Ready("dvd-dl-writer", "dvd-r-blank");
    Answer count = WriteSpeedDescriptors(*r, 0);
    ASSERT_TRUE(count.Good());
    ASSERT_EQ(count.data.size(), 8u);
    EXPECT_EQ(Be32(count.data, 0), 4u + 16 * 8);
    Answer all = WriteSpeedDescriptors(*r, 8);
    ASSERT_EQ(all.data.size(), 8u + 16 * 8);
    EXPECT_EQ(Be32(all.data, 8 + 12), 22160u);
    EXPECT_EQ(Be32(all.data, 8 + 16 * 7 + 12), 1385u);
    EXPECT_EQ(Be32(all.data, 8 + 4), 2298496u);
    EXPECT_EQ(WriteSpeedDescriptors(*r, 2).data.size(), 8u + 32);

    // Type 00h, tolerance 10b, write, nominal figures.
    Answer nominal = In(*r, {0xAC, 0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0x00, 0}, 24);
    ASSERT_TRUE(nominal.Good());
    EXPECT_EQ(nominal.data[4], 0x02);  // write figures, not exceptions
    EXPECT_EQ(Be32(nominal.data, 8 + 4), 22160u);
    Answer withExceptions = In(*r, {0xAC, 0x15, 0, 0, 0, 0, 0, 0, 0, 1, 0x00, 0}, 24);
    ASSERT_TRUE(withExceptions.Good());
    EXPECT_EQ(Be32(withExceptions.data, 8 + 4), 22160u);
    Answer onlyExceptions = In(*r, {0xAC, 0x16, 0, 0, 0, 0, 0, 0, 0, 1, 0x00, 0}, 24);
    ASSERT_TRUE(onlyExceptions.Good());
    EXPECT_EQ(onlyExceptions.data[4], 0x03);
    EXPECT_EQ(Be32(onlyExceptions.data, 0), 4u);  // a disc of one speed has no exceptions
    for (uint8_t dataType : {0x04, 0x0C, 0x1C, 0x17, 0x34, 0x94}) {  // tolerance not 10b, Except 11b, reserved bits
        EXPECT_EQ(In(*r, {0xAC, dataType, 0, 0, 0, 0, 0, 0, 0, 1, 0x00, 0}, 24).Sense(), "05/24/00")
            << int(dataType);
    }
    EXPECT_EQ(In(*r, {0xAC, 0x10, 0, 0, 0, 0, 0, 0, 0, 1, 0x03, 0}, 24).Sense(), "05/24/00");  // reserved for type 03h
    EXPECT_EQ(In(*r, {0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x01, 0}, 24).Sense(), "05/24/00");
    EXPECT_EQ(WriteSpeedDescriptors(*Ready("cdrw-writer", "cd-r-blank"), 4).Sense(), "05/24/00");
}
