// Checks of saved raw writes (`<letter>.raw` with `<letter>.txt`, as the virtual recorder keeps
// them): each block decoded and checked in its place on the disc by the recorder's own raw-write
// checker, which rests on the decoder in burnlib/virtual, apart from burnlib/cd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "burnlib/virtual/RawDecoder.h"
#include "burnlib/virtual/RawWriteCheck.h"

namespace rawdecoder {

using namespace burnlib::rawdecoder;

// What `<letter>.txt` says about `<letter>.raw`.
struct RawWriteInfo {
    int32_t first = 0;
    uint32_t count = 0;
    uint32_t blockSize = 0;
};
// Lines "key value" (first, count, blocksize), each once, any order; blank lines and '#'
// comments ignored, unknown keys refused.
Check ParseRawWriteInfo(std::string_view text, RawWriteInfo* out);

struct RawWriteOptions {
    uint32_t minLeadOutBlocks = 6750;  // 90 s after the first session's program area
};

// The data track's user blocks, delivered in order: LBA 0, 1, ...
using UserDataSink = std::function<void(int32_t lba, std::span<const uint8_t, kUserSize> user)>;

// Checks a raw write one block at a time: each block alone (DecodeBlock) and in its place on the
// disc (lead-in TOC, pregap, one Mode 1 track from LBA 0, lead-out after it).
class RawWriteChecker {
public:
    RawWriteChecker(int32_t first, size_t blockSize, RawWriteOptions options = {}, UserDataSink sink = {});
    // The next block in address order. After a failure every later call fails with the same reason.
    Check Feed(std::span<const uint8_t> raw);
    // After the last block: the lead-out was reached and is long enough.
    Check Finish();
    int32_t NextLba() const { return m_disc.NextLba(); }
    int32_t TrackBlocks() const { return m_disc.LeadOutStart(); }  // valid once the lead-in was checked

private:
    Check Fail(const std::string& why);

    size_t m_blockSize;
    RawWriteOptions m_options;
    UserDataSink m_sink;
    burnlib::RawDiscChecker m_disc;
    Check m_failure = Check::Pass();
};

// Checks `count` blocks of a .raw file read in chunks; the file must hold exactly that many.
Check CheckRawWriteFile(const std::filesystem::path& raw, const RawWriteInfo& info, const UserDataSink& sink,
                        RawWriteOptions options = {});
// Reads `<letter>.txt` in the folder, then checks `<letter>.raw` beside it.
Check CheckSavedRawWrite(const std::filesystem::path& folder, char letter, const UserDataSink& sink,
                         RawWriteOptions options = {});

// CheckSavedRawWrite, then the track against the image file, streamed: the track holds the
// image from LBA 0, whole, and nothing but zero bytes after it (padding of its last block and any
// blocks a writer added).
Check CheckSavedRawWriteHoldsImage(const std::filesystem::path& folder, char letter,
                                   const std::filesystem::path& image, RawWriteOptions options = {});

}  // namespace rawdecoder
