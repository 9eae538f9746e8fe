// Session-at-Once and raw writing on CD through raw command blocks: the cue sheet of mmc-facts
// 1.11, the pregap written from -150, and a raw disc from the ATIP lead-in start to the end of its
// lead-out (mmc-facts 2, 2.2, 2.3), built by the engine's raw encoder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "burnlib/cd/RawDisc.h"
#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

std::unique_ptr<VirtualRecorder> Ready(const char* medium) {
    auto r = MakeRecorder("cdrw-writer", medium);
    TestUnitReady(*r);
    return r;
}

// Lead-in, track 1 pregap at 00:00:00, track 1 at 00:02:00, lead-out at the track's end; MSF binary.
std::vector<uint8_t> CueSheet(int32_t trackBlocks) {
    const Msf leadOut = LbaToMsf(trackBlocks);
    return {0x41, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00,      0x41,      0x01,     0x00,
            0x10, 0x00, 0x00, 0x00, 0x00, 0x41, 0x01, 0x01,      0x10,      0x00,     0x00,
            0x02, 0x00, 0x41, 0xAA, 0x01, 0x14, 0x00, leadOut.m, leadOut.s, leadOut.f};
}

Answer SendCueSheet(VirtualRecorder& r, const std::vector<uint8_t>& sheet) {
    const size_t n = sheet.size();
    return Out(
        r,
        {0x5D, 0, 0, 0, 0, 0, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0},
        sheet);
}

void SessionAtOnce(std::vector<uint8_t>& p) {
    p[2] = static_cast<uint8_t>((p[2] & 0xC0) | 0x02);
    p[3] = 0x04;
    p[4] = 0x08;
}

void Raw16(std::vector<uint8_t>& p) {
    p[2] = static_cast<uint8_t>((p[2] & 0xC0) | 0x03);
    p[3] = 0x00;
    p[4] = 0x01;
}

// Writes blocks [from, to) of a raw disc in transfers of 27 blocks (64 KiB of 2368-byte blocks).
// Returns the first refusal, or a good answer.
Answer WriteRawDisc(VirtualRecorder& r, const cd::RawDiscLayout& layout, const std::vector<uint8_t>& image,
                    int32_t from, int32_t to, const std::function<void(int32_t lba, uint8_t* block)>& damage = {}) {
    const size_t size = cd::RawBlockSize(layout.subchannel);
    Answer last;
    for (int32_t lba = from; lba < to;) {
        const uint32_t count = static_cast<uint32_t>(std::min(27, to - lba));
        std::vector<uint8_t> data(count * size);
        const uint32_t userBefore =
            cd::TrackBlocksIn(layout, layout.leadInStart, static_cast<uint32_t>(lba - layout.leadInStart));
        EXPECT_TRUE(cd::GenerateRawBlocks(layout, lba, count, image.data() + size_t{userBefore} * 2048, data.data()));
        if (damage)
            for (uint32_t i = 0; i < count; ++i) damage(lba + static_cast<int32_t>(i), data.data() + i * size);
        last = Write10(r, lba, static_cast<uint16_t>(count), data);
        if (!last.Good()) return last;
        lba += static_cast<int32_t>(count);
    }
    return last;
}

}  // namespace

