// How much drive traffic discovery costs: library calls and SCSI commands of one probe and of one
// scan over four catalog drives, and the wall time they take when every command costs what a
// query costs on a real drive (argument 1: microseconds per command, default 2000).
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"
#include "drive/StarBurn.h"
#include "burnlib/api/ApiStatistics.h"
#include "drive/DeviceScanner.h"

namespace {

using burnlib::ApiStatistics;
using Clock = std::chrono::steady_clock;

struct Done {
    std::mutex lock;
    std::condition_variable changed;
    int count = -1;

    static void OnComplete(void* context, CDeviceArray* devices) {
        Done* done = static_cast<Done*>(context);
        std::lock_guard<std::mutex> guard(done->lock);
        done->count = devices->GetCount();
        done->changed.notify_all();
    }
    int Wait() {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return count >= 0; });
        return count;
    }
};

void Print(const char* title, const ApiStatistics& stats, double milliseconds) {
    std::printf("%s\n", title);
    std::printf("  library calls: %llu\n", static_cast<unsigned long long>(stats.TotalCalls()));
    for (const auto& [name, count] : stats.calls) {
        std::printf("    %-62s %6llu\n", name.c_str(), static_cast<unsigned long long>(count));
    }
    std::printf("  SCSI commands: %llu\n", static_cast<unsigned long long>(stats.scsiCommands));
    for (const auto& [opcode, count] : stats.commandsByOpcode) {
        std::printf("    opcode %02Xh %6llu\n", opcode, static_cast<unsigned long long>(count));
    }
    std::printf("  wall time: %.1f ms\n\n", milliseconds);
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::shared_ptr<burnlib::VirtualRecorder> Recorder(const char* model, const char* medium,
                                                   long latencyMicroseconds) {
    auto recorder = std::make_shared<burnlib::VirtualRecorder>(*burnlib::DriveModelByName(model),
                                                               *burnlib::MediumByName(medium));
    recorder->SetCommandLatency(std::chrono::microseconds(latencyMicroseconds));
    return recorder;
}

void BenchProbe(const char* model, const char* medium, long latency) {
    burnlib::SetDeviceProvider(burnlib::MakeVirtualDeviceProvider({Recorder(model, medium, latency)}));
    StarBurn_UpStartEx();
    CDeviceScanner scanner;
    DEVICE_RECORD record;
    record.m_accessKind = kAccessByName;
    std::strcpy(record.m_deviceName, "CdRom0");
    scanner.GetDeviceArray().Add(record);
    ApiStatistics::Reset();
    const Clock::time_point start = Clock::now();
    scanner.ProbeDevice(0);
    const double ms = Since(start);
    const DEVICE_RECORD& r = scanner.GetDeviceArray().GetAt(0);
    char title[256];
    std::snprintf(title, sizeof(title), "one probe: %s with %s (%s, %s, %zu write / %zu read speeds)",
                  model, medium, r.m_mediaName, r.m_sizeText, r.m_writeSpeeds.size(),
                  r.m_readSpeeds.size());
    Print(title, ApiStatistics::Get(), ms);
    StarBurn_DownShut();
}

}  // namespace

int main(int argc, char** argv) {
    const long latency = argc > 1 ? std::atol(argv[1]) : 2000;
    std::printf("per-command latency: %ld us\n\n", latency);

    BenchProbe("cdrw-writer", "cd-r-blank", latency);
    BenchProbe("dvd-dl-writer", "dvd+r-blank", latency);
    BenchProbe("dvd-dl-writer", "none", latency);

    burnlib::SetDeviceProvider(burnlib::MakeVirtualDeviceProvider({
        Recorder("dvd-dl-writer", "dvd+r-blank", latency),
        Recorder("cdrw-writer", "cd-r-blank", latency),
        Recorder("dvd-reader", "dvd-rom", latency),
        Recorder("bd-writer", "none", latency),
    }));
    StarBurn_UpStartEx();
    CDeviceScanner scanner;
    Done done;
    ApiStatistics::Reset();
    const Clock::time_point start = Clock::now();
    scanner.StartScan(Done::OnComplete, &done, kTransportSpti, true);
    const int kept = done.Wait();
    const double ms = Since(start);
    char title[128];
    std::snprintf(title, sizeof(title), "one SPTI scan, four catalog drives (%d kept)", kept);
    Print(title, ApiStatistics::Get(), ms);
    StarBurn_DownShut();
    return 0;
}
