#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "burnlib/mmc/Parsers.h"

using namespace burnlib::mmc;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

// A heap copy of exactly `length` bytes, so ASan catches a read past what was transferred.
struct Transfer {
    explicit Transfer(const std::vector<uint8_t>& bytes, size_t length)
        : data(new uint8_t[length == 0 ? 1 : length]), size(length) {
        std::memcpy(data.get(), bytes.data(), std::min(length, bytes.size()));
    }
    std::unique_ptr<uint8_t[]> data;
    size_t size;
};

std::vector<uint8_t> InquiryReply() {
    std::vector<uint8_t> r(36, 0);
    r[0] = 0x05;
    r[1] = 0x80;
    r[4] = 31;
    std::memcpy(&r[8], "QFVIRT  ", 8);
    std::memcpy(&r[16], "DVD+-RW DL 16x  ", 16);
    std::memcpy(&r[32], "2.05", 4);
    return r;
}

}  // namespace

TEST(InquiryParser, TrimsBlanksAndStopsAtTheAnnouncedOrTransferredEnd) {
    std::vector<uint8_t> reply = InquiryReply();
    InquiryData d;
    ASSERT_TRUE(ParseInquiry(reply.data(), reply.size(), &d));
    EXPECT_EQ(d.deviceType, 0x05);
    EXPECT_TRUE(d.removable);
    EXPECT_EQ(d.vendor, "QFVIRT");
    EXPECT_EQ(d.product, "DVD+-RW DL 16x");
    EXPECT_EQ(d.revision, "2.05");

    // Cut in the middle of the product: what is there is kept, the rest is empty.
    Transfer cut(reply, 20);
    ASSERT_TRUE(ParseInquiry(cut.data.get(), cut.size, &d));
    EXPECT_EQ(d.vendor, "QFVIRT");
    EXPECT_EQ(d.product, "DVD+");
    EXPECT_EQ(d.revision, "");

    // The drive says only 15 bytes follow although 36 came: the rest is not identity.
    reply[4] = 15;
    ASSERT_TRUE(ParseInquiry(reply.data(), reply.size(), &d));
    EXPECT_EQ(d.product, "DVD+");

    Transfer tiny(reply, 4);
    EXPECT_FALSE(ParseInquiry(tiny.data.get(), tiny.size, &d));
}

TEST(SenseParser, ReadsFixedAndDescriptorFormatsWithinTheirLengths) {
    SenseData s;
    std::vector<uint8_t> fixed(18, 0);
    fixed[0] = 0x70;
    fixed[2] = 0x02;
    fixed[7] = 10;
    fixed[12] = 0x04;
    fixed[13] = 0x07;
    fixed[15] = 0x80;
    fixed[16] = 0x80;
    ASSERT_TRUE(ParseSense(fixed.data(), fixed.size(), &s));
    EXPECT_EQ(s.key, 0x02);
    EXPECT_EQ(s.asc, 0x04);
    EXPECT_EQ(s.ascq, 0x07);
    EXPECT_TRUE(s.progressValid);
    EXPECT_EQ(s.progress, 0x8000);

    // Additional length 0: the key stands, the codes beyond it are not the drive's.
    fixed[7] = 0;
    ASSERT_TRUE(ParseSense(fixed.data(), fixed.size(), &s));
    EXPECT_EQ(s.key, 0x02);
    EXPECT_EQ(s.asc, 0);
    EXPECT_FALSE(s.progressValid);

    Transfer three(fixed, 3);
    ASSERT_TRUE(ParseSense(three.data.get(), three.size, &s));
    EXPECT_EQ(s.key, 0x02);

    const auto descriptor = Bytes({0x72, 0x05, 0x24, 0x00, 0, 0, 0, 8, 0x02, 6, 0, 0, 0x80, 0x12,
                                   0x34, 0});
    ASSERT_TRUE(ParseSense(descriptor.data(), descriptor.size(), &s));
    EXPECT_EQ(s.key, 0x05);
    EXPECT_EQ(s.asc, 0x24);
    EXPECT_TRUE(s.progressValid);
    EXPECT_EQ(s.progress, 0x1234);

    // A descriptor claiming more than the sense holds is ignored, not followed.
    auto overlong = descriptor;
    overlong[9] = 200;
    ASSERT_TRUE(ParseSense(overlong.data(), overlong.size(), &s));
    EXPECT_FALSE(s.progressValid);

    const auto unknown = Bytes({0x7F, 0, 5});
    EXPECT_FALSE(ParseSense(unknown.data(), unknown.size(), &s));
}

