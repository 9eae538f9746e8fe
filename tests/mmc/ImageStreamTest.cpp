#include "burnlib/mmc/ImageStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

using burnlib::mmc::AlignedBuffer;
using burnlib::mmc::ImageSource;
using burnlib::mmc::ImageStream;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uint32_t kBlock = 2048;
constexpr auto kDeadline = 20s;

std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> data(bytes);
    std::mt19937 rng(seed);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    return data;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& data, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(out.good());
}

// A file of its own in the temporary folder, removed at the end.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& data) {
        static std::atomic<unsigned> counter{0};
        const unsigned salt = std::random_device{}();
        m_path = fs::temp_directory_path() /
                 ("quillfire-image-" + std::to_string(salt) + "-" + std::to_string(counter++) + ".iso");
        WriteFile(m_path, data);
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const fs::path& path() const { return m_path; }
    std::string name() const { return m_path.string(); }

private:
    fs::path m_path;
};

std::unique_ptr<ImageStream> OpenOk(const TempFile& file) {
    std::string error = "stale";
    uint32_t systemError = 77;
    auto stream = ImageStream::Open(file.name(), &error, &systemError);
    EXPECT_NE(stream, nullptr) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(systemError, 0u);
    return stream;
}

struct Drained {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> chunkSizes;
    std::set<const uint8_t*> addresses;
    bool misaligned = false;
};

Drained Drain(ImageStream& stream) {
    Drained out;
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    while (stream.Acquire(&data, &bytes)) {
        out.bytes.insert(out.bytes.end(), data, data + bytes);
        out.chunkSizes.push_back(bytes);
        out.addresses.insert(data);
        if (reinterpret_cast<uintptr_t>(data) % AlignedBuffer::kAlignment != 0) out.misaligned = true;
        stream.Release();
    }
    return out;
}

std::vector<uint8_t> PaddedToBlocks(std::vector<uint8_t> data) {
    data.resize((data.size() + kBlock - 1) / kBlock * kBlock, 0);
    return data;
}

// A stream call that never returns cannot be recovered from (its threads would hang the run's
// end), so missing the deadline ends the run with a message.
template <class Future>
void ReadyOrAbort(Future& future, const char* what) {
    if (future.wait_for(kDeadline) != std::future_status::ready) {
        std::fprintf(stderr, "%s (waited %lld s)\n", what, static_cast<long long>(kDeadline.count()));
        std::fflush(stderr);
        std::abort();
    }
}

template <class Work>
auto Within(Work work) {
    auto done = std::async(std::launch::async, work);
    ReadyOrAbort(done, "a stream call did not return");
    return done.get();
}

template <class Condition>
bool PollUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A source a test steers: it fails or stalls at a given offset.
class ScriptedSource final : public ImageSource {
public:
    ScriptedSource(std::vector<uint8_t> data, uint64_t failAt, bool stall)
        : m_data(std::move(data)), m_failAt(failAt), m_stall(stall) {}

    Result Read(uint8_t* into, size_t bytes) override {
        Result result;
        const size_t available = m_data.size() - std::min<size_t>(m_offset, m_data.size());
        size_t count = std::min(bytes, available);
        if (m_offset + count > m_failAt) {
            if (m_stall) {
                std::unique_lock lock(m_gateMutex);
                m_stalled = true;
                m_gate.wait(lock, [&] { return m_open; });
            } else {
                count = static_cast<size_t>(m_failAt - m_offset);
                result.failed = true;
                result.errorNumber = EIO;
                result.systemError = 23;  // ERROR_CRC, as a disc image on a scratched medium gives
            }
        }
        std::copy_n(m_data.begin() + static_cast<ptrdiff_t>(m_offset), count, into);
        m_offset += count;
        result.bytes = count;
        return result;
    }

    bool Stalled() {
        std::lock_guard lock(m_gateMutex);
        return m_stalled;
    }
    void OpenGate() {
        std::lock_guard lock(m_gateMutex);
        m_open = true;
        m_gate.notify_all();
    }

private:
    std::vector<uint8_t> m_data;
    size_t m_offset = 0;
    uint64_t m_failAt;
    bool m_stall;
    std::mutex m_gateMutex;
    std::condition_variable m_gate;
    bool m_stalled = false;
    bool m_open = false;
};

