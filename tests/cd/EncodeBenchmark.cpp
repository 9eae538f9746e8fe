// Raw-sector encoding throughput on one core, for each encoder the processor runs: Mode 1
// sectors alone, and whole raw blocks with P-Q (16) or P-W (96) sub-channel as the Disc-At-Once
// writes stream them. Figures count 2352 bytes per block.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "burnlib/cd/RawDisc.h"

using namespace burnlib::cd;

namespace {

constexpr uint32_t kBatchBlocks = 27;       // one 64 KiB transfer of 2352+16-byte blocks
constexpr int32_t kSourceBlocks = 4096;     // 8 MiB of user data, beyond the caches
constexpr double kSecondsPerFigure = 0.6;

using Clock = std::chrono::steady_clock;

template <class Step>
double GigabytesPerSecond(Step step) {
    uint64_t blocks = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        blocks += step();
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < kSecondsPerFigure);
    return blocks * double(kRawSectorSize) / elapsed / 1e9;
}

}  // namespace

int main() {
    std::vector<uint8_t> user(size_t{kSourceBlocks} * kUserDataSize);
    std::mt19937 rng(1);
    for (auto& b : user) b = static_cast<uint8_t>(rng());

    std::printf("%-12s %14s %14s %14s\n", "encoder", "sector GB/s", "PQ16 GB/s", "PW96 GB/s");
    for (Kernel kernel : AvailableKernels()) {
        std::vector<uint8_t> out(kBatchBlocks * RawBlockSize(Subchannel::Pw96));
        int32_t next = 0;
        const double sector = GigabytesPerSecond([&] {
            for (uint32_t i = 0; i < kBatchBlocks; ++i, next = (next + 1) % kSourceBlocks)
                EncodeMode1Sector(next, user.data() + size_t(next) * kUserDataSize, out.data() + i * kRawSectorSize,
                                  true, kernel);
            return kBatchBlocks;
        });
        double raw[2];
        for (Subchannel sub : {Subchannel::Pq16, Subchannel::Pw96}) {
            RawDiscLayout layout;
            layout.trackBlocks = kSourceBlocks - kSourceBlocks % kBatchBlocks;
            layout.subchannel = sub;
            int32_t lba = 0;
            raw[sub == Subchannel::Pw96] = GigabytesPerSecond([&] {
                if (lba >= layout.trackBlocks) lba = 0;
                GenerateRawBlocks(layout, lba, kBatchBlocks, user.data() + size_t(lba) * kUserDataSize, out.data(),
                                  kernel);
                lba += kBatchBlocks;
                return kBatchBlocks;
            });
        }
        std::printf("%-12s %14.3f %14.3f %14.3f\n", KernelName(kernel), sector, raw[0], raw[1]);
    }
    std::printf("best: %s\n", KernelName(BestKernel()));
    return 0;
}