TEST(ConfigurationParser, FollowsFeaturesOnlyInsideTheTransfer) {
    // Profile list with two profiles (CD-R current), then 002Dh whose length runs past the end.
    auto reply = Bytes({0, 0, 0, 0, 0, 0, 0x00, 0x09,
                        0x00, 0x00, 0x03, 8, 0x00, 0x09, 0x01, 0, 0x00, 0x0A, 0x00, 0,
                        0x00, 0x2D, 0x09, 200, 0x40, 0, 0x3F, 0x0F});
    reply[3] = static_cast<uint8_t>(reply.size() - 4);
    Configuration c;
    ASSERT_TRUE(ParseConfiguration(reply.data(), reply.size(), &c));
    EXPECT_EQ(c.currentProfile, 0x0009);
    ASSERT_EQ(c.profiles.size(), 2u);
    EXPECT_TRUE(c.profiles[0].current);
    EXPECT_TRUE(c.HasProfile(0x000A));
    const Feature* tao = c.Find(0x002D);
    ASSERT_NE(tao, nullptr);
    EXPECT_TRUE(tao->current);
    EXPECT_EQ(tao->data.size(), 4u);  // only the bytes that came
    EXPECT_EQ(tao->Byte(2), 0x3F);
    EXPECT_EQ(tao->Byte(100), 0);

    // The header claims 4 GiB: nothing beyond the transfer is read.
    reply[0] = reply[1] = reply[2] = reply[3] = 0xFF;
    Transfer cut(reply, 22);
    ASSERT_TRUE(ParseConfiguration(cut.data.get(), cut.size, &c));
    EXPECT_EQ(c.dataLength, 0xFFFFFFFFu);
    ASSERT_EQ(c.features.size(), 1u);
    EXPECT_EQ(c.profiles.size(), 2u);

    // A header announcing fewer bytes than came ends the list there.
    reply[0] = reply[1] = reply[2] = 0;
    reply[3] = 4;
    ASSERT_TRUE(ParseConfiguration(reply.data(), reply.size(), &c));
    EXPECT_TRUE(c.features.empty());

    Transfer header(reply, 7);
    EXPECT_FALSE(ParseConfiguration(header.data.get(), header.size, &c));
}

TEST(DiscAndTrackParsers, RefuseAnswersTooShortForTheirFixedFields) {
    std::vector<uint8_t> disc(34, 0);
    disc[1] = 32;
    disc[2] = 0x0E;  // last session complete, finalized
    disc[4] = 2;
    disc[6] = 3;
    disc[8] = 0x20;
    DiscInformation d;
    ASSERT_TRUE(ParseDiscInformation(disc.data(), disc.size(), &d));
    EXPECT_EQ(d.discStatus, 2);
    EXPECT_EQ(d.lastSessionState, 3);
    EXPECT_EQ(d.sessions, 2);
    EXPECT_EQ(d.lastTrackInLastSession, 3);
    EXPECT_EQ(d.discType, 0x20);
    EXPECT_TRUE(d.hasLeadOut);

    disc[1] = 8;  // only 10 bytes announced: the fixed part is missing
    EXPECT_FALSE(ParseDiscInformation(disc.data(), disc.size(), &d));
    disc[1] = 32;
    Transfer shortDisc(disc, 11);
    EXPECT_FALSE(ParseDiscInformation(shortDisc.data.get(), shortDisc.size, &d));
    Transfer noLeadOut(disc, 20);
    ASSERT_TRUE(ParseDiscInformation(noLeadOut.data.get(), noLeadOut.size, &d));
    EXPECT_FALSE(d.hasLeadOut);

    std::vector<uint8_t> track(36, 0);
    track[1] = 34;
    track[2] = 2;
    track[5] = 0x24;  // damaged, data
    track[6] = 0x41;  // blank, mode 1
    track[7] = 0x01;
    track[11] = 0x10;
    track[19] = 0x20;
    TrackInformation t;
    ASSERT_TRUE(ParseTrackInformation(track.data(), track.size(), &t));
    EXPECT_EQ(t.trackNumber, 2);
    EXPECT_TRUE(t.damage);
    EXPECT_TRUE(t.blank);
    EXPECT_TRUE(t.nwaValid);
    EXPECT_EQ(t.start, 0x10);
    EXPECT_EQ(t.freeBlocks, 0x20);
    Transfer shortTrack(track, 27);
    EXPECT_FALSE(ParseTrackInformation(shortTrack.data.get(), shortTrack.size, &t));
}

