// Streaming a whole disc through GenerateRawBlocks in batches: region boundaries, block sizes,
// user data placement and the ranges it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "burnlib/cd/RawDisc.h"

namespace burnlib::cd {
namespace {

// First scrambler bytes over the header (bytes 12..15).
constexpr uint8_t kHeaderScramble[4] = {0x01, 0x80, 0x00, 0x60};

RawDiscLayout SmallDisc(Subchannel subchannel) {
    RawDiscLayout layout;
    layout.leadInStart = -400;
    layout.trackBlocks = 310;
    layout.leadOutBlocks = 90;
    layout.subchannel = subchannel;
    return layout;
}

std::vector<uint8_t> UserData(int32_t blocks) {
    std::vector<uint8_t> data(static_cast<size_t>(blocks) * kUserDataSize);
    for (int32_t b = 0; b < blocks; ++b)
        for (size_t i = 0; i < kUserDataSize; ++i)
            data[b * kUserDataSize + i] = static_cast<uint8_t>(b * 3 + i * 7 + (i >> 8));
    return data;
}

// The Q frame read back from a sub-channel block.
QFrame ReadQ(const uint8_t* sub, Subchannel subchannel) {
    QFrame q{};
    if (subchannel == Subchannel::Pq16) {
        std::memcpy(q.data(), sub, q.size());
    } else {
        for (size_t i = 0; i < kPw96Size; ++i) q[i / 8] |= static_cast<uint8_t>((sub[i] >> 6 & 1) << (7 - i % 8));
    }
    return q;
}

class RawDiscStream : public ::testing::TestWithParam<Subchannel> {};

TEST_P(RawDiscStream, BatchesOfAnySizeBuildTheSameDisc) {
    const RawDiscLayout layout = SmallDisc(GetParam());
    const size_t blockSize = RawBlockSize(layout.subchannel);
    const int32_t total = DiscEnd(layout) - layout.leadInStart;
    const std::vector<uint8_t> user = UserData(layout.trackBlocks);

    std::vector<uint8_t> whole(static_cast<size_t>(total) * blockSize);
    ASSERT_TRUE(GenerateRawBlocks(layout, layout.leadInStart, total, user.data(), whole.data()));

    // Batches of 1, 7, 27, 150 ... blocks straddle every region boundary somewhere.
    for (uint32_t batch : {1u, 7u, 27u, 150u, 251u}) {
        std::vector<uint8_t> streamed(whole.size(), 0xEE);
        const uint8_t* next = user.data();
        for (int32_t lba = layout.leadInStart; lba < DiscEnd(layout);) {
            const uint32_t n = std::min<uint32_t>(batch, DiscEnd(layout) - lba);
            const uint32_t tracks = TrackBlocksIn(layout, lba, n);
            ASSERT_TRUE(GenerateRawBlocks(layout, lba, n, tracks ? next : nullptr,
                                          streamed.data() + (lba - layout.leadInStart) * blockSize));
            next += tracks * kUserDataSize;
            lba += static_cast<int32_t>(n);
        }
        EXPECT_EQ(next, user.data() + user.size());
        ASSERT_EQ(streamed, whole) << "batch " << batch;
    }
}

TEST_P(RawDiscStream, EachBlockCarriesItsAddressDataAndSubchannel) {
    const RawDiscLayout layout = SmallDisc(GetParam());
    const size_t blockSize = RawBlockSize(layout.subchannel);
    EXPECT_EQ(blockSize, GetParam() == Subchannel::Pq16 ? 2368u : 2448u);
    const std::vector<uint8_t> user = UserData(layout.trackBlocks);
    // Around each boundary: lead-in/pregap, pregap/track, track/lead-out, and the disc's ends.
    struct Window {
        int32_t first;
        uint32_t count;
    };
    for (const Window& w : {Window{-400, 3}, Window{-153, 6}, Window{-3, 6}, Window{307, 6}, Window{397, 3}}) {
        std::vector<uint8_t> out(w.count * blockSize);
        const uint32_t tracks = TrackBlocksIn(layout, w.first, w.count);
        const uint8_t* data = tracks ? user.data() + std::max(w.first, 0) * kUserDataSize : nullptr;
        ASSERT_TRUE(GenerateRawBlocks(layout, w.first, w.count, data, out.data()));
        for (uint32_t i = 0; i < w.count; ++i) {
            const int32_t lba = w.first + static_cast<int32_t>(i);
            const uint8_t* block = out.data() + i * blockSize;
            const Msf msf = ToBcd(LbaToMsf(lba));
            const uint8_t header[4] = {msf.minute, msf.second, msf.frame, 0x01};
            for (int k = 0; k < 4; ++k) EXPECT_EQ(block[12 + k] ^ kHeaderScramble[k], header[k]) << lba;
            uint8_t sector[kRawSectorSize];
            const bool track = lba >= 0 && lba < layout.trackBlocks;
            EncodeMode1Sector(lba, track ? user.data() + lba * kUserDataSize : nullptr, sector);
            EXPECT_EQ(std::memcmp(block, sector, kRawSectorSize), 0) << lba;
            const uint8_t* sub = block + kRawSectorSize;
            EXPECT_EQ(ReadQ(sub, layout.subchannel), BlockQ(layout, lba)) << lba;
            const bool p = layout.subchannel == Subchannel::Pq16 ? (sub[15] & 0x80) != 0 : (sub[0] & 0x80) != 0;
            EXPECT_EQ(p, BlockP(layout, lba)) << lba;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Both, RawDiscStream, ::testing::Values(Subchannel::Pq16, Subchannel::Pw96),
                         [](const auto& info) { return info.param == Subchannel::Pq16 ? "Pq16" : "Pw96"; });

TEST(RawDisc, RegionsAndTrackBlockCounts) {
    const RawDiscLayout layout = SmallDisc(Subchannel::Pq16);
    EXPECT_EQ(RegionOf(layout, -400), Region::LeadIn);
    EXPECT_EQ(RegionOf(layout, -151), Region::LeadIn);
    EXPECT_EQ(RegionOf(layout, -150), Region::Pregap);
    EXPECT_EQ(RegionOf(layout, -1), Region::Pregap);
    EXPECT_EQ(RegionOf(layout, 0), Region::Track);
    EXPECT_EQ(RegionOf(layout, 309), Region::Track);
    EXPECT_EQ(RegionOf(layout, 310), Region::LeadOut);
    EXPECT_EQ(DiscEnd(layout), 400);
    EXPECT_EQ(TrackBlocksIn(layout, -400, 250), 0u);
    EXPECT_EQ(TrackBlocksIn(layout, -5, 10), 5u);
    EXPECT_EQ(TrackBlocksIn(layout, 300, 50), 10u);
    EXPECT_EQ(TrackBlocksIn(layout, -400, 800), 310u);
}

TEST(RawDisc, RefusesRangesOffTheDiscAndBadLayouts) {
    const RawDiscLayout layout = SmallDisc(Subchannel::Pw96);
    std::vector<uint8_t> user = UserData(layout.trackBlocks);
    std::vector<uint8_t> out(4 * RawBlockSize(layout.subchannel), 0x5A);
    const std::vector<uint8_t> untouched = out;
    EXPECT_FALSE(GenerateRawBlocks(layout, -401, 2, nullptr, out.data()));  // before the lead-in
    EXPECT_FALSE(GenerateRawBlocks(layout, 398, 3, nullptr, out.data()));   // past the lead-out
    EXPECT_FALSE(GenerateRawBlocks(layout, -2, 4, nullptr, out.data()));    // track blocks, no data
    EXPECT_EQ(out, untouched);
    EXPECT_TRUE(GenerateRawBlocks(layout, 398, 2, nullptr, out.data()));
    EXPECT_TRUE(GenerateRawBlocks(layout, 0, 0, nullptr, out.data()));

    auto invalid = [&](auto change) {
        RawDiscLayout bad = layout;
        change(bad);
        EXPECT_FALSE(IsValidLayout(bad));
        return GenerateRawBlocks(bad, 0, 1, user.data(), out.data());
    };
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.leadInStart = -150; }));       // no lead-in
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.leadInStart = -45151; }));     // below 90:00:00
    // A lead-in must give POINT 01, A0, A1 and A2 three blocks each at least once: a drive's
    // ATIP claiming a later start would otherwise give a disc without a table of contents.
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.leadInStart = -151; }));
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.leadInStart = -161; }));
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.trackBlocks = 299; }));        // under 4 s
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.leadOutBlocks = 0; }));
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.trackBlocks = 404850 - 90 + 1; }));  // reaches 90:00:00
    EXPECT_FALSE(invalid([](RawDiscLayout& l) { l.discType = static_cast<DiscType>(0x30); }));
    RawDiscLayout longest = layout;
    longest.trackBlocks = 404850 - 90;
    EXPECT_TRUE(IsValidLayout(longest));
    RawDiscLayout shortestLeadIn = layout;
    shortestLeadIn.leadInStart = -162;
    EXPECT_TRUE(IsValidLayout(shortestLeadIn));
    EXPECT_TRUE(IsValidLayout(RawDiscLayout{-45150, 300, 6750, Subchannel::Pq16, DiscType::CdRom, false}));
}

}  // namespace
}  // namespace burnlib::cd