TEST(ImageStreamContent, EverySizeComesBackInOrderPaddedToWholeBlocks) {
    struct Case {
        size_t bytes;
        uint32_t chunk;
        uint64_t ring;
    };
    // Around one block, and many chunks through rings of two and three slots (wrap-around, and
    // the reader waiting for the writer).
    const Case cases[] = {{1, 8192, 65536},           {2047, 8192, 65536},     {2048, 8192, 65536},
                          {2049, 8192, 65536},        {8192, 8192, 65536},     {8193, 8192, 65536},
                          {37 * 8192 + 777, 8192, 16384}, {101 * 2048 + 5, 2048, 3 * 2048},
                          {3 << 20, 65536, 262144}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes, chunks of " << c.chunk << ", ring " << c.ring);
        const std::vector<uint8_t> data = Pattern(c.bytes, seed++);
        TempFile file(data);
        auto stream = OpenOk(file);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->FileBytes(), c.bytes);
        EXPECT_EQ(stream->Blocks(), (c.bytes + kBlock - 1) / kBlock);
        stream->Start(c.chunk, c.ring);
        const Drained out = Drain(*stream);
        EXPECT_FALSE(stream->Failed()) << stream->Error();
        EXPECT_EQ(out.bytes.size(), stream->Blocks() * kBlock);
        EXPECT_TRUE(out.bytes == PaddedToBlocks(data)) << "the bytes differ from the file's";
        for (size_t i = 0; i < out.chunkSizes.size(); ++i) {
            EXPECT_EQ(out.chunkSizes[i] % kBlock, 0u);
            if (i + 1 < out.chunkSizes.size()) {
                EXPECT_EQ(out.chunkSizes[i], c.chunk);
            }
        }
        EXPECT_FALSE(out.misaligned);
        // Memory is the ring's: the chunks come from the same few buffers over and over.
        EXPECT_LE(out.addresses.size(), std::max<uint64_t>(c.ring / c.chunk, 2));
        const uint8_t* data2 = nullptr;
        uint32_t bytes = 99;
        EXPECT_FALSE(stream->Acquire(&data2, &bytes)) << "the end is the end";
        EXPECT_EQ(bytes, 0u);
    }
}

TEST(ImageStreamContent, AnEmptyFileHasNoBlocksAndEndsAtOnce) {
    TempFile file({});
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->FileBytes(), 0u);
    EXPECT_EQ(stream->Blocks(), 0u);
    stream->Start(65536, 1 << 20);
    const Drained out = Within([&] { return Drain(*stream); });
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_FALSE(stream->Failed());
}

TEST(ImageStreamContent, AFileThatGrowsIsReadUpToItsSizeAtOpen) {
    const std::vector<uint8_t> data = Pattern(5000, 7);
    TempFile file(data);
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    WriteFile(file.path(), Pattern(20000, 8), true);
    stream->Start(2048, 2 * 2048);
    const Drained out = Drain(*stream);
    EXPECT_FALSE(stream->Failed()) << stream->Error();
    EXPECT_EQ(stream->Blocks(), 3u);
    EXPECT_TRUE(out.bytes == PaddedToBlocks(data));
}

// A 32-bit file position would wrap here; the file is sparse, so it costs no disk.
TEST(ImageStreamContent, SizesBeyondFourGibibytesAreExact) {
    TempFile file({});
    const uint64_t bytes = (uint64_t{4} << 30) + 2049;
    std::error_code error;
    fs::resize_file(file.path(), bytes, error);
    if (error) GTEST_SKIP() << "no room for a sparse file of 4 GiB: " << error.message();
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->FileBytes(), bytes);
    EXPECT_EQ(stream->Blocks(), (uint64_t{2} << 20) + 2);
    stream->Start(65536, 4 * 65536);
    const uint8_t* data = nullptr;
    uint32_t chunk = 0;
    ASSERT_TRUE(stream->Acquire(&data, &chunk));
    EXPECT_EQ(chunk, 65536u);
    EXPECT_TRUE(std::all_of(data, data + chunk, [](uint8_t b) { return b == 0; }));
}