TEST(TocParsers, CountOnlyWholeEntriesInsideTheTransferAndTheAnnouncedLength) {
    // Announces 99 tracks, delivers two entries and half of a third.
    std::vector<uint8_t> toc = {0x03, 0x1A, 1, 99};
    for (int track : {1, 0xAA}) {
        const std::vector<uint8_t> e = {0, 0x14, static_cast<uint8_t>(track), 0, 0, 0,
                                        static_cast<uint8_t>(track == 1 ? 0 : 0x10), 0};
        toc.insert(toc.end(), e.begin(), e.end());
    }
    toc.insert(toc.end(), {0, 0x14, 5, 0});
    Transfer t(toc, toc.size());
    Toc parsed;
    ASSERT_TRUE(ParseToc(t.data.get(), t.size, &parsed));
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].track, 0xAA);
    EXPECT_EQ(parsed.entries[1].address, 0x1000);
    EXPECT_EQ(parsed.lastTrack, 99);

    toc[0] = 0;
    toc[1] = 10;  // the drive itself says one entry
    ASSERT_TRUE(ParseToc(toc.data(), toc.size(), &parsed));
    EXPECT_EQ(parsed.entries.size(), 1u);

    std::vector<uint8_t> full = {0, 2 + 11 * 2 + 5, 1, 1};
    full.insert(full.end(), {1, 0x14, 0, 0xA0, 0, 0, 0, 0, 1, 0x20, 0});
    full.insert(full.end(), {1, 0x14, 0, 0xA2, 0, 0, 0, 0, 74, 0, 0});
    full.insert(full.end(), {1, 0x14, 0, 0x01, 0});
    FullToc f;
    ASSERT_TRUE(ParseFullToc(full.data(), full.size(), &f));
    ASSERT_EQ(f.entries.size(), 2u);
    EXPECT_EQ(f.entries[0].psec, 0x20);
    EXPECT_EQ(f.entries[1].pmin, 74);

    std::vector<uint8_t> atip(28, 0);
    atip[1] = 26;
    atip[6] = 0x40;
    atip[8] = 97;
    atip[9] = 26;
    atip[10] = 65;
    atip[12] = 79;
    atip[13] = 59;
    atip[14] = 74;
    Atip a;
    ASSERT_TRUE(ParseAtip(atip.data(), atip.size(), &a));
    EXPECT_TRUE(a.rewritable);
    EXPECT_EQ(a.leadInStart, -11635);
    EXPECT_EQ(a.lastPossibleLeadOut, 359849);
    Transfer shortAtip(atip, 14);
    EXPECT_FALSE(ParseAtip(shortAtip.data.get(), shortAtip.size, &a));
}

