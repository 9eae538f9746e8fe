// The write features of GET CONFIGURATION as a drive of each kind reports them: which descriptors
// exist, which are current, and the bits inside them (bit positions from MMC, as listed in
// mmc-facts 1.4).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

std::vector<uint8_t> Feature(VirtualRecorder& r, uint16_t code) {
    const Answer a = GetConfiguration(r, 2, code, 256);
    if (!a.Good() || a.data.size() < 12 || Be16(a.data, 8) != code) return {};
    return std::vector<uint8_t>(a.data.begin() + 8, a.data.end());
}

bool Current(const std::vector<uint8_t>& feature) { return feature.at(2) & 0x01; }
uint8_t Version(const std::vector<uint8_t>& feature) { return (feature.at(2) >> 2) & 0x0F; }

// Profiles of the 0000h list, with their CurrentP bits.
std::vector<std::pair<uint16_t, bool>> ProfileList(VirtualRecorder& r) {
    const std::vector<uint8_t> list = Feature(r, 0x0000);
    std::vector<std::pair<uint16_t, bool>> out;
    for (size_t at = 4; at + 4 <= list.size(); at += 4) out.emplace_back(Be16(list, at), list[at + 2] & 1);
    return out;
}

DriveModel DvdMinusROnlyWriter() {
    DriveModel m = *DriveModelByName("dvd-dl-writer");
    std::erase_if(m.writeProfiles, [](uint16_t p) {
        return p == kProfileDvdRwSequential || p == kProfileDvdRDl || p == kProfileDvdRwRestricted;
    });
    m.dvdMinusRw = false;
    m.dvdMinusDualLayer = false;
    m.dvdMinusRwRestricted = false;
    return m;
}

}  // namespace

TEST(WriteFeatures, CatalogModelsAgreeWithTheProfilesTheyWrite) {
    for (const std::string& name : DriveModelNames()) {
        const std::vector<std::string> problems = DriveModelByName(name)->Disagreements();
        EXPECT_TRUE(problems.empty()) << name << ": " << (problems.empty() ? "" : problems.front());
    }
    EXPECT_TRUE(DvdMinusROnlyWriter().Disagreements().empty());
    DriveModel halfDone = *DriveModelByName("dvd-dl-writer");
    halfDone.dvdMinusRw = false;  // still writes profile 0014h
    EXPECT_EQ(halfDone.Disagreements(), std::vector<std::string>{"dvdMinusRw"});
}

// DVD-R/-RW Write (002Fh): b1 DVD-RW, b2 test write, b3 RDL, b6 BUF; version 2 has RDL.
TEST(WriteFeatures, DvdMinusWriteBitsFollowWhatTheDriveWrites) {
    VirtualRecorder rOnly(DvdMinusROnlyWriter(), *MediumByName("dvd-r-blank"));
    TestUnitReady(rOnly);
    const std::vector<uint8_t> onlyR = Feature(rOnly, 0x002F);
    ASSERT_EQ(onlyR.size(), 8u);
    EXPECT_EQ(Version(onlyR), 2);
    EXPECT_TRUE(Current(onlyR));
    EXPECT_EQ(onlyR[4], 0x40 | 0x04);  // BUF and test write; neither DVD-RW nor RDL
    // It still reads DVD-RW and DVD-R DL: the profiles are listed, the feature is not current.
    rOnly.InsertMedium(*MediumByName("dvd-rw-sequential"));
    TestUnitReady(rOnly);
    const auto profiles = ProfileList(rOnly);
    EXPECT_NE(std::find(profiles.begin(), profiles.end(), std::make_pair(kProfileDvdRwSequential, true)),
              profiles.end());
    EXPECT_NE(std::find(profiles.begin(), profiles.end(), std::make_pair(kProfileDvdRDl, false)), profiles.end());
    EXPECT_FALSE(Current(Feature(rOnly, 0x002F)));
    EXPECT_TRUE(Feature(rOnly, 0x002C).empty());  // no rigid restricted overwrite either

    auto dl = MakeRecorder("dvd-dl-writer", "dvd-r-dl-blank");
    TestUnitReady(*dl);
    const std::vector<uint8_t> all = Feature(*dl, 0x002F);
    ASSERT_EQ(all.size(), 8u);
    EXPECT_TRUE(Current(all));
    EXPECT_EQ(all[4], 0x40 | 0x08 | 0x04 | 0x02);
    EXPECT_TRUE(Feature(*MakeRecorder("cdrw-writer", "none"), 0x002F).empty());
    EXPECT_TRUE(Feature(*MakeRecorder("dvd-reader", "none"), 0x002F).empty());
}

