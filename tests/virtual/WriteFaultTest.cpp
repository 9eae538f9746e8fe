// The recorder's injected write faults answer as a drive does when the same thing happens to it
// (mmc-facts 4.1): a write error, a failed power calibration, a disc taken out, an underrun that
// buffer underrun protection recovers from.
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

}  // namespace

TEST(WriteFaults, WriteErrorFailsTheWriteCoveringItsBlockOnly) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    r->InjectWriteError(40);
    EXPECT_EQ(Write10(*r, 40, 1, Blocks(40, 1)).Sense(), "05/21/02");  // refused before the disc is touched
    EXPECT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());
    EXPECT_EQ(Write10(*r, 32, 16, Blocks(32, 16)).Sense(), "03/0C/00");
    EXPECT_NE(r->LastRefusal().find("40"), std::string::npos) << r->LastRefusal();
    EXPECT_EQ(Be32(ReadTrackInfo(*r, 1, 0xFF).data, 12), 32u);  // nothing of it was recorded
}

TEST(WriteFaults, OpcErrorFailsTheNextCalibrationOnly) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    r->InjectOpcError();
    EXPECT_EQ(Out(*r, {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "03/73/03");
    EXPECT_TRUE(Out(*r, {0x54, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}).Good());
}

TEST(WriteFaults, DiscTakenOutDuringAWriteIsAMediumChangeThenNoMedium) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    r->InjectMediumRemovalDuringWrite(20);
    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    EXPECT_EQ(Write10(*r, 16, 16, Blocks(16, 16)).Sense(), "06/28/00");
    const std::string after = TestUnitReady(*r).Sense();
    EXPECT_EQ(after.substr(0, 5), "02/3A");
    EXPECT_EQ(Write10(*r, 16, 16, Blocks(16, 16)).Sense().substr(0, 5), "02/3A");
}

TEST(WriteFaults, UnderrunFailsWithoutBufeAndIsRecoveredWithIt) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    r->InjectUnderrun(5);
    EXPECT_EQ(Write10(*r, 0, 16, Blocks(0, 16)).Sense(), "03/0C/09");

    auto protectedWrite = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(SetWritePage(*protectedWrite, [](std::vector<uint8_t>& p) { p[2] |= 0x40; }).Good());
    protectedWrite->InjectUnderrun(5);
    EXPECT_TRUE(Write10(*protectedWrite, 0, 16, Blocks(0, 16)).Good());
    EXPECT_EQ(protectedWrite->ReadUserData(0, 16), Blocks(0, 16));
}

TEST(WriteFaults, LastRefusalSaysWhyInWords) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    EXPECT_EQ(r->LastRefusal(), "");
    ASSERT_EQ(Write10(*r, 100, 1, Blocks(100, 1)).Sense(), "05/21/02");
    const std::string why = r->LastRefusal();
    EXPECT_NE(why.find("2Ah"), std::string::npos) << why;
    EXPECT_NE(why.find("05/21/02"), std::string::npos) << why;
    EXPECT_NE(why.find("next writable address"), std::string::npos) << why;
    EXPECT_TRUE(TestUnitReady(*r).Good());
    EXPECT_EQ(r->LastRefusal(), why);  // a good command leaves it
}

// Pacing is off unless asked for, so tests run at full speed; on, a write takes its time.
TEST(WriteFaults, PacingMakesAWriteTakeTheTimeOfTheWriteSpeed) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(SetCdSpeed(*r, 0xFFFF, 706).Good());  // 4x: 706 KB/s
    r->SetWriteSpeedPacing(true);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());  // 65536 bytes: ~93 ms at 706 KB/s
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}
