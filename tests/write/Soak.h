// Burns in a row through the library's public calls, each on a fresh blank disc with a fault picked
// by a seeded generator, every outcome put in one class. Drives soak_bench and its bounded ctest.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/write/BurnHarness.h"

namespace soak {

enum class Fault {
    None,
    WriteError,      // a WRITE covering a random block fails 03/0C/00
    OpcError,        // SEND OPC fails 03/73/03 (the worker passes over it)
    CommandFails,    // a command seen in the burn fails from its Nth call with its real sense
    MediumRemoved,   // the disc is taken out while a WRITE covers a random block
    UnderrunBupOff,  // buffer underrun with protection switched off
    UnderrunBupOn,   // buffer underrun the drive's protection recovers from
    Cancel,          // the user cancels from another thread during the Nth WRITE
    Busy,            // a command answers "in progress" for a spell before it goes through
    Count
};
const char* FaultName(Fault fault);

enum class Outcome {
    Succeeded,       // reported success and the disc reads back byte for byte, closed
    FailedReported,  // reported failure, naming the call and the error
    // The classes below must stay empty.
    SucceededDiscWrong,     // reported success, the disc is not the image
    SucceededDespiteFault,  // reported success after a fault that leaves no good disc
    FailedWithoutCause,     // failed with no fault, or one the drive or worker gets over
    FailedSilently,         // failed without naming the call or without a description
    Hang,                   // did not end within the watchdog's time
    DriveUnusable,          // failed, and a clean burn on the same drive afterwards failed too
    Count
};
const char* OutcomeName(Outcome outcome);
bool Impossible(Outcome outcome);

// What a burn is: a drive, a disc and a write method.
struct BurnKind {
    const char* name;
    const char* key;  // as soak_bench --kinds names it
    int drive;        // 0: the CD writer, 1: the DVD writer
    const char* medium;
    writetest::Method method;
};
const std::vector<BurnKind>& Kinds();

constexpr size_t kKinds = 6;
constexpr size_t kFaults = static_cast<size_t>(Fault::Count);
constexpr size_t kOutcomes = static_cast<size_t>(Outcome::Count);

struct Tally {
    std::array<std::array<uint32_t, kOutcomes>, kKinds> byKind{};  // [kind][outcome]
    std::array<uint32_t, kFaults> faults{};                        // burns per fault picked
    std::array<uint32_t, kFaults> faultsFired{};                   // of those, faults that hit
    uint32_t burns = 0;
    uint32_t failuresReported = 0;   // burns whose calls reported a failure
    uint32_t followUps = 0;          // clean burns that ended after one of those
    std::vector<std::string> notes;  // one line per burn in an impossible class

    uint32_t Total(Outcome outcome) const;
    uint32_t KindTotal(size_t kind) const;
    // Empty when every count adds up to the burns run and no impossible class has a member.
    std::vector<std::string> Problems(uint32_t burnsWanted) const;
};

struct Settings {
    uint64_t seed = 1;
    uint32_t burns = 200;
    uint32_t imageBlocks = 600;
    uint32_t watchdogSeconds = 60;
    bool verbose = false;       // one line per burn
    std::vector<size_t> kinds;  // indexes into Kinds() the burns are picked from; empty: all
};

// Runs the burns; stops early only on a hang (the stuck burn's thread is left behind).
class SoakRun {
public:
    explicit SoakRun(const Settings& settings);
    ~SoakRun();
    SoakRun(const SoakRun&) = delete;
    SoakRun& operator=(const SoakRun&) = delete;

    // One clean burn of every kind, learning the commands each sends; false when one fails.
    bool Survey(std::string* why);
    // Returns false when a burn hung.
    bool Run(Tally* tally);
    // The drives' exclusive access, taken and given back over the whole run.
    uint64_t ExclusiveClaims() const;
    uint64_t ExclusiveReleases() const;
    uint32_t BurnsStarted() const { return m_burnsStarted; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    uint32_t m_burnsStarted = 0;
};

}  // namespace soak
