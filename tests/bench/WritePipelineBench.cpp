// Figures for the write pipeline's source side: how fast the image stream hands a large image to
// the writer, against a plain unbuffered read of the same file, and the process's peak resident
// memory while it does (Linux; "n/a" elsewhere). The writer here takes each chunk and gives it
// back at once, so the stream's own cost shows. Run it twice or after a warm-up read to measure
// the page cache rather than the disk.
//   write_pipeline_bench <image> [--tsv]
// --tsv prints one row a line: what, MB/s, peak resident MiB (for scripts/bench).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "burnlib/mmc/AlignedBuffer.h"
#include "burnlib/mmc/ImageStream.h"

using burnlib::mmc::AlignedBuffer;
using burnlib::mmc::ImageStream;

namespace {

using Clock = std::chrono::steady_clock;

// Each read's first byte lands here, so no read can be optimised away.
volatile uint8_t g_sink = 0;

struct Row {
    std::string what;
    double megabytesPerSecond = 0;
    std::string peakMiB;  // "n/a" where the system does not say
};

// Peak resident memory since the last ResetPeak, from the kernel's high-water mark.
std::string PeakResidentMiB() {
#ifdef __linux__
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            const double kib = std::strtod(line.c_str() + 6, nullptr);
            char text[32];
            std::snprintf(text, sizeof text, "%.1f", kib / 1024);
            return text;
        }
    }
#endif
    return "n/a";
}

// Writing 5 to clear_refs sets the high-water mark back to the present resident size, so each
// row shows its own peak; without it the figure is the process's peak so far. The previous row's
// freed buffers go back to the system first, or they would count as this row's.
void ResetPeak() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
#ifdef __linux__
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
#endif
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// What `cat image > /dev/null` does: large unbuffered reads into one buffer.
bool RawRead(const std::string& path, Row* row) {
    ResetPeak();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    AlignedBuffer buffer(1 << 20);
    uint64_t total = 0;
    uint8_t fold = 0;
    const auto start = Clock::now();
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        total += got;
        fold ^= buffer.data()[0];
    }
    const double seconds = Seconds(start);
    std::fclose(file);
    row->what = "read: fread 1 MiB unbuffered (cat)";
    row->megabytesPerSecond = total / seconds / 1e6;
    row->peakMiB = PeakResidentMiB();
    g_sink = fold;
    return true;
}

bool Stream(const std::string& path, uint32_t chunkBytes, uint64_t ringBytes, Row* row) {
    ResetPeak();
    std::string error;
    uint32_t systemError = 0;
    auto stream = ImageStream::Open(path, &error, &systemError);
    if (!stream) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const auto start = Clock::now();
    stream->Start(chunkBytes, ringBytes);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    uint64_t total = 0;
    uint8_t fold = 0;
    while (stream->Acquire(&data, &bytes)) {
        total += bytes;
        fold ^= data[0];
        stream->Release();
    }
    const double seconds = Seconds(start);
    if (stream->Failed() || total != stream->Blocks() * ImageStream::kBlockBytes) {
        std::fprintf(stderr, "stream ended after %llu bytes: %s\n", static_cast<unsigned long long>(total),
                     stream->Error().c_str());
        return false;
    }
    char what[96];
    std::snprintf(what, sizeof what, "read: ImageStream %u KiB chunks, %llu MiB ring", chunkBytes >> 10,
                  static_cast<unsigned long long>(ringBytes >> 20));
    row->what = what;
    row->megabytesPerSecond = total / seconds / 1e6;
    stream.reset();
    row->peakMiB = PeakResidentMiB();
    g_sink = fold;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: write_pipeline_bench <image> [--tsv]\n");
        return 2;
    }
    const std::string path = argv[1];
    const bool tsv = argc > 2 && std::strcmp(argv[2], "--tsv") == 0;

    struct Setting {
        uint32_t chunk;
        uint64_t ring;
    };
    const Setting settings[] = {{64 << 10, 2 << 20}, {64 << 10, 16 << 20}, {1 << 20, 16 << 20}};
    std::vector<Row> rows;
    Row row;
    if (!RawRead(path, &row)) return 1;
    rows.push_back(row);
    for (const Setting& s : settings) {
        if (!Stream(path, s.chunk, s.ring, &row)) return 1;
        rows.push_back(row);
    }

    if (tsv) {
        for (const Row& r : rows) std::printf("%s\t%.0f\t%s\n", r.what.c_str(), r.megabytesPerSecond, r.peakMiB.c_str());
        return 0;
    }
    std::printf("%-48s %10s %16s\n", "", "MB/s", "peak RSS MiB");
    for (const Row& r : rows)
        std::printf("%-48s %10.0f %16s\n", r.what.c_str(), r.megabytesPerSecond, r.peakMiB.c_str());
    return 0;
}
