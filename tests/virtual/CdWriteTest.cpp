// Writing a CD-R Track-at-Once through raw command blocks: the drive takes blocks only at the next
// writable address, and the disc and track queries follow every step (MMC, mmc-facts 1.5, 1.6,
// 1.10, 1.13, 2, 4.1).
#include <gtest/gtest.h>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

std::unique_ptr<VirtualRecorder> Ready(const char* model, const char* medium) {
    auto r = MakeRecorder(model, medium);
    TestUnitReady(*r);  // takes the unit attention of the new disc
    return r;
}

uint8_t DiscStatus(VirtualRecorder& r) { return ReadDiscInfo(r).data.at(2) & 0x03; }
uint8_t LastSessionState(VirtualRecorder& r) { return (ReadDiscInfo(r).data.at(2) >> 2) & 0x03; }

}  // namespace

TEST(CdTrackAtOnce, TakesBlocksOnlyAtTheNextWritableAddress) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    Answer invisible = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(invisible.Good());
    ASSERT_EQ(Be32(invisible.data, 12), 0u);  // NWA of a blank CD

    EXPECT_EQ(Write10(*r, 16, 16, Blocks(16, 16)).Sense(), "05/21/02");  // ahead of the NWA
    EXPECT_FALSE(r->LastRefusal().empty());
    EXPECT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());
    EXPECT_EQ(Write10(*r, 0, 32, Blocks(0, 32)).Sense(), "05/21/02");    // behind it
    EXPECT_EQ(Write10(*r, 33, 16, Blocks(33, 16)).Sense(), "05/21/02");  // a gap
    EXPECT_TRUE(Write10(*r, 32, 16, Blocks(32, 16)).Good());

    // The open track is the invisible one, written up to 48; the session and disc are incomplete.
    Answer track = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(track.Good());
    EXPECT_EQ(track.data[2], 1);           // track 1
    EXPECT_EQ(track.data[6] & 0x40, 0);    // not blank any more
    EXPECT_EQ(track.data[7] & 0x01, 1);    // NWA valid
    EXPECT_EQ(Be32(track.data, 8), 0u);    // start
    EXPECT_EQ(Be32(track.data, 12), 48u);  // NWA
    const uint32_t lastLeadOut = static_cast<uint32_t>(r->CurrentMedium().LastPossibleLeadOut());
    EXPECT_EQ(Be32(track.data, 16), lastLeadOut - 48);  // free blocks
    Answer disc = ReadDiscInfo(*r);
    EXPECT_EQ(disc.data[2] & 0x0F, 0x05);  // incomplete session, incomplete disc
    EXPECT_EQ(disc.data[6], 1);            // last track in last session: the open one
}

TEST(CdTrackAtOnce, ClosingTrackAndSessionFinalizesWithMultiSessionZero) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(Write10(*r, 0, 64, Blocks(0, 64)).Good());
    EXPECT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_TRUE(Close(*r, 1, 1).Good());

    Answer closed = ReadTrackInfo(*r, 1, 1);
    ASSERT_TRUE(closed.Good());
    EXPECT_EQ(closed.data[7] & 0x01, 0);  // a closed track has no NWA
    EXPECT_EQ(Be32(closed.data, 24), 64u);
    EXPECT_EQ(LastSessionState(*r), 1);  // the session is still open

    EXPECT_TRUE(Close(*r, 2).Good());
    EXPECT_EQ(DiscStatus(*r), 2);  // finalized: page 05 multi-session 00
    EXPECT_EQ(LastSessionState(*r), 3);
    Answer toc = ReadToc(*r, 0, false);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(toc.data[3], 1);         // one track
    EXPECT_EQ(Be32(toc.data, 8), 0u);  // track 1 at 0
    EXPECT_EQ(toc.data[14], 0xAA);
    EXPECT_EQ(Be32(toc.data, 16), 64u);  // lead-out after 64 blocks

    Answer read = Read10(*r, 0, 64);
    ASSERT_TRUE(read.Good());
    EXPECT_EQ(read.data, Blocks(0, 64));
    EXPECT_EQ(r->ReadUserData(10, 2), Blocks(10, 2));
    EXPECT_EQ(Read10(*r, 64, 1).Sense(), "05/21/00");  // nothing recorded there

    EXPECT_EQ(Write10(*r, 64, 16, Blocks(64, 16)).Sense(), "07/27/00");  // a closed disc
    EXPECT_EQ(ReadTrackInfo(*r, 1, 0xFF).Sense(), "05/24/00");           // no invisible track left
}