TEST(ImageStreamFaults, AMissingFileIsNamedWithTheSystemsReason) {
    const fs::path missing = fs::temp_directory_path() / "quillfire-no-such-image.iso";
    std::string error;
    uint32_t systemError = 0;
    EXPECT_EQ(ImageStream::Open(missing.string(), &error, &systemError), nullptr);
    EXPECT_NE(error.find("\"" + missing.string() + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
#ifdef _WIN32
    EXPECT_EQ(systemError, 2u);  // ERROR_FILE_NOT_FOUND
#else
    EXPECT_EQ(systemError, static_cast<uint32_t>(ENOENT));
#endif
}

TEST(ImageStreamFaults, ALockedFileIsNamedWithTheSystemsReason) {
    TempFile file(Pattern(4096, 3));
#ifdef _WIN32
    // Another program holds it open and shares it with no one.
    int holder = -1;
    ASSERT_EQ(_sopen_s(&holder, file.name().c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW, _S_IREAD), 0);
    std::string error;
    uint32_t systemError = 0;
    EXPECT_EQ(ImageStream::Open(file.name(), &error, &systemError), nullptr);
    _close(holder);
    EXPECT_EQ(systemError, 32u) << error;  // ERROR_SHARING_VIOLATION
#else
    fs::permissions(file.path(), fs::perms::none);
    if (std::FILE* probe = std::fopen(file.name().c_str(), "rb")) {
        std::fclose(probe);
        GTEST_SKIP() << "permissions do not lock this user out (superuser)";
    }
    std::string error;
    uint32_t systemError = 0;
    EXPECT_EQ(ImageStream::Open(file.name(), &error, &systemError), nullptr);
    EXPECT_EQ(systemError, static_cast<uint32_t>(EACCES)) << error;
#endif
    EXPECT_NE(error.find("\"" + file.name() + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
}

TEST(ImageStreamFaults, AFolderIsNotAnImage) {
    const fs::path folder = fs::temp_directory_path();
    std::string error;
    uint32_t systemError = 0;
    EXPECT_EQ(ImageStream::Open(folder.string(), &error, &systemError), nullptr);
    EXPECT_NE(error.find(folder.string()), std::string::npos) << error;
}

TEST(ImageStreamFaults, AFileThatShrinksFailsAndNeverEndsAsSuccess) {
    const std::vector<uint8_t> data = Pattern(64 * 8192, 11);
    TempFile file(data);
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    // The ring holds two chunks and nothing is taken yet: the reader cannot be past 16 KiB.
    stream->Start(8192, 2 * 8192);
    fs::resize_file(file.path(), 100000);
    const Drained out = Within([&] { return Drain(*stream); });
    EXPECT_TRUE(stream->Failed());
    EXPECT_LT(out.bytes.size(), data.size());
    EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), data.begin())) << "what came through is the file's";
    const std::string error = stream->Error();
    EXPECT_NE(error.find("became shorter"), std::string::npos) << error;
    EXPECT_NE(error.find(file.name()), std::string::npos) << error;
}

TEST(ImageStreamFaults, AReadErrorFailsTheStreamWithTheSystemsCode) {
    const std::vector<uint8_t> data = Pattern(10 * 4096, 5);
    auto stream = ImageStream::FromSource(std::make_unique<ScriptedSource>(data, 6 * 4096 + 100, false),
                                          data.size(), "disc.iso");
    stream->Start(4096, 4 * 4096);
    const Drained out = Within([&] { return Drain(*stream); });
    EXPECT_TRUE(stream->Failed());
    EXPECT_EQ(stream->SystemError(), 23u);
    EXPECT_LE(out.bytes.size(), 6u * 4096);
    EXPECT_TRUE(std::equal(out.bytes.begin(), out.bytes.end(), data.begin()));
    const std::string error = stream->Error();
    EXPECT_NE(error.find("\"disc.iso\""), std::string::npos) << error;
    EXPECT_NE(error.find("24676"), std::string::npos) << "the failing byte: " << error;
    EXPECT_NE(error.find("system error 23"), std::string::npos) << error;
}

TEST(ImageStreamStop, StopWakesAnAcquireWaitingForTheReader) {
    const std::vector<uint8_t> data = Pattern(8 * 4096, 9);
    auto source = std::make_unique<ScriptedSource>(data, 4096, true);
    ScriptedSource* gate = source.get();
    auto stream = ImageStream::FromSource(std::move(source), data.size(), "slow.iso");
    stream->Start(4096, 4 * 4096);
    std::atomic<int> taken{0};
    auto writer = std::async(std::launch::async, [&] {
        const uint8_t* chunk = nullptr;
        uint32_t bytes = 0;
        while (stream->Acquire(&chunk, &bytes)) {
            ++taken;
            stream->Release();
        }
        return taken.load();
    });
    ASSERT_TRUE(PollUntil([&] { return gate->Stalled() && taken == 1; }));
    // The reader is stuck in a read; the cancel must not wait for it to wake the writer.
    auto stopper = std::async(std::launch::async, [&] { stream->Stop(); });
    ReadyOrAbort(writer, "Acquire did not wake on Stop");
    EXPECT_EQ(writer.get(), 1);
    EXPECT_FALSE(stream->Failed()) << "a cancel is not a failure";
    gate->OpenGate();
    ReadyOrAbort(stopper, "Stop did not end the reader");
}

TEST(ImageStreamStop, StopEndsAReaderWaitingForAFullRing) {
    const std::vector<uint8_t> data = Pattern(64 * 2048, 4);
    TempFile file(data);
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    stream->Start(2048, 2 * 2048);
    const uint8_t* chunk = nullptr;
    uint32_t bytes = 0;
    ASSERT_TRUE(stream->Acquire(&chunk, &bytes));
    // Held, never released: the reader fills the other slot and waits.
    Within([&] { stream->Stop(); });
    EXPECT_FALSE(stream->Acquire(&chunk, &bytes));
    EXPECT_FALSE(stream->Failed());
    Within([&] { stream.reset(); });
}

TEST(ImageStreamStop, StopsFromSeveralThreadsAndTheDestructorAllEndTheReader) {
    const std::vector<uint8_t> data = Pattern(256 * 2048, 6);
    TempFile file(data);
    auto stream = OpenOk(file);
    ASSERT_NE(stream, nullptr);
    stream->Start(2048, 4 * 2048);
    Within([&] {
        auto a = std::async(std::launch::async, [&] { stream->Stop(); });
        auto b = std::async(std::launch::async, [&] { stream->Stop(); });
        stream->Stop();
        a.get();
        b.get();
        stream.reset();
    });
    // A stream never started, and one started and dropped while full, end as well.
    Within([&] {
        auto idle = OpenOk(file);
        auto full = OpenOk(file);
        full->Start(2048, 2 * 2048);
    });
}

}  // namespace
