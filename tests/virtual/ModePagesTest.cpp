#include <gtest/gtest.h>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

std::vector<uint8_t> CurrentWritePage(VirtualRecorder& r) { return PageOf(ModeSense(r, 0, 0x05)); }

// The current page 05 with write type, test write, track mode and data block type replaced.
std::vector<uint8_t> WritePage(VirtualRecorder& r, uint8_t writeType, uint8_t blockType, bool testWrite = false,
                               uint8_t trackMode = 4) {
    std::vector<uint8_t> page = CurrentWritePage(r);
    page[2] = static_cast<uint8_t>((page[2] & 0xE0) | (testWrite ? 0x10 : 0) | writeType);
    page[3] = static_cast<uint8_t>((page[3] & 0xF0) | trackMode);
    page[4] = blockType;
    return page;
}

std::unique_ptr<VirtualRecorder> Ready(const char* model, const char* medium) {
    auto r = MakeRecorder(model, medium);
    TestUnitReady(*r);
    return r;
}

}  // namespace

TEST(WriteParametersPage, SensesCurrentChangeableAndDefaultValues) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    const std::vector<uint8_t> current = CurrentWritePage(*r);
    ASSERT_EQ(current.size(), 52u);
    EXPECT_EQ(current[0] & 0x3F, 0x05);
    EXPECT_EQ(current[2] & 0x0F, 1);  // Track-at-Once until told otherwise
    EXPECT_EQ(current[4], 8);
    const std::vector<uint8_t> changeable = PageOf(ModeSense(*r, 1, 0x05));
    EXPECT_EQ(changeable[2] & 0x4F, 0x4F);  // BUFE and write type
    EXPECT_EQ(PageOf(ModeSense(*r, 2, 0x05)), current);
    EXPECT_EQ(ModeSense(*r, 3, 0x05).Sense(), "05/39/00");
    EXPECT_EQ(ModeSense(*r, 0, 0x01).Sense(), "05/24/00");  // page not modelled
    EXPECT_EQ(ModeSense(*Ready("dvd-reader", "cd-r-blank"), 0, 0x05).Sense(), "05/24/00");
}

TEST(WriteParametersPage, AcceptsWhatTheDriveAndDiscAllowAndKeepsIt) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    std::vector<uint8_t> sao = WritePage(*r, 2, 8, true);
    sao[2] |= 0x40;  // BUFE
    sao[3] = static_cast<uint8_t>(0xC0 | (sao[3] & 0x3F));  // leave the disc appendable
    ASSERT_EQ(ModeSelect(*r, SelectList(sao)).Sense(), "good");
    std::vector<uint8_t> readBack = CurrentWritePage(*r);
    readBack[0] &= 0x7F;
    sao[0] &= 0x7F;
    EXPECT_EQ(readBack, sao);
    EXPECT_EQ(r->WriteParametersPage()[2] & 0x0F, 2);
    EXPECT_EQ(ModeSelect(*r, SelectList(WritePage(*r, 3, 1, false, 0))).Sense(), "good");  // raw + 16 PQ
    EXPECT_EQ(ModeSelect(*r, SelectList(WritePage(*r, 3, 3, false, 0))).Sense(), "good");  // raw + 96 P-W
    EXPECT_EQ(ModeSelect(*Ready("dvd-dl-writer", "dvd-r-blank"), SelectList(WritePage(*r, 0, 8, false, 5))).Sense(),
              "good");
    // Without a disc only the drive's own abilities count.
    EXPECT_EQ(ModeSelect(*MakeRecorder("cdrw-writer", "none"), SelectList(WritePage(*r, 1, 8))).Sense(), "good");
}