TEST(CdTrackAtOnce, MultiSessionElevenLeavesTheDiscAppendableForAnotherSession) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(
        SetWritePage(*r, [](std::vector<uint8_t>& p) { p[3] = static_cast<uint8_t>(0xC0 | (p[3] & 0x3F)); }).Good());
    ASSERT_TRUE(Write10(*r, 0, 300, Blocks(0, 300)).Good());
    ASSERT_TRUE(SynchronizeCache(*r).Good());
    ASSERT_TRUE(Close(*r, 1, 1).Good());
    ASSERT_TRUE(Close(*r, 2).Good());
    EXPECT_EQ(DiscStatus(*r), 1);        // appendable
    EXPECT_EQ(LastSessionState(*r), 0);  // the next session is empty

    Answer next = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(next.Good());
    EXPECT_EQ(next.data[2], 2);  // track 2, in session 2
    EXPECT_EQ(next.data[3], 2);
    const int32_t nwa = static_cast<int32_t>(Be32(next.data, 12));
    EXPECT_GT(nwa, 300);  // past the first session's lead-out
    EXPECT_EQ(Write10(*r, 300, 16, Blocks(300, 16)).Sense(), "05/21/02");
    EXPECT_TRUE(Write10(*r, nwa, 16, Blocks(nwa, 16, 2)).Good());
    EXPECT_EQ(ReadDiscInfo(*r).data[4], 2);       // two sessions, the second open
    EXPECT_EQ(ReadToc(*r, 0, false).data[3], 1);  // the open session is not in the TOC yet
}

// The data phase of WRITE(10) is the block count of the command times the block size of the write
// parameters; anything else is refused before a block is taken.
TEST(CdTrackAtOnce, RefusesADataPhaseThatIsNotBlocksTimesBlockSize) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    EXPECT_EQ(Write10(*r, 0, 2, Blocks(0, 3)).Sense(), kDataPhaseFault);
    EXPECT_EQ(Write10(*r, 0, 2, std::vector<uint8_t>(2 * 2352)).Sense(), kDataPhaseFault);
    EXPECT_EQ(Write10(*r, 0, 2, Blocks(0, 1)).Sense(), kDataPhaseFault);
    EXPECT_EQ(ReadTrackInfo(*r, 1, 0xFF).data.at(6) & 0x40, 0x40);  // still blank
    EXPECT_TRUE(Write10(*r, 0, 2, Blocks(0, 2)).Good());
}

TEST(CdTrackAtOnce, RefusesAWritePastTheLastPossibleLeadOut) {
    Medium small = *MediumByName("cd-r-blank");
    small.capacityBlocks = 1000;
    VirtualRecorder r(*DriveModelByName("cdrw-writer"), small);
    TestUnitReady(r);
    ASSERT_TRUE(Write10(r, 0, 990, Blocks(0, 990)).Good());
    EXPECT_EQ(Write10(r, 990, 20, Blocks(990, 20)).Sense(), "05/63/00");
    EXPECT_TRUE(Write10(r, 990, 10, Blocks(990, 10)).Good());
    EXPECT_EQ(Write10(r, 1000, 1, Blocks(1000, 1)).Sense(), "05/63/00");
}

TEST(CdTrackAtOnce, AFinalizedOrReadOnlyDiscTakesNoWrite) {
    auto closed = Ready("cdrw-writer", "cd-r-closed");
    EXPECT_EQ(Write10(*closed, 333000, 16, Blocks(0, 16)).Sense(), "07/27/00");
    EXPECT_EQ(ReserveTrack(*closed, 1000).Sense(), "07/27/00");
    auto rom = Ready("dvd-dl-writer", "cd-rom");
    EXPECT_EQ(Write10(*rom, 0, 16, Blocks(0, 16)).Sense(), "05/30/05");
}

