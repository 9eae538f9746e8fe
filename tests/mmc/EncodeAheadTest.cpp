#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "burnlib/mmc/EncodeAhead.h"

using namespace burnlib;

namespace {

cd::RawDiscLayout SmallDisc() {
    cd::RawDiscLayout layout;
    layout.leadInStart = -150 - 24;
    layout.trackBlocks = cd::kMinTrackBlocks;
    layout.subchannel = cd::Subchannel::Pw96;
    return layout;
}

std::vector<uint8_t> TrackData(const cd::RawDiscLayout& layout) {
    std::vector<uint8_t> data(static_cast<size_t>(layout.trackBlocks) * 2048);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    return data;
}

// The user data a batch from lba takes: track blocks from max(lba, 0).
const uint8_t* UserDataAt(const std::vector<uint8_t>& track, int32_t lba, uint32_t count,
                          const cd::RawDiscLayout& layout) {
    if (cd::TrackBlocksIn(layout, lba, count) == 0) return nullptr;
    return track.data() + static_cast<size_t>(lba < 0 ? 0 : lba) * 2048;
}

}  // namespace

// The writer sends one batch while the next is built: what Take gave must stay as built until the
// writer takes the next one, and every batch must be the blocks of its range.
TEST(EncodeAhead, EachBatchStaysIntactWhileTheNextIsBuilt) {
    const cd::RawDiscLayout layout = SmallDisc();
    ASSERT_TRUE(cd::IsValidLayout(layout));
    const std::vector<uint8_t> track = TrackData(layout);
    const size_t blockSize = cd::RawBlockSize(layout.subchannel);
    constexpr uint32_t kBatch = 26;
    mmc::EncodeAhead ahead(layout, cd::BestKernel(), kBatch * blockSize);

    const auto expected = [&](int32_t lba) {
        std::vector<uint8_t> out(kBatch * blockSize);
        EXPECT_TRUE(cd::GenerateRawBlocks(layout, lba, kBatch, UserDataAt(track, lba, kBatch, layout), out.data()));
        return out;
    };
    // Batches across the lead-in, the pregap and into the track.
    int32_t lba = layout.leadInStart;
    ahead.Start(lba, kBatch, UserDataAt(track, lba, kBatch, layout));
    const uint8_t* previous = ahead.Take();
    ASSERT_NE(previous, nullptr);
    for (int i = 0; i < 12; ++i) {
        const int32_t next = lba + static_cast<int32_t>(kBatch);
        ahead.Start(next, kBatch, UserDataAt(track, next, kBatch, layout));
        const uint8_t* current = ahead.Take();
        ASSERT_NE(current, nullptr);
        ASSERT_EQ(std::memcmp(previous, expected(lba).data(), kBatch * blockSize), 0) << "batch from " << lba;
        ASSERT_EQ(std::memcmp(current, expected(next).data(), kBatch * blockSize), 0) << "batch from " << next;
        previous = current;
        lba = next;
    }
}

TEST(EncodeAhead, BlocksThatCannotBeBuiltGiveNothing) {
    const cd::RawDiscLayout layout = SmallDisc();
    mmc::EncodeAhead ahead(layout, cd::BestKernel(), 4 * cd::RawBlockSize(layout.subchannel));
    ahead.Start(cd::DiscEnd(layout) - 2, 4, nullptr);  // runs past the disc's end
    EXPECT_EQ(ahead.Take(), nullptr);

    // A build still running when the writer gives up ends before its user data may go.
    auto track = std::make_unique<std::vector<uint8_t>>(TrackData(layout));
    {
        mmc::EncodeAhead abandoned(layout, cd::BestKernel(), 4 * cd::RawBlockSize(layout.subchannel));
        abandoned.Start(0, 4, track->data());
    }
    track.reset();
}