TEST(SessionAtOnce, WritesThePregapAndTrackTheCueSheetGivesThenCloses) {
    auto r = Ready("cd-r-blank");
    ASSERT_TRUE(SetWritePage(*r, SessionAtOnce).Good());
    EXPECT_EQ(Write10(*r, -150, 150, std::vector<uint8_t>(150 * 2048)).Sense(), "05/2C/00");  // no cue sheet yet
    ASSERT_TRUE(SendCueSheet(*r, CueSheet(300)).Good()) << r->LastRefusal();
    EXPECT_EQ(Write10(*r, 0, 16, Blocks(0, 16)).Sense(), "05/21/02");  // the pregap comes first
    ASSERT_TRUE(Write10(*r, -150, 150, std::vector<uint8_t>(150 * 2048)).Good());
    ASSERT_TRUE(Write10(*r, 0, 200, Blocks(0, 200)).Good());
    EXPECT_EQ(Write10(*r, 200, 120, Blocks(200, 120)).Sense(), "05/63/00");  // past the cue's lead-out
    ASSERT_TRUE(Write10(*r, 200, 100, Blocks(200, 100)).Good());
    ASSERT_TRUE(SynchronizeCache(*r).Good());

    Answer disc = ReadDiscInfo(*r);
    EXPECT_EQ(disc.data.at(2) & 0x03, 2);  // finalized: multi-session 00
    Answer toc = ReadToc(*r, 0, false);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(Be32(toc.data, 8), 0u);
    EXPECT_EQ(Be32(toc.data, 16), 300u);
    EXPECT_EQ(Read10(*r, 0, 300).data, Blocks(0, 300));
}

TEST(SessionAtOnce, RefusesACueSheetWithoutItsWriteType) {
    auto r = Ready("cd-r-blank");  // page 05 says Track-at-Once
    EXPECT_EQ(SendCueSheet(*r, CueSheet(300)).Sense(), "05/2C/00");
}

TEST(RawWrite, TakesAWholeDiscFromTheLeadInAndKeepsItsBlocks) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qf-virtual-raw-test";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    auto r = MakeRecorder("cdrw-writer", "cd-r-blank");
    r->SetStoreFolder(folder.string(), 'R');
    TestUnitReady(*r);
    ASSERT_TRUE(SetWritePage(*r, Raw16).Good());
    cd::RawDiscLayout layout;
    layout.leadInStart = r->CurrentMedium().atipLeadInStart;
    layout.trackBlocks = 300;
    const std::vector<uint8_t> image = Blocks(0, 300, 3);

    EXPECT_EQ(WriteRawDisc(*r, layout, image, layout.leadInStart + 27, layout.leadInStart + 54).Sense(), "05/21/02");
    Answer written = WriteRawDisc(*r, layout, image, layout.leadInStart, cd::DiscEnd(layout));
    ASSERT_TRUE(written.Good()) << r->LastRefusal();
    ASSERT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_EQ(ReadDiscInfo(*r).data.at(2) & 0x03, 2);
    EXPECT_EQ(Be32(ReadToc(*r, 0, false).data, 16), 300u);
    EXPECT_EQ(Read10(*r, 0, 300).data, image);

    const uint32_t count = static_cast<uint32_t>(cd::DiscEnd(layout) - layout.leadInStart);
    EXPECT_EQ(std::filesystem::file_size(folder / "R.raw"), uint64_t{count} * 2368);
    std::stringstream text;
    {
        std::ifstream txt(folder / "R.txt");
        text << txt.rdbuf();
    }
    EXPECT_EQ(text.str(), "first " + std::to_string(layout.leadInStart) + "\ncount " + std::to_string(count) +
                              "\nblocksize 2368\n");
    r.reset();
    std::filesystem::remove_all(folder, ignored);
}

TEST(RawWrite, ABlockWithABrokenEdcEndsTheWrite) {
    auto r = Ready("cd-r-blank");
    ASSERT_TRUE(SetWritePage(*r, Raw16).Good());
    cd::RawDiscLayout layout;
    layout.leadInStart = r->CurrentMedium().atipLeadInStart;
    layout.trackBlocks = 300;
    const std::vector<uint8_t> image = Blocks(0, 300, 3);
    ASSERT_TRUE(WriteRawDisc(*r, layout, image, layout.leadInStart, -27).Good()) << r->LastRefusal();
    Answer broken = WriteRawDisc(*r, layout, image, -27, 27, [](int32_t lba, uint8_t* block) {
        if (lba == 10) block[2064] ^= 0x01;  // the EDC's first byte
    });
    EXPECT_EQ(broken.Sense(), "05/26/00");
    EXPECT_NE(r->LastRefusal().find("10"), std::string::npos) << r->LastRefusal();
    EXPECT_FALSE(WriteRawDisc(*r, layout, image, 27, 54).Good());
}