TEST(ModePageParsers, FindPagesAndDescriptorsWithoutReadingPastTheReply) {
    // Header (block descriptor length 8), one block descriptor, page 2A with 4 speed descriptors
    // announced but only 2 present.
    std::vector<uint8_t> reply(8 + 8, 0);
    reply[7] = 8;
    std::vector<uint8_t> page(40, 0);
    page[0] = 0x2A;
    page[1] = 38;
    page[2] = 0x3B;
    page[3] = 0x37;
    page[12] = 0x08;  // 2048 KB buffer
    page[14] = 0x1B;
    page[15] = 0x90;  // 7056 read
    page[29] = 0xB0;
    page[28] = 0x02;  // 688 current write
    page[31] = 4;
    page[34] = 0x21;
    page[35] = 0x13;
    page[38] = 0x0B;
    page[39] = 0x04;
    reply.insert(reply.end(), page.begin(), page.end());
    reply[1] = static_cast<uint8_t>(reply.size() - 2);

    size_t offset = 0, length = 0;
    ASSERT_TRUE(FindModePage(reply.data(), reply.size(), 0x2A, &offset, &length));
    EXPECT_EQ(offset, 16u);
    EXPECT_EQ(length, 40u);
    Capabilities caps;
    ASSERT_TRUE(ParseCapabilitiesPage(reply.data() + offset, length, &caps));
    EXPECT_TRUE(caps.cdRWrite);
    EXPECT_TRUE(caps.cdRwWrite);
    EXPECT_TRUE(caps.dvdRWrite);
    EXPECT_TRUE(caps.dvdRamWrite);
    EXPECT_EQ(caps.bufferSizeKB, 2048);
    EXPECT_EQ(caps.currentReadSpeed, 7056);
    EXPECT_EQ(caps.currentWriteSpeed, 688);
    EXPECT_EQ(caps.writeSpeeds, (std::vector<uint16_t>{0x2113, 0x0B04}));

    // A page cut by the transfer is reported with the bytes present, and its tail is not read.
    Transfer cut(reply, 16 + 20);
    ASSERT_TRUE(FindModePage(cut.data.get(), cut.size, 0x2A, &offset, &length));
    EXPECT_EQ(length, 20u);
    ASSERT_TRUE(ParseCapabilitiesPage(cut.data.get() + offset, length, &caps));
    EXPECT_TRUE(caps.writeSpeeds.empty());
    EXPECT_EQ(caps.currentWriteSpeed, 0);

    // A block descriptor length pointing beyond the reply finds nothing.
    reply[6] = 0xFF;
    EXPECT_FALSE(FindModePage(reply.data(), reply.size(), 0x2A, &offset, &length));
    reply[6] = 0;
    EXPECT_FALSE(FindModePage(reply.data(), reply.size(), 0x05, &offset, &length));

    const auto write = Bytes({0x05, 0x32, 0x52, 0xC4, 0x08});
    WriteParameters w;
    ASSERT_TRUE(ParseWriteParametersPage(write.data(), write.size(), &w));
    EXPECT_EQ(w.writeType, 2);
    EXPECT_TRUE(w.bufferUnderrunProtection);
    EXPECT_TRUE(w.testWrite);
    EXPECT_EQ(w.multiSession, 3);
    EXPECT_EQ(w.trackMode, 4);
    EXPECT_EQ(w.dataBlockType, 8);
    EXPECT_FALSE(ParseWriteParametersPage(write.data(), 4, &w));
}

TEST(PerformanceParsers, StopAtTheShorterOfTransferAndAnnouncedLength) {
    std::vector<uint8_t> reply(8 + 16 * 2, 0);
    reply[3] = 0xF0;  // claims 15 descriptors
    reply[8 + 11] = 0x10;
    reply[8 + 15] = 0x20;
    reply[24 + 15] = 0x40;
    std::vector<WriteSpeedDescriptor> speeds;
    ASSERT_TRUE(ParseWriteSpeeds(reply.data(), reply.size(), &speeds));
    ASSERT_EQ(speeds.size(), 2u);
    EXPECT_EQ(speeds[0].readSpeed, 0x10u);
    EXPECT_EQ(speeds[0].writeSpeed, 0x20u);
    EXPECT_EQ(speeds[1].writeSpeed, 0x40u);
    reply[3] = 4 + 16;
    ASSERT_TRUE(ParseWriteSpeeds(reply.data(), reply.size(), &speeds));
    EXPECT_EQ(speeds.size(), 1u);
    std::vector<PerformanceDescriptor> perf;
    ASSERT_TRUE(ParsePerformance(reply.data(), reply.size(), &perf));
    EXPECT_EQ(perf.size(), 1u);
    EXPECT_FALSE(ParsePerformance(reply.data(), 7, &perf));
}
