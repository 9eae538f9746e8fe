// What the engine reads about the disc: configuration, disc type, table of contents, tracks.
#include <gtest/gtest.h>

#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/DiscQueries.h"
#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Profiles.h"
#include "tests/mmc/Replies.h"
#include "tests/mmc/ScriptedDrive.h"

using namespace burnlib;
using namespace burnlib::mmc;
using namespace mmctest;

namespace {

uint16_t AllocationOf(const SentCommand& c) { return GetBe16(c.cdb.data() + 7); }

// A two-session CD: track 1 (Mode 1) in session 1, whose lead-out starts at 20000; track 2 in
// session 2 after the 6750-block lead-out, the 4500-block lead-in and the 150-block pregap.
constexpr int32_t kFirstLeadOut = 20000;
constexpr int32_t kSecondStart = kFirstLeadOut + 11400;
constexpr int32_t kSecondLeadOut = kSecondStart + 30000;

void AnswerTwoSessionDisc(ScriptedDrive& drive, uint8_t secondSubmode) {
    drive.Answer(kOpReadDiscInformation, DiscInfo(2, 0x20, 2));
    drive.On(kOpReadToc, [](const ScsiRequest& r) {
        if ((r.cdb[2] & 0x0F) == kTocFormatFullToc)
            return Deliver(r, FullTocReply(2, {{1, 0xA0, 0, 0x00},
                                                {1, 0x01, 0},
                                                {1, 0xA2, kFirstLeadOut},
                                                {2, 0xA0, 0, 0x20},
                                                {2, 0x02, kSecondStart},
                                                {2, 0xA2, kSecondLeadOut}}));
        return Deliver(r, TocReply({{1, 0}, {2, kSecondStart}, {0xAA, kSecondLeadOut}}, 4));
    });
    drive.On(kOpReadTrackInformation, [](const ScsiRequest& r) {
        if (r.cdb[5] == 1) return Deliver(r, TrackInfo(1, 1, 0, kFirstLeadOut, 1));
        return Deliver(r, TrackInfo(2, 2, kSecondStart, 30000, 2));
    });
    drive.On(kOpReadCd, [secondSubmode](const ScsiRequest& r) {
        // Sub-header: file, channel, submode, coding info, twice.
        return Deliver(r, {0, 0, secondSubmode, 0, 0, 0, secondSubmode, 0});
    });
}

}  // namespace

TEST(EngineConfiguration, ReadsTheHeaderThenTheAnnouncedLengthUpToTheTransferLimit) {
    ScriptedDrive drive;
    drive.On(kOpGetConfiguration, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(100000 + 4, 0);
        PutBe32(reply.data(), 100000);
        reply[7] = 0x09;
        for (size_t at = 8; at + 4 <= reply.size(); at += 4) reply[at + 1] = 0x01;  // empty 0001h
        return Deliver(r, reply);
    });
    MmcDevice device(drive.Open(4096));
    Configuration c;
    ASSERT_TRUE(ReadConfiguration(device, &c));
    ASSERT_EQ(drive.Count(kOpGetConfiguration), 2u);
    EXPECT_EQ(AllocationOf(drive.Sent()[0]), 8);
    EXPECT_EQ(AllocationOf(drive.Sent()[1]), 4096);
    EXPECT_EQ(c.features.size(), (4096u - 8u) / 4u);

    // A header announcing nothing beyond itself needs no second read.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x0009));
    ASSERT_TRUE(ReadConfiguration(device, &c));
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 3u);
}

TEST(EngineDiscType, MapsProfilesAndFallsBackForDrivesWithoutThem) {
    ScriptedDrive drive;
    MmcDevice device(drive.Open());
    const std::pair<uint16_t, int32_t> map[] = {
        {0x0008, 1},  {0x0009, 2},  {0x000A, 3},  {0x0010, 4},  {0x0011, 5},  {0x0012, 6},
        {0x0013, 7},  {0x0014, 8},  {0x001A, 9},  {0x001B, 13}, {0x0000, 14}, {0x002B, 15},
        {0x0015, 16}, {0x0016, 16}, {0x0040, 17}, {0x0041, 18}, {0x0042, 18}, {0x0043, 19},
        {0x0050, 20}, {0x0051, 21}, {0x0058, 21}, {0x0053, 22}, {0x0052, 22}, {0x002A, 0},
        {0x0002, 0}};
    for (auto [profile, code] : map) {
        drive.Answer(kOpGetConfiguration, ConfigurationHeader(profile));
        EXPECT_EQ(InsertedDiscType(device), code) << "profile " << profile;
    }

    // An MMC-1 writer: GET CONFIGURATION is an unknown command; the ATIP tells CD-R from CD-RW.
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpTestUnitReady, {});
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 1764, 706));
    drive.Answer(kOpReadToc, AtipReply(true));
    EXPECT_EQ(InsertedDiscType(device), kDiscLegacyCdRw);
    drive.Answer(kOpReadToc, AtipReply(false));
    EXPECT_EQ(InsertedDiscType(device), kDiscLegacyCdR);
    // A pressed disc has no ATIP but a table of contents.
    drive.On(kOpReadToc, [](const ScsiRequest& r) {
        if ((r.cdb[2] & 0x0F) == kTocFormatAtip) return ScsiResult::Check(0x05, 0x24, 0x00);
        return Deliver(r, TocReply({{1, 0}, {0xAA, 1000}}, 4));
    });
    EXPECT_EQ(InsertedDiscType(device), kDiscLegacyCdRom);
    drive.Refuse(kOpTestUnitReady, 0x02, 0x3A, 0x00);
    EXPECT_EQ(InsertedDiscType(device), kDiscNone);
    // The writer's capabilities are the drive's: read once.
    EXPECT_EQ(drive.Count(kOpModeSense10), 1u);
}

