// The recorder's cue sheet reader on arbitrary bytes. A sheet it takes must describe a disc it
// can burn, and a plain sheet (four entries, no catalogue number, ISRC, further index or CD-TEXT)
// must be exactly the one the engine builds for that track.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "burnlib/mmc/WriteFlows.h"
#include "burnlib/virtual/RawWriteCheck.h"

using namespace burnlib;

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    int32_t lastLeadOut = 0;
    std::memcpy(&lastLeadOut, data, 4);
    const uint8_t* sheet = data + 4;
    const size_t length = size - 4;

    CueLayout layout;
    layout.trackStart = -12345;  // must stay untouched on a refusal
    const RawVerdict verdict = ParseCueSheet(length ? sheet : nullptr, length, lastLeadOut, &layout);
    if (!verdict.Ok()) {
        Require(layout.trackStart == -12345);
        Require(verdict.key == 0x05 && !verdict.reason.empty());
        Require(verdict.asc == 0x1A || verdict.asc == 0x26 || verdict.asc == 0x21);
        return 0;
    }
    Require(length >= 32 && length % 8 == 0);
    Require(layout.pregapStart == -150 && layout.trackStart >= 0);
    Require(layout.leadOutStart - layout.trackStart >= 300 && layout.leadOutStart <= lastLeadOut);
    Require(layout.control == 4 || layout.control == 6);
    Require(layout.dataForm == 0x10);

    bool plain = length == 32 && layout.trackStart == 0 && !layout.cdTextInLeadIn;
    for (size_t i = 0; i < 4 && plain; ++i) plain = sheet[i * 8 + 4] == 0;  // no SCMS
    if (plain) {
        const std::vector<uint8_t> built = mmc::SingleTrackCueSheet(layout.leadOutStart, layout.control);
        Require(built.size() == length && std::memcmp(built.data(), sheet, length) == 0);
    }
    return 0;
}
