// The reader of a saved raw write's description (first, count, blocksize lines) on any text: what
// it takes is in range, and written back the way the recorder writes it, reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tests/rawdecoder/RawDecoder.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rawdecoder::RawWriteInfo info;
    const rawdecoder::Check c =
        rawdecoder::ParseRawWriteInfo(std::string_view(reinterpret_cast<const char*>(data), size), &info);
    if (!c) {
        Require(!c.reason.empty());
        return 0;
    }
    Require(info.count >= 1 && info.blockSize >= 1);
    char text[96];
    const int n = std::snprintf(text, sizeof text, "first %d\ncount %u\nblocksize %u\n", info.first, info.count,
                                info.blockSize);
    rawdecoder::RawWriteInfo again;
    Require(static_cast<bool>(rawdecoder::ParseRawWriteInfo(std::string_view(text, size_t(n)), &again)));
    Require(again.first == info.first && again.count == info.count && again.blockSize == info.blockSize);
    return 0;
}