TEST(EngineDiscType, KeepsTheProfileWithinOneOperationOnlyAndForgetsItOnAUnitAttention) {
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileCdR));
    drive.On(kOpTestUnitReady, [calls = 0](const ScsiRequest&) mutable {
        return ++calls == 1 ? ScsiResult::Check(0x06, 0x28, 0x00) : ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    device.BeginOperation();
    EXPECT_EQ(InsertedDiscType(device), kDiscCdR);
    EXPECT_EQ(InsertedDiscType(device), kDiscCdR);
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 1u);
    // The disc was changed: the next question goes to the drive.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileDvdPlusR));
    EXPECT_TRUE(TestUnitReady(device));
    EXPECT_EQ(InsertedDiscType(device), kDiscDvdPlusR);
    device.EndOperation();
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileCdRw));
    device.BeginOperation();
    EXPECT_EQ(InsertedDiscType(device), kDiscCdRw);
    device.EndOperation();
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 3u);
}

TEST(EngineTableOfContents, RejectsTablesWithoutLeadOutOrGoingBackwards) {
    ScriptedDrive drive;
    drive.Answer(kOpReadDiscInformation, DiscInfo(2, 0x20));
    MmcDevice device(drive.Open());
    TableOfContents toc;

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {2, 5000}, {0xAA, 9000}}, 4));
    ASSERT_TRUE(ReadTableOfContents(device, true, &toc));
    ASSERT_EQ(toc.tracks.size(), 2u);
    EXPECT_EQ(toc.tracks[0].end, 5000);
    EXPECT_EQ(toc.tracks[1].end, 9000);
    // CD-ROM XA: Mode 2; this drive reads no sub-header, so Form 1 with its 2048 user bytes.
    EXPECT_EQ(toc.tracks[0].dataMode, 2);
    EXPECT_EQ(toc.tracks[0].blockSize, 2048u);
    EXPECT_EQ(toc.leadOut, 9000);

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {0xAA, 9000}}, 0));
    ASSERT_TRUE(ReadTableOfContents(device, true, &toc));
    EXPECT_EQ(toc.tracks[0].blockSize, 2352u);
    EXPECT_FALSE(toc.tracks[0].isData);

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {2, 5000}}, 4));
    EXPECT_FALSE(ReadTableOfContents(device, true, &toc));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::BadResponse);

    drive.Answer(kOpReadToc, TocReply({{1, 5000}, {2, 100}, {0xAA, 9000}}, 4));
    EXPECT_FALSE(ReadTableOfContents(device, true, &toc));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::BadResponse);
}

TEST(EngineTableOfContents, ATrackBeforeAnotherSessionEndsAtItsOwnSessionsLeadOut) {
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast" : "full");
        ScriptedDrive drive;
        AnswerTwoSessionDisc(drive, 0x08);
        MmcDevice device(drive.Open());
        TableOfContents toc;
        ASSERT_TRUE(ReadTableOfContents(device, fast, &toc)) << device.LastFailure().text;
        ASSERT_EQ(toc.tracks.size(), 2u);
        EXPECT_EQ(toc.tracks[0].session, 1);
        EXPECT_EQ(toc.tracks[1].session, 2);
        EXPECT_EQ(toc.tracks[0].start, 0);
        EXPECT_EQ(toc.tracks[0].end, kFirstLeadOut);  // not the next session's first block
        EXPECT_EQ(toc.tracks[1].start, kSecondStart);
        EXPECT_EQ(toc.tracks[1].end, kSecondLeadOut);
        EXPECT_EQ(toc.leadOut, kSecondLeadOut);
        EXPECT_EQ(drive.Count(kOpReadToc), fast ? 1u : 3u);
    }
    // A drive that describes no track by itself: the full table's A2 of session 1.
    ScriptedDrive drive;
    AnswerTwoSessionDisc(drive, 0x08);
    drive.Refuse(kOpReadTrackInformation, 0x05, 0x20, 0x00);
    MmcDevice device(drive.Open());
    TableOfContents toc;
    ASSERT_TRUE(ReadTableOfContents(device, false, &toc));
    EXPECT_EQ(toc.tracks[0].end, kFirstLeadOut);
    EXPECT_EQ(toc.tracks[0].blockSize, 2048u);
    EXPECT_EQ(toc.tracks[1].dataMode, 2);  // session 2 is CD-ROM XA
}

