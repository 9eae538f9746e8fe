// Writing DVD media through raw command blocks: DVD-R in fixed 16-block packets or Disc-at-Once
// into a reserved track, DVD+R closed and finalized with its own close functions, DVD+RW
// formatted in the background and written anywhere (mmc-facts 1.10, 1.12, 1.13, 2).
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

uint8_t DiscStatus(VirtualRecorder& r) { return ReadDiscInfo(r).data.at(2) & 0x03; }

// Page 05 for DVD-R incremental recording: write type 0, link size 16 valid, fixed packets of 16,
// track mode 5, Mode 1 blocks (mmc-facts 2).
void Incremental(std::vector<uint8_t>& p) {
    p[2] = static_cast<uint8_t>((p[2] & 0xC0) | 0x20 | 0x00);
    p[3] = 0x20 | 0x05;
    p[4] = 0x08;
    p[5] = 16;
    p[10] = 0;
    p[11] = 0;
    p[12] = 0;
    p[13] = 16;
}

void DiscAtOnce(std::vector<uint8_t>& p) {
    p[2] = static_cast<uint8_t>((p[2] & 0xC0) | 0x02);
    p[3] = 0x05;
    p[4] = 0x08;
}

}  // namespace

TEST(DvdMinusRIncremental, WritesWholePacketsAtTheNextWritableAddress) {
    auto r = Ready("dvd-dl-writer", "dvd-r-blank");
    ASSERT_TRUE(SetWritePage(*r, Incremental).Good());
    Answer track = ReadTrackInfo(*r, 1, 1);  // DVD-R asks by track number
    ASSERT_TRUE(track.Good());
    EXPECT_EQ(Be32(track.data, 12), 0u);
    EXPECT_EQ(Be32(track.data, 20), 16u);  // fixed packet size

    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    EXPECT_EQ(Write10(*r, 16, 8, Blocks(16, 8)).Sense(), "05/24/00");    // half a packet
    EXPECT_EQ(Write10(*r, 16, 24, Blocks(16, 24)).Sense(), "05/24/00");  // a packet and a half
    EXPECT_EQ(Write10(*r, 24, 16, Blocks(24, 16)).Sense(), "05/21/02");  // off the packet boundary
    EXPECT_EQ(Write10(*r, 48, 16, Blocks(48, 16)).Sense(), "05/21/02");  // past the NWA
    EXPECT_TRUE(Write10(*r, 16, 32, Blocks(16, 32)).Good());

    track = ReadTrackInfo(*r, 1, 1);
    EXPECT_EQ(Be32(track.data, 12), 48u);
    EXPECT_EQ(track.data[7] & 0x03, 0x03);  // NWA and last recorded address valid
    EXPECT_EQ(Be32(track.data, 28), 47u);
    EXPECT_EQ(ReadDiscInfo(*r).data[2] & 0x0F, 0x05);

    ASSERT_TRUE(SynchronizeCache(*r).Good());
    ASSERT_TRUE(Close(*r, 1, 1).Good());
    ASSERT_TRUE(Close(*r, 2).Good());
    EXPECT_EQ(DiscStatus(*r), 2);  // multi-session 00 finalizes
    EXPECT_EQ(Read10(*r, 0, 48).data, Blocks(0, 48));
}

TEST(DvdMinusRDiscAtOnce, NeedsItsTrackReservedAndClosesOnSynchronize) {
    auto r = Ready("dvd-dl-writer", "dvd-r-blank");
    ASSERT_TRUE(SetWritePage(*r, DiscAtOnce).Good());
    EXPECT_EQ(Write10(*r, 0, 16, Blocks(0, 16)).Sense(), "05/2C/00");  // no reservation
    ASSERT_TRUE(ReserveTrack(*r, 32).Good());
    Answer reserved = ReadTrackInfo(*r, 1, 1);
    ASSERT_TRUE(reserved.Good());
    EXPECT_EQ(reserved.data[6] & 0x80, 0x80);  // reserved track
    EXPECT_EQ(Be32(reserved.data, 24), 32u);   // its size

    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    EXPECT_EQ(Write10(*r, 16, 32, Blocks(16, 32)).Sense(), "05/63/00");  // past the reservation
    EXPECT_TRUE(Write10(*r, 16, 16, Blocks(16, 16)).Good());
    ASSERT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_EQ(DiscStatus(*r), 2);
    Answer toc = ReadToc(*r, 0, false);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(Be32(toc.data, 16), 32u);  // lead-out after the 32 blocks
}

