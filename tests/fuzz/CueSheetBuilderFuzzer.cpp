// The engine's cue sheet of one data track against the recorder's reader, over any track length,
// Q control nibble and disc size: a track the disc holds gives a sheet the reader takes, with the
// layout asked for; any other gives a sheet it refuses, never one it reads differently.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/virtual/RawWriteCheck.h"

using namespace burnlib;

namespace {

char g_context[512];

void Require(bool condition) {
    if (condition) return;
    std::fprintf(stderr, "%s\n", g_context);
    std::abort();
}

constexpr int32_t kMinTrack = 300;                 // 4 s
constexpr int32_t kProgramAreaEnd = 404850;        // 90:00:00 less the 2 s before block 0
constexpr int32_t kCdR80LastLeadOut = 359849;      // 79:59:74

// Lengths near the edges that matter more often than a uniform pick would give. A length is never
// negative: the engine's tracks are at least 300 blocks and end below 2^31.
int32_t PickLength(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegralInRange<int32_t>(kMinTrack - 8, kMinTrack + 8);
    case 1: return in.ConsumeIntegralInRange<int32_t>(kCdR80LastLeadOut - 8, kProgramAreaEnd + 8);
    case 2: return in.ConsumeIntegralInRange<int32_t>(0, 450000);
    default: return in.ConsumeIntegralInRange<int32_t>(0, INT32_MAX);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t control = in.ConsumeIntegralInRange<uint8_t>(0, 15);
    const int32_t trackBlocks = PickLength(in);
    const int32_t lastLeadOut = in.ConsumeBool() ? kCdR80LastLeadOut : PickLength(in);

    const std::vector<uint8_t> sheet = mmc::SingleTrackCueSheet(trackBlocks, control);
    Require(sheet.size() == 32);
    CueLayout layout;
    const RawVerdict verdict = ParseCueSheet(sheet.data(), sheet.size(), lastLeadOut, &layout);
    // Said when a check fails, so a finding reads without a debugger.
    std::snprintf(g_context, sizeof g_context, "control %u, track %d blocks, last lead-out %d: %s",
                  control, trackBlocks, lastLeadOut, verdict.Ok() ? "taken" : verdict.reason.c_str());

    const bool dataTrack = control == 4 || control == 6;
    const bool fits = trackBlocks >= kMinTrack && trackBlocks <= lastLeadOut && trackBlocks < kProgramAreaEnd;
    if (!dataTrack || !fits) {
        Require(!verdict.Ok());
        // A data track too long for this disc but still an address of the program area is
        // refused for its lead-out, as a drive does.
        if (dataTrack && trackBlocks >= kMinTrack && trackBlocks < kProgramAreaEnd)
            Require(verdict.asc == 0x21 && verdict.ascq == 0x00);
        return 0;
    }
    Require(verdict.Ok());
    Require(layout.pregapStart == -150 && layout.trackStart == 0 && layout.leadOutStart == trackBlocks);
    Require(layout.control == control && layout.dataForm == 0x10 && !layout.cdTextInLeadIn);
    return 0;
}
