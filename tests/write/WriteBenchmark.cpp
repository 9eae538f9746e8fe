// Write throughput and CPU cost of each write method, through the library's public calls onto a
// virtual recorder that keeps nothing, plus the process's peak memory. Prints figures; not a test.
// Throughput is given twice: over the whole call, which includes the recorder's imitation of a
// drive finishing a close (the engine's busy polls), and over the data phase alone, from the
// first WRITE to the end of the last.
//   write_bench <image> [method ...]   methods: tao sao dao-pq dao-pw dvd-tao
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/transport/ScsiTransport.h"
#include "tests/write/BurnHarness.h"

using namespace writetest;

namespace {

double CpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return ((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

double PeakResidentMegabytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize / 1048576.0;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
#endif
}

using Clock = std::chrono::steady_clock;

// The recorder, with the time from its first WRITE to the end of its last one noted.
class WriteTimer : public burnlib::ScsiTarget {
public:
    explicit WriteTimer(std::shared_ptr<burnlib::VirtualRecorder> recorder)
        : m_recorder(std::move(recorder)) {}
    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        const bool write = request.cdb[0] == 0x2A || request.cdb[0] == 0xAA;
        if (write && !m_started) {
            m_started = true;
            m_first = Clock::now();
        }
        burnlib::ScsiResult result = m_recorder->Execute(request);
        if (write) m_last = Clock::now();
        return result;
    }
    bool ClaimExclusive(const void* owner) override { return m_recorder->ClaimExclusive(owner); }
    void ReleaseExclusive(const void* owner) override { m_recorder->ReleaseExclusive(owner); }
    double DataSeconds() const { return std::chrono::duration<double>(m_last - m_first).count(); }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
    bool m_started = false;
    Clock::time_point m_first, m_last;
};

struct Case {
    const char* name;
    const char* model;
    const char* medium;
    Method method;
};

const Case kCases[] = {
    {"tao", "cdrw-writer", "cd-r-blank", Method::TrackAtOnce},
    {"sao", "cdrw-writer", "cd-r-blank", Method::SessionAtOnce},
    {"dao-pq", "cdrw-writer", "cd-r-blank", Method::DiscAtOncePQ},
    {"dao-pw", "cdrw-writer", "cd-r-blank", Method::DiscAtOnceRawPW},
    {"dvd-tao", "dvd-dl-writer", "dvd+r-dl-blank", Method::TrackAtOnce},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: write_bench <image> [tao|sao|dao-pq|dao-pw|dvd-tao ...]\n");
        return 2;
    }
    const std::string image = argv[1];
    std::vector<std::string> wanted(argv + 2, argv + argc);
    const double gigabytes = std::filesystem::file_size(image) / 1e9;

    std::printf("%-8s %10s %12s %10s %14s %12s\n", "method", "MB/s", "CPU s/GB", "wall s", "peak RSS MB",
                "data MB/s");
    int failures = 0;
    for (const Case& c : kCases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end())
            continue;
        auto recorder = Recorder(c.model, c.medium);
        recorder->SetKeepWrittenData(false);  // measure the writer, not a store
        auto timer = std::make_shared<WriteTimer>(recorder);
        burnlib::SetDeviceProvider(burnlib::MakeTargetDeviceProvider({timer}));
        StarBurn_UpStartEx();
        const double cpuBefore = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const BurnResult result = Burn("CdRom0", c.method, image, false);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = CpuSeconds() - cpuBefore;
        StarBurn_DownShut();
        burnlib::SetDeviceProvider(nullptr);
        if (result.code != 0) {
            std::printf("%-8s failed: %s\n", c.name, result.text.c_str());
            ++failures;
            continue;
        }
        std::printf("%-8s %10.0f %12.2f %10.2f %14.1f %12.0f\n", c.name, gigabytes * 1000 / wall,
                    cpu / gigabytes, wall, PeakResidentMegabytes(),
                    gigabytes * 1000 / timer->DataSeconds());
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