// After a minimal blank a DVD-RW takes Disc-at-Once only (mmc-facts 2, LB cookbook).
TEST(DvdMinusRw, MinimalBlankLeavesOnlyDiscAtOnce) {
    auto r = Ready("dvd-dl-writer", "dvd-rw-restricted");
    ASSERT_TRUE(Out(*r, {0xA1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Good());
    Answer config = GetConfiguration(*r, 0, 0, 8);
    EXPECT_EQ(Be16(config.data, 6), 0x0014);  // sequential now
    ASSERT_TRUE(SetWritePage(*r, Incremental).Good());
    EXPECT_EQ(Write10(*r, 0, 16, Blocks(0, 16)).Sense(), "05/64/00");
    ASSERT_TRUE(SetWritePage(*r, DiscAtOnce).Good());
    ASSERT_TRUE(ReserveTrack(*r, 16).Good());
    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
}

TEST(DvdPlusR, CloseSessionLeavesItAppendableAndFinalizeClosesIt) {
    auto r = Ready("dvd-dl-writer", "dvd+r-blank");
    EXPECT_EQ(Write10(*r, 16, 16, Blocks(16, 16)).Sense(), "05/21/02");
    ASSERT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());
    Answer open = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(open.Good());
    EXPECT_EQ(open.data[2], 1);
    EXPECT_EQ(Be32(open.data, 12), 32u);
    ASSERT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_EQ(Close(*r, 3, 1).Sense(), "05/24/00");  // 011b is not a DVD+R function
    ASSERT_TRUE(Close(*r, 1, 1).Good());
    ASSERT_TRUE(Close(*r, 2).Good());

    Answer disc = ReadDiscInfo(*r);
    EXPECT_EQ(disc.data[2] & 0x03, 1);  // appendable whatever page 05 says
    Answer toc = ReadToc(*r, 0, false);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(toc.data[3], 1);
    EXPECT_EQ(Be32(toc.data, 16), 32u);
    Answer next = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(next.Good());
    EXPECT_EQ(next.data[2], 2);
    EXPECT_GE(Be32(next.data, 12), 32u);

    ASSERT_TRUE(Close(*r, 6).Good());  // finalize
    EXPECT_EQ(DiscStatus(*r), 2);
    EXPECT_EQ(Write10(*r, static_cast<int32_t>(Be32(next.data, 12)), 16, Blocks(0, 16)).Sense(), "07/27/00");
    EXPECT_EQ(Read10(*r, 0, 32).data, Blocks(0, 32));
}

// DVD+R ignores page 05 and cannot simulate: MODE SELECT refuses the Test Write bit.
TEST(DvdPlusR, RefusesTestWrite) {
    auto r = Ready("dvd-dl-writer", "dvd+r-blank");
    EXPECT_EQ(SetWritePage(*r, [](std::vector<uint8_t>& p) { p[2] |= 0x10; }).Sense(), "05/64/00");
}

TEST(DvdPlusRw, FormatsInTheBackgroundThenTakesWritesAnywhere) {
    auto r = Ready("dvd-dl-writer", "dvd+rw-unformatted");
    const uint32_t capacity = r->CurrentMedium().capacityBlocks;
    EXPECT_FALSE(Write10(*r, 0, 16, Blocks(0, 16)).Good());

    Answer capacities = In(*r, {0x23, 0, 0, 0, 0, 0, 0, 0, 252, 0}, 252);
    ASSERT_TRUE(capacities.Good());
    ASSERT_GE(capacities.data.size(), 20u);
    EXPECT_EQ(capacities.data[8] & 0x03, 0x01);  // unformatted
    EXPECT_EQ(Be32(capacities.data, 12), capacity);
    EXPECT_EQ(capacities.data[16], 0x98);  // format type 26h

    // FORMAT UNIT as mmc-facts 1.12 gives it: Immed, one descriptor of all blocks, type 26h.
    const std::vector<uint8_t> list = {0, 0x02, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x98, 0, 0, 0};
    ASSERT_TRUE(Out(*r, {0x04, 0x11, 0, 0, 0, 0}, list).Good());
    EXPECT_EQ(ReadDiscInfo(*r).data.at(7) & 0x03, 2);  // background format running

    EXPECT_TRUE(Write10(*r, 1000, 5, Blocks(1000, 5)).Good());
    EXPECT_TRUE(Write10(*r, 7, 3, Blocks(7, 3)).Good());
    EXPECT_TRUE(Write10(*r, 1000, 1, Blocks(1000, 1, 9)).Good());  // overwritten
    EXPECT_EQ(Write10(*r, static_cast<int32_t>(capacity) - 2, 4, Blocks(0, 4)).Sense(), "05/63/00");
    EXPECT_EQ(Read10(*r, 7, 3).data, Blocks(7, 3));
    EXPECT_EQ(Read10(*r, 1000, 1).data, Blocks(1000, 1, 9));
    EXPECT_EQ(Read10(*r, 1001, 4).data, Blocks(1001, 4));

    ASSERT_TRUE(Close(*r, 2).Good());  // stop formatting with a compatible lead-out
    EXPECT_EQ(ReadDiscInfo(*r).data.at(7) & 0x03, 3);
}

TEST(DvdPlusRw, RefusesFormatParametersOtherThanTypeTwentySix) {
    auto r = Ready("dvd-dl-writer", "dvd+rw-unformatted");
    const std::vector<uint8_t> typeZero = {0, 0x02, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0};
    EXPECT_EQ(Out(*r, {0x04, 0x11, 0, 0, 0, 0}, typeZero).Sense(), "05/26/00");
    const std::vector<uint8_t> restart = {0, 0x02, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x98, 0, 0, 1};
    EXPECT_FALSE(Out(*r, {0x04, 0x11, 0, 0, 0, 0}, restart).Good());  // nothing suspended to resume
    auto dvdr = Ready("dvd-dl-writer", "dvd-r-blank");
    const std::vector<uint8_t> good = {0, 0x02, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0x98, 0, 0, 0};
    EXPECT_FALSE(Out(*dvdr, {0x04, 0x11, 0, 0, 0, 0}, good).Good());
}

// A reserved track is written from its start up to its size; the blank invisible track follows it
// (mmc-facts 1.6, 1.10).
TEST(DvdPlusR, ReservedTrackTakesItsSizeAndTheNextTrackFollowsIt) {
    auto r = Ready("dvd-dl-writer", "dvd+r-blank");
    ASSERT_TRUE(ReserveTrack(*r, 64).Good());
    Answer reserved = ReadTrackInfo(*r, 1, 1);
    ASSERT_TRUE(reserved.Good());
    EXPECT_EQ(reserved.data[6] & 0xC0, 0xC0);  // reserved, blank
    EXPECT_EQ(Be32(reserved.data, 12), 0u);
    EXPECT_EQ(Be32(reserved.data, 16), 64u);
    Answer invisible = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(invisible.Good());
    EXPECT_EQ(invisible.data[2], 2);
    EXPECT_GE(Be32(invisible.data, 8), 64u);

    ASSERT_TRUE(Write10(*r, 0, 48, Blocks(0, 48)).Good());
    EXPECT_EQ(Write10(*r, 48, 32, Blocks(48, 32)).Sense(), "05/63/00");
    EXPECT_TRUE(Write10(*r, 48, 16, Blocks(48, 16)).Good());
    Answer full = ReadTrackInfo(*r, 1, 1);
    EXPECT_EQ(Be32(full.data, 16), 0u);  // no free blocks left
    EXPECT_EQ(Read10(*r, 0, 64).data, Blocks(0, 64));
}

TEST(DvdPlusRw, CloseStopsOnlyAFormatThatWasStarted) {
    auto r = Ready("dvd-dl-writer", "dvd+rw-unformatted");
    EXPECT_FALSE(Close(*r, 0).Good());  // never formatted: nothing to stop
    EXPECT_EQ(Close(*r, 1, 1).Sense(), "05/24/00");  // no tracks to close on a DVD+RW
    Answer none = In(*MakeRecorder("dvd-dl-writer", "none"), {0x23, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
    ASSERT_TRUE(none.Good());
    EXPECT_EQ(none.data[8] & 0x03, 0x03);  // no medium descriptor
}
