#include <gtest/gtest.h>

#include <cstddef>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

// The feature descriptor with this code in a GET CONFIGURATION answer, or empty.
std::vector<uint8_t> FindFeature(const std::vector<uint8_t>& config, uint16_t code) {
    size_t at = 8;
    while (at + 4 <= config.size()) {
        const size_t length = 4u + config[at + 3];
        if (Be16(config, at) == code && at + length <= config.size())
            return std::vector<uint8_t>(config.begin() + static_cast<std::ptrdiff_t>(at),
                                        config.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return {};
}

std::unique_ptr<VirtualRecorder> Ready(const char* model, const char* medium) {
    auto r = MakeRecorder(model, medium);
    TestUnitReady(*r);
    return r;
}

}  // namespace

// Every model with every disc: what the configuration, disc, track, TOC and capacity queries say
// must describe one and the same disc.
TEST(Consistency, AllQueriesDescribeTheSameDiscForEveryModelAndMedium) {
    for (const std::string& modelName : DriveModelNames()) {
        for (const std::string& mediumName : MediumNames()) {
            SCOPED_TRACE(modelName + ":" + mediumName);
            const DriveModel model = *DriveModelByName(modelName);
            const Medium medium = *MediumByName(mediumName);
            VirtualRecorder r(model, medium);
            const bool readable = medium.Present() && !medium.notReady && model.CanRead(medium.profile);
            EXPECT_EQ(TestUnitReady(r).Good(), readable);

            Answer config = GetConfiguration(r, 0, 0, 65530);
            ASSERT_TRUE(config.Good());
            EXPECT_EQ(Be32(config.data, 0) + 4, config.data.size());
            EXPECT_EQ(Be16(config.data, 6), readable ? medium.profile : 0);
            const std::vector<uint8_t> profiles = FindFeature(config.data, 0x0000);
            ASSERT_FALSE(profiles.empty());
            int currentMarks = 0;
            for (size_t at = 4; at + 4 <= profiles.size(); at += 4)
                if (profiles[at + 2] & 1) {
                    ++currentMarks;
                    EXPECT_EQ(Be16(profiles, at), medium.profile);
                }
            EXPECT_EQ(currentMarks, readable ? 1 : 0);
            if (!readable) {
                EXPECT_FALSE(ReadDiscInfo(r).Good());
                continue;
            }

            Answer disc = ReadDiscInfo(r);
            ASSERT_TRUE(disc.Good());
            const uint8_t status = disc.data[2] & 0x03;
            const uint8_t lastTrack = disc.data[6];
            EXPECT_EQ((disc.data[2] & 0x10) != 0, medium.erasable);
            Answer byFF = ReadTrackInfo(r, 1, 0xFF);
            Answer toc = ReadToc(r, 0, false);
            if (IsOverwritableProfile(medium.profile)) {  // one track over the disc, formatted or not
                Answer track = ReadTrackInfo(r, 1, 1);
                ASSERT_TRUE(track.Good());
                EXPECT_EQ(Be32(track.data, 24), medium.capacityBlocks);
                EXPECT_FALSE(byFF.Good());
                EXPECT_EQ(disc.data[6], 1);
            } else if (status == 0 || status == 1) {  // blank or appendable: an invisible track to write
                // Asked for by number (the last track in the last session); FFh only where the
                // drives take it: CD, DVD+R, DVD+R DL.
                Answer invisible = ReadTrackInfo(r, 1, lastTrack);
                const bool takesFF = medium.Family() == MediumFamily::Cd ||
                                     medium.profile == kProfileDvdPlusR || medium.profile == kProfileDvdPlusRDl;
                if (takesFF) {
                    EXPECT_EQ(byFF.data, invisible.data);
                } else {
                    EXPECT_EQ(byFF.Sense(), "05/24/00");
                }
                ASSERT_TRUE(invisible.Good());
                EXPECT_EQ(invisible.data[2], lastTrack);
                EXPECT_EQ(invisible.data[7] & 0x01, 0x01);
                EXPECT_EQ(invisible.data[6] & 0x40, 0x40);
                const uint32_t start = Be32(invisible.data, 8);
                EXPECT_EQ(Be32(invisible.data, 12), start);
                EXPECT_EQ(Be32(invisible.data, 16), static_cast<uint32_t>(medium.LastPossibleLeadOut()) - start);
                Answer byLba = ReadTrackInfo(r, 0, start);
                ASSERT_TRUE(byLba.Good());
                EXPECT_EQ(byLba.data[2], lastTrack);
                EXPECT_EQ(toc.Good(), status == 1);
                if (status == 1) {
                    EXPECT_EQ(toc.data[3] + 1, lastTrack);
                }
            } else if (status == 2) {  // finalized: the TOC lists what the track queries list
                EXPECT_FALSE(byFF.Good());
                ASSERT_TRUE(toc.Good());
                EXPECT_EQ(toc.data[3], lastTrack);
                const size_t leadOutAt = 4 + 8u * toc.data[3];
                ASSERT_EQ(toc.data.size(), leadOutAt + 8);
                EXPECT_EQ(toc.data[leadOutAt + 2], 0xAA);
                Answer last = ReadTrackInfo(r, 1, lastTrack);
                ASSERT_TRUE(last.Good());
                EXPECT_EQ(Be32(last.data, 8) + Be32(last.data, 24), Be32(toc.data, leadOutAt + 4));
                Answer capacity = In(r, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
                ASSERT_TRUE(capacity.Good());
                EXPECT_EQ(Be32(capacity.data, 0) + 1, Be32(toc.data, leadOutAt + 4));
            } else {
                ADD_FAILURE() << "disc status " << int(status) << " on a sequential or pressed disc";
            }
        }
    }
}

TEST(BlankCd, AnnouncesItsAtipAndRefusesATableOfContents) {
    auto r = Ready("cdrw-writer", "cd-r-blank");
    Answer disc = ReadDiscInfo(*r);
    ASSERT_TRUE(disc.Good());
    EXPECT_EQ(disc.data[2], 0x00);
    EXPECT_EQ(disc.data[4], 1);
    EXPECT_EQ(disc.data[6], 1);
    EXPECT_EQ(std::vector<uint8_t>(disc.data.begin() + 17, disc.data.begin() + 20), (std::vector<uint8_t>{97, 26, 66}));
    EXPECT_EQ(std::vector<uint8_t>(disc.data.begin() + 21, disc.data.begin() + 24), (std::vector<uint8_t>{79, 59, 74}));

    Answer atip = ReadToc(*r, 4, true);
    ASSERT_TRUE(atip.Good());
    EXPECT_EQ(atip.data[6] & 0x40, 0);  // CD-R
    // The fixed leading bits of ATIP descriptor bytes 4, 5 and 6: 1, 0, 1.
    EXPECT_EQ(atip.data[4] & 0x80, 0x80);
    EXPECT_EQ(atip.data[5] & 0x80, 0x00);
    EXPECT_EQ(atip.data[6] & 0x80, 0x80);
    Answer rwAtip = ReadToc(*Ready("cdrw-writer", "cd-rw-blank"), 4, true);
    ASSERT_TRUE(rwAtip.Good());
    EXPECT_EQ(rwAtip.data[4] & 0x80, 0x80);
    EXPECT_EQ(rwAtip.data[6] & 0x40, 0x40);  // CD-RW
    EXPECT_EQ(std::vector<uint8_t>(atip.data.begin() + 8, atip.data.begin() + 11), (std::vector<uint8_t>{97, 26, 66}));
    EXPECT_EQ(MsfToLba(atip.data[8], atip.data[9], atip.data[10]), -11634);

    Answer track = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(track.Good());
    EXPECT_EQ(Be32(track.data, 12), 0u);
    EXPECT_EQ(Be32(track.data, 16), 359849u);

    EXPECT_EQ(ReadToc(*r, 0, false).Sense(), "05/24/00");
    EXPECT_EQ(ReadToc(*r, 2, false).Sense(), "05/24/00");
    EXPECT_EQ(ReadToc(*Ready("cdrw-writer", "cd-rom"), 4, false).Sense(), "05/24/00");  // pressed: no ATIP
    EXPECT_EQ(ReadToc(*Ready("dvd-dl-writer", "dvd-r-blank"), 4, false).Sense(), "05/24/00");
    // A reader takes the CD-R but does not read its ATIP.
    auto reader = Ready("dvd-reader", "cd-r-blank");
    EXPECT_EQ(ReadToc(*reader, 4, false).Sense(), "05/24/00");
    EXPECT_TRUE(ReadDiscInfo(*reader).Good());
}

TEST(ClosedCd, TocInLbaMsfAndFullFormAgree) {
    auto r = Ready("cdrw-writer", "cd-r-closed");
    Answer lba = ReadToc(*r, 0, false);
    ASSERT_TRUE(lba.Good());
    ASSERT_EQ(lba.data.size(), 20u);
    EXPECT_EQ(lba.data[5], 0x14);
    EXPECT_EQ(Be32(lba.data, 8), 0u);
    EXPECT_EQ(Be32(lba.data, 16), 333000u);
    Answer msf = ReadToc(*r, 0, true);
    ASSERT_TRUE(msf.Good());
    EXPECT_EQ(std::vector<uint8_t>(msf.data.begin() + 8, msf.data.begin() + 12), (std::vector<uint8_t>{0, 0, 2, 0}));
    EXPECT_EQ(std::vector<uint8_t>(msf.data.begin() + 16, msf.data.begin() + 20), (std::vector<uint8_t>{0, 74, 2, 0}));
    Answer onlyLeadOut = ReadToc(*r, 0, false, 0xAA);
    ASSERT_TRUE(onlyLeadOut.Good());
    EXPECT_EQ(onlyLeadOut.data.size(), 12u);
    EXPECT_EQ(ReadToc(*r, 0, false, 2).Sense(), "05/24/00");

    Answer full = ReadToc(*r, 2, false);
    ASSERT_TRUE(full.Good());
    ASSERT_EQ((full.data.size() - 4) % 11, 0u);
    ASSERT_EQ((full.data.size() - 4) / 11, 4u);  // A0, A1, A2, track 1; no B0 on a closed disc
    EXPECT_EQ(full.data[4 + 3], 0xA0);
    EXPECT_EQ(full.data[4 + 8], 1);
    EXPECT_EQ(full.data[15 + 3], 0xA1);
    EXPECT_EQ(full.data[26 + 3], 0xA2);
    EXPECT_EQ(std::vector<uint8_t>(full.data.begin() + 34, full.data.begin() + 37), (std::vector<uint8_t>{74, 2, 0}));
    EXPECT_EQ(full.data[37 + 3], 0x01);

    Answer disc = ReadDiscInfo(*r);
    EXPECT_EQ(disc.data[2], 0x0E);
    EXPECT_EQ(Be32(disc.data, 16), 0xFFFFFFFFu);
}

TEST(AppendableCd, NextSessionStartsAfterLeadOutLeadInAndPregap) {
    auto r = Ready("dvd-dl-writer", "cd-r-appendable");
    Answer disc = ReadDiscInfo(*r);
    EXPECT_EQ(disc.data[2], 0x01);
    EXPECT_EQ(disc.data[4], 2);
    EXPECT_EQ(disc.data[5], 2);
    Answer track = ReadTrackInfo(*r, 1, 0xFF);
    ASSERT_TRUE(track.Good());
    EXPECT_EQ(track.data[3], 2);
    EXPECT_EQ(Be32(track.data, 12), 211400u);
    EXPECT_EQ(Be32(track.data, 16), 359849u - 211400u);
    Answer sessions = ReadToc(*r, 1, false);
    ASSERT_TRUE(sessions.Good());
    EXPECT_EQ(sessions.data[3], 1);
    Answer full = ReadToc(*r, 2, false);
    ASSERT_TRUE(full.Good());
    const size_t b0 = full.data.size() - 11;
    EXPECT_EQ(full.data[b0 + 3], 0xB0);
    EXPECT_EQ(MsfToLba(full.data[b0 + 4], full.data[b0 + 5], full.data[b0 + 6]), 211400 - 150);
    EXPECT_EQ(ReadTrackInfo(*r, 2, 2).data.size(), 48u);  // session 2 = the invisible track
    EXPECT_EQ(ReadTrackInfo(*r, 1, 3).Sense(), "05/24/00");
    EXPECT_EQ(ReadTrackInfo(*r, 3, 0).Sense(), "05/24/00");
}

TEST(Configuration, WriteFeaturesAreCurrentOnlyForMediaTheDriveWritesNow) {
    auto cd = Ready("dvd-dl-writer", "cd-r-blank");
    Answer all = GetConfiguration(*cd, 0, 0, 4096);
    for (uint16_t code : {0x0021, 0x002D, 0x002E}) EXPECT_EQ(FindFeature(all.data, code).at(2) & 1, 1) << code;
    for (uint16_t code : {0x002B, 0x002F}) EXPECT_EQ(FindFeature(all.data, code).at(2) & 1, 0) << code;
    const std::vector<uint8_t> tao = FindFeature(all.data, 0x002D);
    EXPECT_EQ(tao[4] & 0x44, 0x44);  // BUF and test write
    const std::vector<uint8_t> mastering = FindFeature(all.data, 0x002E);
    EXPECT_EQ(mastering[4] & 0x28, 0x28);  // SAO and raw

    Answer onlyCurrent = GetConfiguration(*cd, 1, 0, 4096);
    for (size_t at = 8; at + 4 <= onlyCurrent.data.size(); at += 4u + onlyCurrent.data[at + 3])
        EXPECT_EQ(onlyCurrent.data[at + 2] & 1, 1);
    EXPECT_TRUE(FindFeature(onlyCurrent.data, 0x002F).empty());

    Answer one = GetConfiguration(*Ready("dvd-dl-writer", "dvd-r-blank"), 2, 0x002F, 4096);
    ASSERT_EQ(one.data.size(), 8u + 8u);
    EXPECT_EQ(Be16(one.data, 8), 0x002F);
    EXPECT_EQ(one.data[10] & 1, 1);
    Answer missing = GetConfiguration(*Ready("cdrw-writer", "cd-r-blank"), 2, 0x002F, 4096);
    EXPECT_EQ(missing.data.size(), 8u);

    Answer reader = GetConfiguration(*Ready("dvd-reader", "cd-r-blank"), 0, 0, 4096);
    EXPECT_TRUE(FindFeature(reader.data, 0x002D).empty());
    EXPECT_EQ(Be16(reader.data, 6), kProfileCdR);
    EXPECT_EQ(FindFeature(reader.data, 0x002B).at(4) & 1, 0);  // reads DVD+R, cannot write it
    Answer dvdPlus = GetConfiguration(*Ready("dvd-dl-writer", "dvd+r-blank"), 2, 0x002B, 64);
    EXPECT_EQ(dvdPlus.data.at(12) & 1, 1);
    const std::vector<uint8_t> incremental = FindFeature(GetConfiguration(*Ready("dvd-dl-writer", "dvd-rw-sequential"), 0, 0, 4096).data, 0x0021);
    EXPECT_EQ(incremental.at(2) & 1, 1);
    EXPECT_EQ(incremental.at(8), 16);  // DVD link size

    // Random-writable media are announced by 0020h (with the disc's last block) and 0024h.
    Answer ram = GetConfiguration(*Ready("dvd-dl-writer", "dvd-ram"), 0, 0, 4096);
    const std::vector<uint8_t> randomWritable = FindFeature(ram.data, 0x0020);
    ASSERT_EQ(randomWritable.size(), 16u);
    EXPECT_EQ(randomWritable[2] & 1, 1);
    EXPECT_EQ(Be32(randomWritable, 4), 2236704u - 1);
    EXPECT_EQ(FindFeature(ram.data, 0x0024).at(2) & 1, 1);
    EXPECT_EQ(FindFeature(ram.data, 0x0023).at(2) & 1, 1);
    EXPECT_EQ(FindFeature(all.data, 0x0020).at(2) & 1, 0);
    EXPECT_TRUE(FindFeature(GetConfiguration(*Ready("cdrw-writer", "cd-r-blank"), 0, 0, 4096).data, 0x0020).empty());
}

// Short allocation lengths: exactly that many bytes move, and the length fields still give the
// whole answer so a caller can ask again with the right size.
TEST(AllocationLength, ShortBuffersGetAPrefixOfTheFullAnswer) {
    auto r = Ready("bd-writer", "cd-r-appendable");
    const Answer fullConfig = GetConfiguration(*r, 0, 0, 65535);
    const Answer fullDisc = ReadDiscInfo(*r, 200);
    const Answer fullTrack = ReadTrackInfo(*r, 1, 0xFF, 200);
    const Answer fullToc = ReadToc(*r, 2, false, 0, 1000);
    const Answer fullSense = ModeSense(*r, 0, 0x3F, 2000);
    for (uint16_t alloc : {0, 1, 2, 4, 7, 8, 9, 13, 33}) {
        SCOPED_TRACE(alloc);
        struct Case {
            Answer shortAnswer;
            const Answer& full;
        } cases[] = {
            {GetConfiguration(*r, 0, 0, alloc), fullConfig},
            {ReadDiscInfo(*r, alloc), fullDisc},
            {ReadTrackInfo(*r, 1, 0xFF, alloc), fullTrack},
            {ReadToc(*r, 2, false, 0, alloc), fullToc},
            {ModeSense(*r, 0, 0x3F, alloc), fullSense},
        };
        for (const Case& c : cases) {
            ASSERT_TRUE(c.shortAnswer.Good());
            ASSERT_EQ(c.shortAnswer.data.size(), std::min<size_t>(alloc, c.full.data.size()));
            EXPECT_TRUE(std::equal(c.shortAnswer.data.begin(), c.shortAnswer.data.end(), c.full.data.begin()));
        }
    }
    // The allocation length is honoured when the host buffer is bigger. A smaller buffer is the
    // host's fault: the pass-through reports the overrun instead of a cut-short GOOD.
    Answer bigBuffer = In(*r, {0x51, 0, 0, 0, 0, 0, 0, 0, 10, 0}, 100);
    EXPECT_EQ(bigBuffer.result.transferred, 10u);
    Answer smallBuffer = In(*r, {0x51, 0, 0, 0, 0, 0, 0, 0, 100, 0}, 10);
    EXPECT_EQ(smallBuffer.Sense(), kDataPhaseFault);
    EXPECT_EQ(smallBuffer.result.transferred, 0u);
}

// Formatted DVD+RW and DVD-RW in restricted overwrite read as a finished disc: one complete
// session with one complete track over the formatted capacity, nothing free to append to.
// DVD-RAM answers "other" and keeps its track writable.
TEST(OverwritableDiscs, FormattedRewritablesReadAsOneCompleteTrack) {
    for (const char* name : {"dvd+rw", "dvd-rw-restricted"}) {
        SCOPED_TRACE(name);
        auto r = Ready("dvd-dl-writer", name);
        const uint32_t capacity = MediumByName(name)->capacityBlocks;
        Answer disc = ReadDiscInfo(*r);
        ASSERT_TRUE(disc.Good());
        EXPECT_EQ(disc.data[2] & 0x0F, 0x0E);  // last session complete, disc finalized
        EXPECT_EQ(disc.data[2] & 0x10, 0x10);  // erasable
        EXPECT_EQ(disc.data[4], 1);
        EXPECT_EQ(disc.data[5], 1);
        EXPECT_EQ(disc.data[6], 1);
        EXPECT_EQ(ReadTrackInfo(*r, 1, 0xFF).Sense(), "05/24/00");
        Answer track = ReadTrackInfo(*r, 1, 1);
        ASSERT_TRUE(track.Good());
        EXPECT_EQ(track.data[6] & 0x40, 0);     // not blank
        EXPECT_EQ(track.data[7] & 0x01, 0);     // no next writable address
        EXPECT_EQ(Be32(track.data, 8), 0u);
        EXPECT_EQ(Be32(track.data, 16), 0u);    // no free blocks
        EXPECT_EQ(Be32(track.data, 24), capacity);
        EXPECT_EQ(ReadTrackInfo(*r, 0, capacity - 1).data, track.data);
        EXPECT_EQ(ReadTrackInfo(*r, 2, 1).data, track.data);
        Answer toc = ReadToc(*r, 0, false);
        ASSERT_TRUE(toc.Good());
        EXPECT_EQ(Be32(toc.data, 16), capacity);
        Answer last = In(*r, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
        EXPECT_EQ(Be32(last.data, 0), capacity - 1);
    }
    auto plusRw = Ready("dvd-dl-writer", "dvd+rw");
    EXPECT_EQ(ReadDiscInfo(*plusRw).data[7] & 0x03, 3);  // background format complete
    EXPECT_EQ(ReadTrackInfo(*plusRw, 1, 1).data[6] & 0x30, 0x00);  // not written in packets
    auto restricted = Ready("dvd-dl-writer", "dvd-rw-restricted");
    Answer restrictedTrack = ReadTrackInfo(*restricted, 1, 1);
    EXPECT_EQ(restrictedTrack.data[6] & 0x30, 0x30);  // fixed packets
    EXPECT_EQ(Be32(restrictedTrack.data, 20), 16u);   // of one ECC block

    auto ram = Ready("dvd-dl-writer", "dvd-ram");
    Answer ramDisc = ReadDiscInfo(*ram);
    EXPECT_EQ(ramDisc.data[2] & 0x03, 0x03);
    Answer ramTrack = ReadTrackInfo(*ram, 1, 1);
    EXPECT_EQ(ramTrack.data[7] & 0x01, 0x01);
    EXPECT_EQ(Be32(ramTrack.data, 16), 2236704u);

    auto fresh = Ready("dvd-dl-writer", "dvd+rw-unformatted");
    Answer freshDisc = ReadDiscInfo(*fresh);
    EXPECT_EQ(freshDisc.data[2] & 0x03, 0);
    EXPECT_EQ(freshDisc.data[7] & 0x03, 0);
    Answer freshTrack = ReadTrackInfo(*fresh, 1, 1);
    EXPECT_EQ(freshTrack.data[6] & 0x40, 0x40);
    EXPECT_EQ(ReadToc(*fresh, 0, false).Sense(), "05/24/00");
}

// The media whose drives want the writable track by number refuse FFh; the number the disc
// information gives leads to the same track.
TEST(InvisibleTrack, SequentialDashAndBlurayMediaRefuseTrackFF) {
    struct Case {
        const char* model;
        const char* medium;
    } cases[] = {{"dvd-dl-writer", "dvd-r-blank"}, {"dvd-dl-writer", "dvd-rw-sequential"},
                 {"dvd-dl-writer", "dvd-r-dl-blank"}, {"bd-writer", "bd-r-blank"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.medium);
        auto r = Ready(c.model, c.medium);
        EXPECT_EQ(ReadTrackInfo(*r, 1, 0xFF).Sense(), "05/24/00");
        Answer disc = ReadDiscInfo(*r);
        Answer track = ReadTrackInfo(*r, 1, disc.data[6]);
        ASSERT_TRUE(track.Good());
        EXPECT_EQ(track.data[7] & 0x01, 0x01);
        EXPECT_EQ(Be32(track.data, 12), 0u);
    }
    DriveModel hdDvd = *DriveModelByName("bd-writer");
    hdDvd.readProfiles.push_back(kProfileHdDvdR);
    hdDvd.writeProfiles.push_back(kProfileHdDvdR);
    hdDvd.hdDvdWrite = true;
    VirtualRecorder hd(hdDvd, *MediumByName("hd-dvd-r-blank"));
    TestUnitReady(hd);
    EXPECT_EQ(ReadTrackInfo(hd, 1, 0xFF).Sense(), "05/24/00");
    EXPECT_TRUE(ReadTrackInfo(hd, 1, 1).Good());
    // CD and DVD+R take it.
    EXPECT_TRUE(ReadTrackInfo(*Ready("dvd-dl-writer", "dvd+r-blank"), 1, 0xFF).Good());
    EXPECT_TRUE(ReadTrackInfo(*Ready("dvd-dl-writer", "dvd+r-dl-blank"), 1, 0xFF).Good());
    EXPECT_TRUE(ReadTrackInfo(*Ready("cdrw-writer", "cd-r-blank"), 1, 0xFF).Good());
}