// BD Read (0040h) and BD Write (0041h): class 0 version bitmaps, BD-RE at descriptor bytes 8-9
// and BD-R at 16-17 (BD-ROM at 24-25 in 0040h); bit n = version n.
TEST(WriteFeatures, BlurayClassBitmapsNameTheMediaTheDriveWrites) {
    auto bd = MakeRecorder("bd-writer", "bd-r-blank");
    TestUnitReady(*bd);
    const std::vector<uint8_t> write = Feature(*bd, 0x0041);
    ASSERT_EQ(write.size(), 24u);
    EXPECT_EQ(write[3], 20);
    EXPECT_TRUE(Current(write));
    EXPECT_EQ(Be16(write, 8), 0x0002);
    EXPECT_EQ(Be16(write, 16), 0x0002);
    const std::vector<uint8_t> read = Feature(*bd, 0x0040);
    ASSERT_EQ(read.size(), 32u);
    EXPECT_EQ(Be16(read, 8), 0x0002);
    EXPECT_EQ(Be16(read, 16), 0x0002);
    EXPECT_EQ(Be16(read, 24), 0x0002);

    DriveModel reOnly = *DriveModelByName("bd-writer");
    std::erase(reOnly.writeProfiles, kProfileBdR);
    ASSERT_TRUE(reOnly.Disagreements().empty());
    VirtualRecorder re(reOnly, *MediumByName("bd-r-blank"));
    TestUnitReady(re);
    const std::vector<uint8_t> reWrite = Feature(re, 0x0041);
    ASSERT_EQ(reWrite.size(), 24u);
    EXPECT_FALSE(Current(reWrite));  // a BD-R it only reads
    EXPECT_EQ(Be16(reWrite, 8), 0x0002);
    EXPECT_EQ(Be16(reWrite, 16), 0x0000);
    EXPECT_EQ(Be16(Feature(re, 0x0040), 16), 0x0002);
    EXPECT_TRUE(Feature(*MakeRecorder("dvd-dl-writer", "none"), 0x0041).empty());
}

// CD Track at Once (002Dh): b6 BUF, b4 R-W raw, b3 R-W pack, b2 test write, b1 CD-RW, b0 R-W
// subcode, bytes 6-7 data block types. CD Mastering (002Eh): b6 BUF, b5 SAO, b4 raw multisession,
// b3 raw, b2 test write, b1 CD-RW, b0 R-W; bytes 5-7 maximum cue sheet length.
TEST(WriteFeatures, CdWriteMethodsAreTheDrivesWhateverTheDisc) {
    for (const char* medium : {"none", "cd-r-blank", "dvd+r-blank"}) {
        SCOPED_TRACE(medium);
        auto r = MakeRecorder("dvd-dl-writer", medium);
        TestUnitReady(*r);
        const std::vector<uint8_t> tao = Feature(*r, 0x002D);
        ASSERT_EQ(tao.size(), 8u);
        EXPECT_EQ(tao[4], 0x5F);
        EXPECT_EQ(Be16(tao, 6) & 0x0100, 0x0100);  // Mode 1, 2048 bytes
        const std::vector<uint8_t> mastering = Feature(*r, 0x002E);
        ASSERT_EQ(mastering.size(), 8u);
        EXPECT_EQ(mastering[4], 0x7F);
        EXPECT_GT(uint32_t{mastering[5]} << 16 | Be16(mastering, 6), 0u);
        EXPECT_EQ(Current(tao), std::string(medium) == "cd-r-blank");
    }

    DriveModel taoOnly = *DriveModelByName("cdrw-writer");
    taoOnly.cdSao = taoOnly.cdRaw = taoOnly.cdRawMultiSession = taoOnly.cdRwSubcode = false;
    taoOnly.bufferUnderrunProtection = false;
    ASSERT_TRUE(taoOnly.Disagreements().empty());
    VirtualRecorder tao(taoOnly, *MediumByName("cd-r-blank"));
    EXPECT_EQ(Feature(tao, 0x002D).at(4), 0x04 | 0x02);
    EXPECT_TRUE(Feature(tao, 0x002E).empty());

    DriveModel saoNoRaw = *DriveModelByName("cdrw-writer");
    saoNoRaw.cdRaw = saoNoRaw.cdRawMultiSession = false;
    VirtualRecorder sao(saoNoRaw, *MediumByName("cd-r-blank"));
    EXPECT_EQ(Feature(sao, 0x002E).at(4) & 0x38, 0x20);

    auto reader = MakeRecorder("dvd-reader", "cd-r-blank");
    EXPECT_TRUE(Feature(*reader, 0x002D).empty());
    EXPECT_TRUE(Feature(*reader, 0x002E).empty());
}
