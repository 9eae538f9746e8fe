// How much drive traffic discovery costs: library calls and SCSI commands of one probe and of one
// scan over four virtual drives, and the wall time they take when every command costs what it
// costs on a real drive.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "VirtualDrives.h"
#include "burnlib/api/ApiStatistics.h"
#include "drive/DeviceScanner.h"

namespace {

using burnlib::ApiStatistics;
using namespace drivetest;
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
        std::printf("    %-56s %6llu\n", name.c_str(), static_cast<unsigned long long>(count));
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

}  // namespace

int main(int argc, char** argv) {
    const long latencyMicroseconds = argc > 1 ? std::atol(argv[1]) : 2000;
    std::printf("per-command latency: %ld us\n\n", latencyMicroseconds);

    auto provider = std::make_shared<TestDeviceProvider>();
    auto recorders = {
        provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR()),
        provider->Add("CdRom1", DvdWriter({1385, 2770, 3324, 5540, 8310, 11080, 16620, 22160}),
                      BlankDvdPlusR()),
        provider->Add("CdRom2", DvdWriter({1385, 2770, 5540, 11080, 22160}), NoDisc()),
        provider->Add("CdRom3", DvdReader(), ClosedCdR(200000)),
    };
    for (const auto& recorder : recorders) {
        recorder->SetCommandLatency(std::chrono::microseconds(latencyMicroseconds));
    }
    LibrarySession session(provider);

    {
        CDeviceScanner scanner;
        DEVICE_RECORD record;
        record.m_accessKind = kAccessByName;
        std::strcpy(record.m_deviceName, "CdRom0");
        scanner.GetDeviceArray().Add(record);
        ApiStatistics::Reset();
        const Clock::time_point start = Clock::now();
        scanner.ProbeDevice(0);
        Print("one probe (CD writer, blank CD-R)", ApiStatistics::Get(), Since(start));
    }
    {
        CDeviceScanner scanner;
        DEVICE_RECORD record;
        record.m_accessKind = kAccessByName;
        std::strcpy(record.m_deviceName, "CdRom1");
        scanner.GetDeviceArray().Add(record);
        ApiStatistics::Reset();
        const Clock::time_point start = Clock::now();
        scanner.ProbeDevice(0);
        Print("one probe (DVD writer, blank DVD+R)", ApiStatistics::Get(), Since(start));
    }
    {
        CDeviceScanner scanner;
        Done done;
        ApiStatistics::Reset();
        const Clock::time_point start = Clock::now();
        scanner.StartScan(Done::OnComplete, &done, kTransportSpti, true);
        const int kept = done.Wait();
        const double ms = Since(start);
        char title[128];
        std::snprintf(title, sizeof(title), "one SPTI scan, four drives (%d kept)", kept);
        Print(title, ApiStatistics::Get(), ms);
    }
    return 0;
}
