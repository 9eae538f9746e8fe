// Burns a small image many times in a row through the library's public calls, the way the burn
// worker does, each on a fresh blank disc with a fault picked at random, and prints how every burn
// ended: per kind of burn and class of outcome, the faults injected, the wall time. Exits non-zero
// when the counts do not add up or a burn ended in a class that must stay empty. Not a test:
// scripts/bench runs it; a short run of it is registered with ctest.
//   soak_bench [--burns N] [--seed S] [--blocks B] [--watchdog SECONDS] [--verbose]
//              [--kinds tao,sao,dao-pq,dao-pw,dvd+r,dvd-r]   (default: all)
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tests/write/Soak.h"

using namespace soak;

namespace {

bool ParseArguments(int argc, char** argv, Settings* settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verbose") {
            settings->verbose = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        if (arg == "--kinds") {
            std::string list = argv[++i];
            for (size_t at = 0; at <= list.size();) {
                const size_t comma = std::min(list.find(',', at), list.size());
                const std::string key = list.substr(at, comma - at);
                size_t k = 0;
                while (k < kKinds && key != Kinds()[k].key) ++k;
                if (k == kKinds) return false;
                settings->kinds.push_back(k);
                at = comma + 1;
            }
            continue;
        }
        char* end = nullptr;
        const unsigned long long value = std::strtoull(argv[++i], &end, 0);
        if (end == argv[i] || *end != '\0') return false;
        if (arg == "--burns")
            settings->burns = static_cast<uint32_t>(value);
        else if (arg == "--seed")
            settings->seed = value;
        else if (arg == "--blocks" && value > 0)
            settings->imageBlocks = static_cast<uint32_t>(value);
        else if (arg == "--watchdog" && value > 0)
            settings->watchdogSeconds = static_cast<uint32_t>(value);
        else
            return false;
    }
    return true;
}

int Width(size_t outcome) {
    return std::max<int>(7,
                         static_cast<int>(std::strlen(OutcomeName(static_cast<Outcome>(outcome)))));
}

void PrintTable(const Tally& tally) {
    std::printf("%-12s", "burn");
    for (size_t o = 0; o < kOutcomes; ++o)
        std::printf(" %*s", Width(o), OutcomeName(static_cast<Outcome>(o)));
    std::printf(" %7s\n", "total");
    for (size_t k = 0; k < kKinds; ++k) {
        std::printf("%-12s", Kinds()[k].name);
        for (size_t o = 0; o < kOutcomes; ++o) std::printf(" %*u", Width(o), tally.byKind[k][o]);
        std::printf(" %7u\n", tally.KindTotal(k));
    }
    std::printf("%-12s", "total");
    for (size_t o = 0; o < kOutcomes; ++o)
        std::printf(" %*u", Width(o), tally.Total(static_cast<Outcome>(o)));
    std::printf(" %7u\n\n", tally.burns);

    std::printf("%-20s %7s %7s\n", "fault", "burns", "hit");
    for (size_t f = 0; f < kFaults; ++f)
        std::printf("%-20s %7u %7u\n", FaultName(static_cast<Fault>(f)), tally.faults[f],
                    tally.faultsFired[f]);
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    settings.seed = std::random_device{}();
    if (!ParseArguments(argc, argv, &settings)) {
        std::fprintf(stderr,
                     "usage: soak_bench [--burns N] [--seed S] [--blocks B] [--watchdog SECONDS] "
                     "[--verbose]\n"
                     "                  [--kinds tao,sao,dao-pq,dao-pw,dvd+r,dvd-r]\n");
        return 2;
    }
    std::printf("soak: %u burns of a %u-block image, seed %" PRIu64 ", watchdog %u s\n",
                settings.burns, settings.imageBlocks, settings.seed, settings.watchdogSeconds);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    Tally tally;
    int status = 0;
    {
        SoakRun run(settings);
        std::string why;
        if (!run.Survey(&why)) {
            std::printf("survey failed: %s\n", why.c_str());
            return 1;
        }
        const bool ended = run.Run(&tally);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("\n");
        PrintTable(tally);
        std::printf("\nclean burns after a failure: %u; exclusive access taken %" PRIu64
                    ", given back %" PRIu64
                    "\nwall time %.1f s (%.2f s a burn, the survey's clean burns included)\n",
                    tally.followUps, run.ExclusiveClaims(), run.ExclusiveReleases(), wall,
                    wall / std::max<uint32_t>(1, tally.burns));
        std::vector<std::string> problems = tally.Problems(settings.burns);
        if (run.ExclusiveClaims() != run.ExclusiveReleases())
            problems.push_back("exclusive access taken and given back do not match");
        for (const std::string& note : tally.notes) std::printf("  %s\n", note.c_str());
        for (const std::string& problem : problems) std::printf("PROBLEM: %s\n", problem.c_str());
        std::printf("%s (seed %" PRIu64 ")\n", problems.empty() ? "all counts add up" : "FAILED",
                    settings.seed);
        std::fflush(stdout);
        if (!ended) std::_Exit(1);  // a burn is stuck in the library: nothing can be released
        status = problems.empty() ? 0 : 1;
    }
    return status;
}
