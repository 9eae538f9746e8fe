// Q frames of each region of the disc, derived by hand, and the two sub-channel block forms.
#include <gtest/gtest.h>

#include <vector>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/cd/SubChannel.h"

namespace burnlib::cd {
namespace {

using Bytes = std::vector<uint8_t>;

// Ten Q bytes followed by their CRC.
QFrame Q(std::initializer_list<uint8_t> ten) {
    QFrame q{};
    std::copy(ten.begin(), ten.end(), q.begin());
    SealQ(q);
    return q;
}

RawDiscLayout Layout(int32_t trackBlocks) {
    RawDiscLayout layout;
    layout.leadInStart = -11635;
    layout.trackBlocks = trackBlocks;
    return layout;
}

TEST(QCrc, CheckValueAndPublishedFrame) {
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(QCrc(text, 9), 0xCE3C);
    const QFrame q = Q({0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
    EXPECT_EQ(q[10], 0x28);
    EXPECT_EQ(q[11], 0x32);
}

TEST(ProgramAreaQ, TrackPregapAndLeadOut) {
    const RawDiscLayout layout = Layout(1000);
    // Track 1, index 1: relative time = block, absolute = block + 2 s.
    EXPECT_EQ(BlockQ(layout, 0), Q({0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(BlockQ(layout, 999), Q({0x41, 0x01, 0x01, 0x00, 0x13, 0x24, 0x00, 0x00, 0x15, 0x24}));
    // Pregap: index 0, the relative time counting down to zero on its last block.
    EXPECT_EQ(BlockQ(layout, -150), Q({0x41, 0x01, 0x00, 0x00, 0x01, 0x74, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(BlockQ(layout, -1), Q({0x41, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x74}));
    // Lead-out: track AA, index 1, relative time from zero, absolute time running on.
    EXPECT_EQ(BlockQ(layout, 1000), Q({0x41, 0xAA, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x15, 0x25}));
    EXPECT_EQ(BlockQ(layout, 1000 + 6749), Q({0x41, 0xAA, 0x01, 0x01, 0x29, 0x74, 0x00, 0x01, 0x45, 0x24}));
}

TEST(ProgramAreaQ, CopyPermittedSetsTheCopyBit) {
    RawDiscLayout layout = Layout(1000);
    layout.copyPermitted = true;
    EXPECT_EQ(BlockQ(layout, 0)[0], 0x61);
    EXPECT_EQ(BlockQ(layout, -11635)[0], 0x61);
}

TEST(LeadInQ, TocItemsRepeatThreeTimesAndCycle) {
    // 74:02:00 of user data: the lead-out starts at 333000 + 150 frames = 74:02:00.
    const RawDiscLayout layout = Layout(333000);
    const int32_t s = layout.leadInStart;
    const QFrame point1 = Q({0x41, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
    EXPECT_EQ(BlockQ(layout, s), point1);
    EXPECT_EQ(BlockQ(layout, s + 1), Q({0x41, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(BlockQ(layout, s + 2), Q({0x41, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(BlockQ(layout, s + 3), Q({0x41, 0x00, 0xA0, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(BlockQ(layout, s + 6), Q({0x41, 0x00, 0xA1, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(BlockQ(layout, s + 11), Q({0x41, 0x00, 0xA2, 0x00, 0x00, 0x11, 0x00, 0x74, 0x02, 0x00}));
    EXPECT_EQ(BlockQ(layout, s + 12), Q({0x41, 0x00, 0x01, 0x00, 0x00, 0x12, 0x00, 0x00, 0x02, 0x00}));
    // Last lead-in block: 11484 blocks in = 02:33:09, item (11484 / 3) % 4 = 0 -> POINT 01.
    EXPECT_EQ(BlockQ(layout, -151), Q({0x41, 0x00, 0x01, 0x02, 0x33, 0x09, 0x00, 0x00, 0x02, 0x00}));
}

TEST(LeadInQ, DiscTypeInPointA0) {
    RawDiscLayout layout = Layout(1000);
    layout.discType = DiscType::CdRomXa;
    EXPECT_EQ(BlockQ(layout, layout.leadInStart + 4), Q({0x41, 0x00, 0xA0, 0x00, 0x00, 0x04, 0x00, 0x01, 0x20, 0x00}));
}

TEST(PChannel, PerRegion) {
    const RawDiscLayout layout = Layout(1000);
    EXPECT_FALSE(BlockP(layout, layout.leadInStart));
    EXPECT_FALSE(BlockP(layout, -151));
    EXPECT_TRUE(BlockP(layout, -150));
    EXPECT_TRUE(BlockP(layout, -1));
    EXPECT_FALSE(BlockP(layout, 0));
    EXPECT_FALSE(BlockP(layout, 999));
    // Lead-out: 2 Hz, half on, starting on: over one second (75 blocks) blocks 0..18 and 38..56.
    for (int32_t n = 0; n < 150; ++n) {
        const int32_t inSecond = n % 75;
        const bool on = inSecond <= 18 || (inSecond >= 38 && inSecond <= 56);
        EXPECT_EQ(BlockP(layout, 1000 + n), on) << n;
    }
}

TEST(SubchannelBlocks, Pq16) {
    const QFrame q = Q({0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
    uint8_t out[kPq16Size];
    PackPq16(q, true, out);
    EXPECT_EQ(Bytes(out, out + 16), (Bytes{0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x28, 0x32,
                                           0x00, 0x00, 0x00, 0x80}));
    PackPq16(q, false, out);
    EXPECT_EQ(out[15], 0x00);
}

TEST(SubchannelBlocks, Pw96InterleavesOneBitPerByte) {
    const QFrame q = Q({0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
    uint8_t out[kPw96Size];
    PackPw96(q, false, out);
    // 0x41 = 0100 0001: bits 1 and 7 of the first eight bytes.
    EXPECT_EQ(Bytes(out, out + 8), (Bytes{0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}));
    // 0x28 (CRC high byte, Q byte 10) = 0010 1000.
    EXPECT_EQ(Bytes(out + 80, out + 88), (Bytes{0x00, 0x00, 0x40, 0x00, 0x40, 0x00, 0x00, 0x00}));
    for (size_t i = 0; i < kPw96Size; ++i) {
        const uint8_t qBit = q[i / 8] >> (7 - i % 8) & 1;
        EXPECT_EQ(out[i], qBit << 6) << i;
    }
    PackPw96(q, true, out);
    for (size_t i = 0; i < kPw96Size; ++i) EXPECT_EQ(out[i] & 0xBF, 0x80) << i;
}

}  // namespace
}  // namespace burnlib::cd