TEST(WriteParametersPage, RefusesBadListsWithTheRightSense) {
    auto r = Ready("dvd-dl-writer", "cd-r-blank");
    const std::vector<uint8_t> before = CurrentWritePage(*r);
    auto select = [&](const std::vector<uint8_t>& list) { return ModeSelect(*r, list).Sense(); };

    std::vector<uint8_t> withPs = SelectList(WritePage(*r, 1, 8));
    withPs[8] |= 0x80;
    EXPECT_EQ(select(withPs), "05/26/00");
    EXPECT_EQ(select(SelectList(WritePage(*r, 3, 8))), "05/26/00");   // raw needs sub-channel blocks
    EXPECT_EQ(select(SelectList(WritePage(*r, 1, 5))), "05/26/00");   // reserved block type
    EXPECT_EQ(select(SelectList(WritePage(*r, 7, 8))), "05/26/00");   // reserved write type
    EXPECT_EQ(select(SelectList(WritePage(*r, 4, 8))), "05/26/00");   // layer jump: not on this drive
    EXPECT_EQ(select(SelectList(WritePage(*r, 1, 8, false, 0))), "05/26/00");  // data block, audio track
    std::vector<uint8_t> longPage = WritePage(*r, 1, 8);
    longPage[1] = 0x36;
    longPage.resize(0x38, 0);
    EXPECT_EQ(select(SelectList(longPage)), "05/26/00");
    std::vector<uint8_t> truncated = SelectList(WritePage(*r, 1, 8));
    truncated.resize(30);
    EXPECT_EQ(select(truncated), "05/1A/00");
    std::vector<uint8_t> blockDescriptor = SelectList(WritePage(*r, 1, 8));
    blockDescriptor[7] = 8;
    EXPECT_EQ(select(blockDescriptor), "05/26/00");
    // Every header byte before the block descriptor length is reserved in MODE SELECT, the mode
    // data length included.
    for (size_t at : {0, 1, 2, 3, 4, 5}) {
        std::vector<uint8_t> header = SelectList(WritePage(*r, 1, 8));
        header[at] = at == 1 ? static_cast<uint8_t>(header.size() - 2) : 0x01;
        EXPECT_EQ(select(header), "05/26/00") << "header byte " << at;
    }
    std::vector<uint8_t> capabilities = PageOf(ModeSense(*r, 0, 0x2A));
    EXPECT_EQ(select(SelectList(capabilities)), "05/26/00");
    std::vector<uint8_t> reservedByte = WritePage(*r, 1, 8);
    reservedByte[6] = 1;
    EXPECT_EQ(select(SelectList(reservedByte)), "05/26/00");
    // PF clear or SP set in the command block.
    const std::vector<uint8_t> good = SelectList(WritePage(*r, 1, 8));
    const uint8_t n = static_cast<uint8_t>(good.size());
    EXPECT_EQ(Out(*r, {0x55, 0x00, 0, 0, 0, 0, 0, 0, n, 0}, good).Sense(), "05/24/00");
    EXPECT_EQ(Out(*r, {0x55, 0x11, 0, 0, 0, 0, 0, 0, n, 0}, good).Sense(), "05/24/00");
    // The host sends fewer bytes than the command block announces: the transfer itself fails.
    EXPECT_EQ(Out(*r, {0x55, 0x10, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(n + 4), 0}, good).Sense(),
              kDataPhaseFault);
    EXPECT_EQ(CurrentWritePage(*r), before);  // nothing refused was taken
}

TEST(WriteParametersPage, WriteTypesTheDiscCannotTakeAreAnIllegalMode) {
    auto dvdR = Ready("dvd-dl-writer", "dvd-r-blank");
    EXPECT_EQ(ModeSelect(*dvdR, SelectList(WritePage(*dvdR, 1, 8))).Sense(), "05/64/00");  // TAO on DVD-R
    EXPECT_EQ(ModeSelect(*dvdR, SelectList(WritePage(*dvdR, 2, 8, true, 5))).Sense(), "good");
    auto plusR = Ready("dvd-dl-writer", "dvd+r-blank");
    EXPECT_EQ(ModeSelect(*plusR, SelectList(WritePage(*plusR, 0, 8, true, 5))).Sense(), "05/64/00");  // no test write

    DriveModel noBup = *DriveModelByName("cdrw-writer");
    noBup.bufferUnderrunProtection = false;
    noBup.cdTestWrite = false;
    noBup.cdRaw = false;
    VirtualRecorder plain(noBup, *MediumByName("cd-r-blank"));
    TestUnitReady(plain);
    std::vector<uint8_t> bufe = WritePage(plain, 1, 8);
    bufe[2] |= 0x40;
    EXPECT_EQ(ModeSelect(plain, SelectList(bufe)).Sense(), "05/26/00");
    EXPECT_EQ(ModeSelect(plain, SelectList(WritePage(plain, 1, 8, true))).Sense(), "05/26/00");
    EXPECT_EQ(ModeSelect(plain, SelectList(WritePage(plain, 3, 1, false, 0))).Sense(), "05/26/00");
    EXPECT_EQ(ModeSelect(plain, SelectList(WritePage(plain, 2, 8))).Sense(), "good");
}

TEST(CapabilitiesPage, ReportsMediaAbilitiesBufferAndLockState) {
    auto r = Ready("dvd-dl-writer", "cd-r-blank");
    std::vector<uint8_t> page = PageOf(ModeSense(*r, 0, 0x2A));
    ASSERT_GE(page.size(), 32u);
    EXPECT_EQ(page[0] & 0x3F, 0x2A);
    EXPECT_EQ(page[1] + 2u, page.size());
    EXPECT_EQ(page[3] & 0x37, 0x37);  // CD-R, CD-RW, test write, DVD-R, DVD-RAM
    EXPECT_EQ(page[4] & 0x80, 0x80);
    EXPECT_EQ(Be16(page, 12), 2048);
    EXPECT_EQ(page[6] & 0x02, 0);
    Out(*r, {0x1E, 0, 0, 0, 1, 0});
    EXPECT_EQ(PageOf(ModeSense(*r, 0, 0x2A))[6] & 0x02, 0x02);
    std::vector<uint8_t> changeable = PageOf(ModeSense(*r, 1, 0x2A));
    EXPECT_TRUE(std::all_of(changeable.begin() + 2, changeable.end(), [](uint8_t b) { return b == 0; }));

    std::vector<uint8_t> reader = PageOf(ModeSense(*Ready("dvd-reader", "dvd-rom"), 0, 0x2A));
    EXPECT_EQ(reader[3], 0);
    EXPECT_EQ(Be16(reader, 30), 0);
    EXPECT_EQ(Be16(reader, 28), 0);
}