TEST(EngineTableOfContents, BlockSizeFollowsEachTracksModeAndForm) {
    ScriptedDrive drive;
    // Session 2 of this disc is CD-ROM XA with a Mode 2 Form 1 track (submode: data).
    AnswerTwoSessionDisc(drive, 0x08);
    MmcDevice device(drive.Open());
    TableOfContents toc;
    ASSERT_TRUE(ReadTableOfContents(device, false, &toc));
    EXPECT_EQ(toc.tracks[0].dataMode, 1);
    EXPECT_EQ(toc.tracks[0].blockSize, 2048u);
    EXPECT_EQ(toc.tracks[1].dataMode, 2);
    EXPECT_EQ(toc.tracks[1].blockSize, 2048u);
    // Only the Mode 2 track needs its sub-header, read at the track's first block.
    ASSERT_EQ(drive.Count(kOpReadCd), 1u);
    for (const SentCommand& c : drive.Sent()) {
        if (c.cdb[0] == kOpReadCd) {
            EXPECT_EQ(GetBe32(c.cdb.data() + 2), uint32_t{kSecondStart});
        }
    }

    // Form 2 (submode bit 5): 2324 user bytes.
    ScriptedDrive form2;
    AnswerTwoSessionDisc(form2, 0x20);
    MmcDevice device2(form2.Open());
    ASSERT_TRUE(ReadTableOfContents(device2, true, &toc));
    EXPECT_EQ(toc.tracks[1].blockSize, 2324u);

    // The track's own mode counts, not the disc type: Mode 1 on an XA disc.
    ScriptedDrive mode1;
    mode1.Answer(kOpReadDiscInformation, DiscInfo(2, 0x20));
    mode1.Answer(kOpReadToc, TocReply({{1, 0}, {0xAA, 9000}}, 4));
    mode1.Answer(kOpReadTrackInformation, TrackInfo(1, 1, 0, 9000, 1));
    MmcDevice device3(mode1.Open());
    ASSERT_TRUE(ReadTableOfContents(device3, true, &toc));
    EXPECT_EQ(toc.tracks[0].dataMode, 1);
    EXPECT_EQ(toc.tracks[0].blockSize, 2048u);
    EXPECT_EQ(mode1.Count(kOpReadCd), 0u);
}

TEST(EngineTracks, NamesTheNextTrackOnMediaWithoutAnInvisibleOne) {
    ScriptedDrive drive;
    std::vector<uint8_t> track(36, 0);
    track[1] = 34;
    track[2] = 2;
    track[7] = 0x01;
    PutBe32(track.data() + 8, 5000);
    PutBe32(track.data() + 12, 5000);
    PutBe32(track.data() + 16, 90000);
    drive.On(kOpReadTrackInformation, [&](const ScsiRequest& r) {
        // Track FFh is unknown to this drive; it names the open track by number.
        if (r.cdb[5] == 0xFF) return ScsiResult::Check(0x05, 0x24, 0x00);
        return Deliver(r, track);
    });
    drive.Answer(kOpReadDiscInformation, DiscInfo(1, 0));
    MmcDevice device(drive.Open());
    TrackInformation t;
    ASSERT_TRUE(ReadTrack(device, 0xFF, &t));
    EXPECT_EQ(drive.Sent().back().cdb[5], 2);  // the last track in the last session
    EXPECT_EQ(t.start, 5000);
    EXPECT_TRUE(t.nwaValid);

    // A finalized disc: the answer is the empty, closed place after its last track.
    track[7] = 0;
    PutBe32(track.data() + 24, 7000);
    drive.Answer(kOpReadDiscInformation, DiscInfo(2, 0));
    ASSERT_TRUE(ReadTrack(device, 0xFF, &t));
    EXPECT_EQ(t.trackNumber, 3);
    EXPECT_EQ(t.start, 12000);
    EXPECT_EQ(t.freeBlocks, 0);
    EXPECT_FALSE(t.nwaValid);

    // Other refusals stand.
    drive.Refuse(kOpReadTrackInformation, 0x02, 0x3A, 0x00);
    EXPECT_FALSE(ReadTrack(device, 0xFF, &t));
    EXPECT_EQ(device.LastFailure().senseKey, 0x02);
}
