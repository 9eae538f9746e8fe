// Handles, threads and private memory of the process over 100 scans and 20 burns onto virtual
// recorders, printed as figures (the bounded check is the Resources test). Not a test.
#include <cstdio>
#include <string>

#include "tests/reliability/ProcessFigures.h"
#include "tests/reliability/Workload.h"

using reliability::ProcessFigures;
using reliability::Workload;

namespace {
void Print(const char* when, const ProcessFigures& f) {
    std::printf("%-28s %8lu %8lu %8lu %12.1f %12.1f\n", when, static_cast<unsigned long>(f.handles),
                static_cast<unsigned long>(f.openHandles), static_cast<unsigned long>(f.threads),
                f.privateBytes / 1048576.0, f.committedPrivate / 1048576.0);
    std::fflush(stdout);
}
}  // namespace

int main() {
    // handles: GetProcessHandleCount; open: handle values still valid; private: GetProcessMemoryInfo;
    // committed: committed private pages found by VirtualQuery (Wine answers the first and the
    // third with 0).
    std::printf("%-28s %8s %8s %8s %12s %12s\n", "after", "handles", "open", "threads", "private MiB",
                "committed MiB");
    Print("start", ProcessFigures::Take());
    Workload work;
    std::string why;
    if (work.Scan() != 2 || !work.Burn(0, &why)) {
        std::fprintf(stderr, "warm-up failed: %s\n", why.c_str());
        return 1;
    }
    Print("1 scan, 1 burn (warm-up)", ProcessFigures::Take());
    for (int i = 1; i <= 100; ++i) {
        if (work.Scan() != 2) {
            std::fprintf(stderr, "scan %d failed\n", i);
            return 1;
        }
        if (i % 25 == 0) Print(("+" + std::to_string(i) + " scans").c_str(), ProcessFigures::Take());
    }
    for (int i = 1; i <= 20; ++i) {
        if (!work.Burn((i - 1) % 4, &why)) {
            std::fprintf(stderr, "burn %d failed: %s\n", i, why.c_str());
            return 1;
        }
        if (i % 5 == 0) Print(("+100 scans, +" + std::to_string(i) + " burns").c_str(), ProcessFigures::Take());
    }
    return 0;
}