// Page 05 keeps Track-at-Once as its default, but a drive without the Track-at-Once feature
// (002Dh) cannot write that way: an illegal mode, as drives answer a write type they lack.
TEST(CdTrackAtOnce, ADriveWithoutTheFeatureRefusesTheWriteType) {
    DriveModel model = *DriveModelByName("cdrw-writer");
    model.cdTao = false;
    VirtualRecorder r(model, *MediumByName("cd-r-blank"));
    TestUnitReady(r);
    EXPECT_EQ(Write10(r, 0, 16, Blocks(0, 16)).Sense(), "05/64/00");
}

// A test write goes through every step a real write takes and records nothing.
TEST(CdTestWrite, GoesThroughTheMotionsAndLeavesTheDiscBlank) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(SetWritePage(*r, [](std::vector<uint8_t>& p) { p[2] |= 0x10; }).Good());
    EXPECT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());
    EXPECT_EQ(Write10(*r, 0, 32, Blocks(0, 32)).Sense(), "05/21/02");  // still checked
    EXPECT_TRUE(Write10(*r, 32, 32, Blocks(32, 32)).Good());
    EXPECT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_TRUE(Close(*r, 1, 1).Good());
    EXPECT_TRUE(Close(*r, 2).Good());

    EXPECT_EQ(ReadDiscInfo(*r).data.at(2) & 0x0F, 0x00);  // blank disc, empty session
    Answer track = ReadTrackInfo(*r, 1, 0xFF);
    EXPECT_EQ(track.data.at(6) & 0x40, 0x40);
    EXPECT_EQ(Be32(track.data, 12), 0u);
    EXPECT_EQ(Read10(*r, 0, 1).Sense(), "05/21/00");
    EXPECT_EQ(r->ReadUserData(0, 64), std::vector<uint8_t>(64 * 2048, 0));

    // The real write afterwards starts from block 0.
    ASSERT_TRUE(SetWritePage(*r, [](std::vector<uint8_t>& p) { p[2] &= ~0x10; }).Good());
    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
}

TEST(CdCloseTrackSession, AcceptsOnlyTheFunctionsOfACd) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    EXPECT_EQ(Close(*r, 2).Sense(), "05/2C/00");     // nothing to close on a blank disc
    EXPECT_EQ(Close(*r, 1, 1).Sense(), "05/2C/00");  // track 1 is the blank invisible track
    ASSERT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    for (uint8_t function : {0, 3, 4, 5, 6, 7}) {
        SCOPED_TRACE(function);
        EXPECT_EQ(Close(*r, function, 1).Sense(), "05/24/00");
    }
    EXPECT_EQ(Close(*r, 1, 5).Sense(), "05/24/00");  // no such track
    EXPECT_TRUE(Close(*r, 1, 0xFF).Good());          // CD drives take FFh for the open track
}

// With Immed the drive answers at once and its next poll says the write is still finishing.
TEST(CdCloseTrackSession, ImmedOperationsReportLongWriteInProgressToThePoll) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    ASSERT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    ASSERT_TRUE(SynchronizeCache(*r, true).Good());
    EXPECT_EQ(TestUnitReady(*r).Sense(), "02/04/08");
    EXPECT_TRUE(TestUnitReady(*r).Good());
    ASSERT_TRUE(Close(*r, 2, 0, true).Good());
    EXPECT_EQ(TestUnitReady(*r).Sense(), "02/04/07");
    EXPECT_TRUE(TestUnitReady(*r).Good());
}

TEST(CdRewritable, MinimalBlankMakesAUsedCdRwBlankAgain) {
    auto r = Ready("cdrw-writer", "cd-rw-used");
    EXPECT_EQ(DiscStatus(*r), 2);
    EXPECT_TRUE(Out(*r, {0xA1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Good());
    EXPECT_EQ(DiscStatus(*r), 0);
    EXPECT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    auto cdr = Ready("cdrw-writer", "cd-r-closed");
    EXPECT_FALSE(Out(*cdr, {0xA1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Good());  // a CD-R cannot be erased
}
