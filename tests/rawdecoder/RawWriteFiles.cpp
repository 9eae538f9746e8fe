#include "tests/rawdecoder/RawDecoder.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

namespace rawdecoder {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

Check ParseRawWriteInfo(std::string_view text, RawWriteInfo* out) {
    struct Key {
        const char* name;
        int64_t min, max;
        int64_t value = 0;
        bool seen = false;
    };
    Key keys[] = {
        {"first", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
        {"count", 1, std::numeric_limits<uint32_t>::max()},
        {"blocksize", 1, std::numeric_limits<uint32_t>::max()},
    };
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";

        size_t gap = line.find_first_of(" \t");
        std::string_view name = line.substr(0, gap);
        std::string_view value = gap == std::string_view::npos ? std::string_view() : Trim(line.substr(gap));
        Key* key = nullptr;
        for (Key& k : keys)
            if (name == k.name) key = &k;
        if (!key) return Check::Fail(where + "unknown key '" + std::string(name) + "'");
        if (key->seen) return Check::Fail(where + "'" + key->name + "' given twice");
        int64_t number = 0;
        auto [next, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || error != std::errc() || next != value.data() + value.size())
            return Check::Fail(where + "'" + key->name + "' needs a whole number, not '" + std::string(value) + "'");
        if (number < key->min || number > key->max)
            return Check::Fail(where + "'" + key->name + "' is out of range: " + std::to_string(number));
        key->value = number;
        key->seen = true;
    }
    for (const Key& k : keys)
        if (!k.seen) return Check::Fail(std::string("'") + k.name + "' is missing");
    out->first = static_cast<int32_t>(keys[0].value);
    out->count = static_cast<uint32_t>(keys[1].value);
    out->blockSize = static_cast<uint32_t>(keys[2].value);
    return Check::Pass();
}

Check CheckRawWriteFile(const std::filesystem::path& raw, const RawWriteInfo& info, const UserDataSink& sink,
                        RawWriteOptions options) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(raw, error);
    if (error) return Check::Fail(raw.string() + ": " + error.message());
    if (size != static_cast<uintmax_t>(info.count) * info.blockSize)
        return Check::Fail(raw.string() + " holds " + std::to_string(size) + " bytes, not " +
                           std::to_string(info.count) + " blocks of " + std::to_string(info.blockSize));
    if (info.blockSize != kPqBlockSize && info.blockSize != kPwBlockSize)
        return Check::Fail("block size " + std::to_string(info.blockSize) + " is not a raw block with sub-channel");
    std::ifstream file(raw, std::ios::binary);
    if (!file) return Check::Fail(raw.string() + ": cannot open");

    RawWriteChecker checker(info.first, info.blockSize, options, sink);
    constexpr uint32_t kChunkBlocks = 64;
    std::vector<uint8_t> chunk(static_cast<size_t>(kChunkBlocks) * info.blockSize);
    for (uint32_t done = 0; done < info.count;) {
        uint32_t blocks = std::min(kChunkBlocks, info.count - done);
        size_t bytes = static_cast<size_t>(blocks) * info.blockSize;
        if (!file.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(bytes)))
            return Check::Fail(raw.string() + ": read failed after " + std::to_string(done) + " blocks");
        for (uint32_t i = 0; i < blocks; ++i)
            if (Check c = checker.Feed(std::span<const uint8_t>(chunk).subspan(i * info.blockSize, info.blockSize)); !c)
                return c;
        done += blocks;
    }
    return checker.Finish();
}

Check CheckSavedRawWrite(const std::filesystem::path& folder, char letter, const UserDataSink& sink,
                         RawWriteOptions options) {
    const std::filesystem::path txt = folder / (std::string(1, letter) + ".txt");
    std::ifstream file(txt, std::ios::binary);
    if (!file) return Check::Fail(txt.string() + ": cannot open");
    std::ostringstream text;
    text << file.rdbuf();
    RawWriteInfo info;
    if (Check c = ParseRawWriteInfo(text.str(), &info); !c) return Check::Fail(txt.string() + ": " + c.reason);
    return CheckRawWriteFile(folder / (std::string(1, letter) + ".raw"), info, sink, options);
}

Check CheckSavedRawWriteHoldsImage(const std::filesystem::path& folder, char letter,
                                   const std::filesystem::path& image, RawWriteOptions options) {
    std::ifstream file(image, std::ios::binary);
    if (!file) return Check::Fail(image.string() + ": cannot open");
    Check mismatch = Check::Pass();
    uint64_t compared = 0;
    std::array<uint8_t, kUserSize> expected{};
    auto sink = [&](int32_t lba, std::span<const uint8_t, kUserSize> user) {
        if (!mismatch) return;
        expected.fill(0);
        file.read(reinterpret_cast<char*>(expected.data()), kUserSize);
        compared += static_cast<uint64_t>(file.gcount());
        for (size_t i = 0; i < kUserSize; ++i)
            if (user[i] != expected[i]) {
                mismatch = Check::Fail("LBA " + std::to_string(lba) + " byte " + std::to_string(i) +
                                       " differs from the image");
                return;
            }
    };
    if (Check c = CheckSavedRawWrite(folder, letter, sink, options); !c) return c;
    if (!mismatch) return mismatch;
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(image, error);
    if (error || compared != size)
        return Check::Fail("the track holds " + std::to_string(compared) + " bytes of the image, not " +
                           std::to_string(size));
    return Check::Pass();
}

}  // namespace rawdecoder
