// Every block of a raw disc as the engine builds it (lead-in with its table of contents, pregap,
// track, lead-out), in batches of any size with any encoder, checked block by block by the
// recorder's raw-write checker. Any block it refuses is a fault of one or the other; the user data
// it gets back must be the data given. Discs are kept short so each run stays quick: a short
// lead-in, a track of about the 300-block minimum and a cut lead-out, now and then longer ones.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/virtual/RawWriteCheck.h"

using namespace burnlib;

namespace {

char g_layout[160];

void Require(bool condition, const char* why = "") {
    if (condition) return;
    std::fprintf(stderr, "%s: %s\n", g_layout, why);
    std::abort();
}

constexpr uint8_t kGuard = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    cd::RawDiscLayout layout;
    // Mostly small discs; now and then a longer lead-in, track or lead-out, rarely a full one.
    const bool longer = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    const int32_t leadInBlocks = in.ConsumeIntegralInRange<int32_t>(1, longer ? 400 : 48);
    if (leadInBlocks < cd::kMinLeadInBlocks) {  // no room for the table of contents
        layout.leadInStart = -cd::kPregapBlocks - leadInBlocks;
        layout.trackBlocks = cd::kMinTrackBlocks;
        Require(!cd::IsValidLayout(layout), "a lead-in too short for the TOC taken");
        return 0;
    }
    layout.leadInStart = -cd::kPregapBlocks - leadInBlocks;
    layout.trackBlocks =
        in.ConsumeIntegralInRange<int32_t>(cd::kMinTrackBlocks, cd::kMinTrackBlocks + (longer ? 200 : 10));
    layout.leadOutBlocks = in.ConsumeIntegralInRange<int32_t>(1, longer ? 300 : 20);
    if (longer && in.ConsumeIntegralInRange<int>(0, 31) == 0)
        layout.leadOutBlocks = cd::kFirstSessionLeadOutBlocks;
    layout.subchannel = in.ConsumeBool() ? cd::Subchannel::Pw96 : cd::Subchannel::Pq16;
    layout.copyPermitted = in.ConsumeBool();
    const std::span<const cd::Kernel> kernels = cd::AvailableKernels();
    const cd::Kernel kernel = kernels[in.ConsumeIntegralInRange<size_t>(0, kernels.size() - 1)];
    const uint32_t maxBatch = in.ConsumeIntegralInRange<uint32_t>(1, 40);
    std::snprintf(g_layout, sizeof g_layout, "lead-in from %d, %d track blocks, %d lead-out blocks, %s, %s, %s",
                  layout.leadInStart, layout.trackBlocks, layout.leadOutBlocks,
                  layout.subchannel == cd::Subchannel::Pw96 ? "P-W" : "P-Q",
                  layout.copyPermitted ? "copy permitted" : "no copy", cd::KernelName(kernel));
    Require(cd::IsValidLayout(layout));

    // The image: the rest of the input, repeated over the track, with each block's number in
    // its first bytes so a block delivered out of place shows.
    const std::vector<uint8_t> seed = in.ConsumeRemainingBytes<uint8_t>();
    std::vector<uint8_t> image(size_t(layout.trackBlocks) * cd::kUserDataSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = seed.empty() ? uint8_t(i * 7) : seed[i % seed.size()];
    for (int32_t b = 0; b < layout.trackBlocks; ++b) std::memcpy(&image[size_t(b) * cd::kUserDataSize], &b, 4);

    const size_t blockSize = cd::RawBlockSize(layout.subchannel);
    const uint8_t dataBlockType = layout.subchannel == cd::Subchannel::Pw96 ? 3 : 1;
    RawDiscChecker checker(layout.leadInStart, dataBlockType);
    Require(checker.BlockSize() == blockSize);

    // A range that leaves the disc is refused and writes nothing.
    std::vector<uint8_t> guard(blockSize * 2, kGuard);
    Require(!cd::GenerateRawBlocks(layout, layout.leadInStart - 1, 2, nullptr, guard.data(), kernel));
    Require(!cd::GenerateRawBlocks(layout, cd::DiscEnd(layout) - 1, 2, nullptr, guard.data(), kernel));
    for (uint8_t b : guard) Require(b == kGuard);

    const int32_t end = cd::DiscEnd(layout);
    std::vector<uint8_t> blocks(blockSize * maxBatch + 1);
    std::vector<uint8_t> user(cd::kUserDataSize);
    uint32_t batch = 1;
    for (int32_t lba = layout.leadInStart; lba < end;) {
        batch = batch % maxBatch + 1;  // sizes cycle, so batch edges fall everywhere
        const uint32_t n = std::min<uint32_t>(batch, static_cast<uint32_t>(end - lba));
        const uint32_t trackIn = cd::TrackBlocksIn(layout, lba, n);
        const uint8_t* userData = trackIn ? &image[size_t(std::max(lba, 0)) * cd::kUserDataSize] : nullptr;
        blocks[blockSize * n] = kGuard;
        Require(cd::GenerateRawBlocks(layout, lba, n, userData, blocks.data(), kernel));
        Require(blocks[blockSize * n] == kGuard);
        for (uint32_t i = 0; i < n; ++i, ++lba) {
            bool isUser = false;
            const RawVerdict verdict = checker.Check(lba, &blocks[blockSize * i], user.data(), &isUser);
            Require(verdict.Ok(), verdict.reason.c_str());
            Require(isUser == (lba >= 0 && lba < layout.trackBlocks));
            if (isUser)
                Require(std::memcmp(user.data(), &image[size_t(lba) * cd::kUserDataSize], cd::kUserDataSize) == 0);
        }
    }
    Require(checker.LayoutKnown() && checker.LeadOutStart() == layout.trackBlocks);
    Require(checker.TrackControl() == (layout.copyPermitted ? 6 : 4));
    Require(checker.NextLba() == end && checker.LeadOutBlocksWritten() == layout.leadOutBlocks);
    Require(checker.Complete() == (layout.leadOutBlocks >= cd::kFirstSessionLeadOutBlocks));
    return 0;
}
