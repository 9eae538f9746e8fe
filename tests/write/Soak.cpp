#include "tests/write/Soak.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/virtual/Catalog.h"
#include "tests/write/SoakTarget.h"

namespace soak {

namespace fs = std::filesystem;
using writetest::Method;

namespace {

enum : uint8_t {
    kOpTestUnitReady = 0x00,
    kOpPreventAllow = 0x1E,
    kOpWrite10 = 0x2A,
    kOpSync = 0x35,
    kOpSendOpc = 0x54,
    kOpModeSelect = 0x55,
    kOpCloseTrack = 0x5B,
    kOpSendCueSheet = 0x5D,
    kOpWrite12 = 0xAA,
};

struct Sense {
    uint8_t key, asc, ascq;
};

// The sense a drive gives when this command fails for a reason of its own.
Sense FailureSense(uint8_t opcode) {
    switch (opcode) {
        case kOpWrite10:
        case kOpWrite12:
        case kOpSync: return {0x03, 0x0C, 0x00};        // write error
        case kOpSendOpc: return {0x03, 0x73, 0x03};     // power calibration area error
        case kOpCloseTrack: return {0x03, 0x72, 0x00};  // session fixation error
        case kOpModeSelect:
        case kOpSendCueSheet: return {0x05, 0x26, 0x00};  // bad parameter list
        default: return {0x04, 0x44, 0x00};               // internal target failure
    }
}

enum class Expect { Succeed, Fail, Either };

// What a fault that hit leaves for the burn: mmc-facts holds a write error, an underrun without
// protection and a failed close fatal for the disc; the worker passes over a failed OPC.
Expect ExpectOf(Fault fault, uint8_t opcode) {
    switch (fault) {
        case Fault::None:
        case Fault::OpcError:
        case Fault::Busy:
        case Fault::UnderrunBupOn: return Expect::Succeed;
        case Fault::WriteError:
        case Fault::MediumRemoved:
        case Fault::UnderrunBupOff:
        case Fault::Cancel: return Expect::Fail;
        case Fault::CommandFails:
            if (opcode == kOpSendOpc) return Expect::Succeed;
            if (opcode == kOpWrite10 || opcode == kOpWrite12 || opcode == kOpSync ||
                opcode == kOpCloseTrack || opcode == kOpSendCueSheet)
                return Expect::Fail;
            return Expect::Either;
        case Fault::Count: break;
    }
    return Expect::Either;
}

// One burn as planned: its kind, fault and the worker's choices.
struct Plan {
    size_t kind = 0;
    Fault fault = Fault::None;
    uint8_t opcode = 0;  // CommandFails, Busy
    uint32_t nth = 0;    // CommandFails, Busy: the call; Cancel: the WRITE
    uint32_t spell = 0;  // Busy: answers of "in progress"
    int32_t lba = -1;    // WriteError, MediumRemoved, Underrun*
    bool bup = true;
    bool opc = false;
    uint32_t speed = STARBURN_SPEED_UNCHANGED;

    std::string Describe() const {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s, %s, opcode %02Xh, call %u, spell %u, block %d, BUP %s, OPC %s, speed %u",
                      Kinds()[kind].name, FaultName(fault), opcode, nth, spell, lba,
                      bup ? "on" : "off", opc ? "on" : "off", speed);
        return text;
    }
};

}  // namespace

struct SoakRun::Impl {
    Settings settings;
    std::mt19937_64 random;
    fs::path image;
    std::array<std::shared_ptr<SoakTarget>, 2> targets;
    // The commands of a clean burn of each kind, with OPC off and on.
    std::array<std::array<std::array<uint32_t, 256>, 2>, kKinds> survey{};

    uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(random() % n); }

    SoakTarget& TargetOf(size_t kind) { return *targets[Kinds()[kind].drive]; }

    void InsertBlank(size_t kind) {
        TargetOf(kind).Recorder().InsertMedium(*burnlib::MediumByName(Kinds()[kind].medium));
    }

    Plan Pick();
    bool Applies(const Plan& plan) const;
    // Runs the worker's sequence on its own thread; false when it did not end in time.
    bool Burn(const Plan& plan, writetest::WorkerResult* result);
    bool DiscIsImage(size_t kind, std::string* why);
    void Classify(uint32_t index, const Plan& plan, Tally* tally);
};

SoakRun::SoakRun(const Settings& settings) : m_impl(std::make_unique<Impl>()) {
    Impl& s = *m_impl;
    s.settings = settings;
    if (s.settings.kinds.empty())
        for (size_t k = 0; k < kKinds; ++k) s.settings.kinds.push_back(k);
    s.random.seed(settings.seed);
    s.image = fs::temp_directory_path() /
              ("qf-soak-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".iso");
    std::mt19937 bytes(static_cast<uint32_t>(settings.seed));
    std::vector<char> data(static_cast<size_t>(settings.imageBlocks) * 2048);
    for (char& c : data) c = static_cast<char>(bytes());
    std::ofstream(s.image, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    s.targets[0] = std::make_shared<SoakTarget>(writetest::Recorder("cdrw-writer", "cd-r-blank"));
    s.targets[1] =
        std::make_shared<SoakTarget>(writetest::Recorder("dvd-dl-writer", "dvd+r-blank"));
    burnlib::SetDeviceProvider(
        burnlib::MakeTargetDeviceProvider({s.targets[0], s.targets[1]}, {'E', 'F'}));
}

SoakRun::~SoakRun() {
    burnlib::SetDeviceProvider(nullptr);
    std::error_code ignored;
    fs::remove(m_impl->image, ignored);
}

uint64_t SoakRun::ExclusiveClaims() const {
    return m_impl->targets[0]->Claims() + m_impl->targets[1]->Claims();
}

uint64_t SoakRun::ExclusiveReleases() const {
    return m_impl->targets[0]->Releases() + m_impl->targets[1]->Releases();
}

Plan SoakRun::Impl::Pick() {
    Plan plan;
    for (;;) {
        plan = Plan{};
        plan.kind = settings.kinds[Below(static_cast<uint32_t>(settings.kinds.size()))];
        // A burn in five goes without a fault.
        const uint32_t roll = Below(kFaults + 1);
        plan.fault = roll < kFaults ? static_cast<Fault>(roll) : Fault::None;
        plan.opc = Below(2) == 1 || plan.fault == Fault::OpcError;
        plan.bup = plan.fault == Fault::UnderrunBupOff  ? false
                   : plan.fault == Fault::UnderrunBupOn ? true
                                                        : Below(4) != 0;
        const bool cd = Kinds()[plan.kind].drive == 0;
        const uint32_t cdSpeeds[] = {STARBURN_SPEED_UNCHANGED, 1764, 4234, 7056};
        const uint32_t dvdSpeeds[] = {STARBURN_SPEED_UNCHANGED, 2770, 5540, 11080};
        plan.speed = (cd ? cdSpeeds : dvdSpeeds)[Below(4)];
        const auto& commands = survey[plan.kind][plan.opc ? 1 : 0];
        switch (plan.fault) {
            case Fault::WriteError:
            case Fault::MediumRemoved:
            case Fault::UnderrunBupOff:
            case Fault::UnderrunBupOn:
                plan.lba = static_cast<int32_t>(Below(settings.imageBlocks));
                break;
            case Fault::Cancel:
                plan.nth = 1 + Below(commands[kOpWrite10] + commands[kOpWrite12]);
                break;
            case Fault::CommandFails: {
                std::vector<uint8_t> seen;
                for (size_t op = 0; op < 256; ++op)
                    if (commands[op] > 0) seen.push_back(static_cast<uint8_t>(op));
                plan.opcode = seen[Below(static_cast<uint32_t>(seen.size()))];
                plan.nth = 1 + Below(commands[plan.opcode]);
                break;
            }
            case Fault::Busy: {
                // mmc-facts: a drive busy with a write or a close answers 02/04/08 to WRITE and
                // 02/04/07 to CLOSE TRACK and TEST UNIT READY; the host polls or re-sends.
                const uint8_t busyOpcodes[] = {kOpWrite10, kOpCloseTrack, kOpTestUnitReady};
                plan.opcode = busyOpcodes[Below(3)];
                plan.nth = 1 + Below(commands[plan.opcode]);
                plan.spell = 1 + Below(3);
                break;
            }
            default: break;
        }
        if (Applies(plan)) return plan;
    }
}

// A fault the burn's commands never meet is picked again.
bool SoakRun::Impl::Applies(const Plan& plan) const {
    const auto& commands = survey[plan.kind][plan.opc ? 1 : 0];
    switch (plan.fault) {
        case Fault::OpcError: return commands[kOpSendOpc] > 0;
        case Fault::Cancel: return plan.nth > 0 && commands[kOpWrite10] + commands[kOpWrite12] > 0;
        case Fault::Busy:
        case Fault::CommandFails: return commands[plan.opcode] >= plan.nth && plan.nth > 0;
        default: return true;
    }
}

bool SoakRun::Impl::Burn(const Plan& plan, writetest::WorkerResult* result) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        writetest::WorkerResult result;
    };
    auto shared = std::make_shared<Shared>();
    SoakTarget& target = TargetOf(plan.kind);
    const std::string device = "CdRom" + std::to_string(Kinds()[plan.kind].drive);
    writetest::WorkerChoices choices;
    choices.bufferUnderrunProtection = plan.bup;
    choices.sendOpc = plan.opc;
    choices.writeSpeed = plan.speed;
    choices.created = [&target](STARBURN_GRABBER grabber) { target.SetGrabber(grabber); };
    const Method method = Kinds()[plan.kind].method;
    const std::string image = this->image.string();
    std::thread burn([shared, device, method, image, choices] {
        StarBurn_UpStartEx();
        writetest::WorkerResult r = writetest::BurnAsWorker(device.c_str(), method, image, choices);
        StarBurn_DownShut();
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->result = r;
        shared->done = true;
        shared->ended.notify_all();
    });
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->ended.wait_for(lock, std::chrono::seconds(settings.watchdogSeconds),
                                [&] { return shared->done; })) {
        burn.detach();  // stuck in the library: the run ends here
        return false;
    }
    *result = shared->result;
    lock.unlock();
    burn.join();
    return true;
}

bool SoakRun::Impl::DiscIsImage(size_t kind, std::string* why) {
    burnlib::VirtualRecorder& recorder = TargetOf(kind).Recorder();
    if (recorder.CurrentMedium().state != burnlib::DiscState::Closed) {
        *why = "the disc is not closed";
        return false;
    }
    return writetest::DiscHoldsImage(recorder, image, why);
}

bool SoakRun::Survey(std::string* why) {
    Impl& s = *m_impl;
    for (size_t kind : s.settings.kinds) {
        for (int opc = 0; opc < 2; ++opc) {
            Plan plan;
            plan.kind = kind;
            plan.opc = opc == 1;
            s.InsertBlank(kind);
            s.TargetOf(kind).Reset(INT64_MIN, 0);
            writetest::WorkerResult result;
            if (!s.Burn(plan, &result)) {
                *why = std::string(Kinds()[kind].name) + ": the clean burn hung";
                return false;
            }
            if (result.code != STARBURN_OK || !s.DiscIsImage(kind, why)) {
                *why = std::string(Kinds()[kind].name) + ": the clean burn failed: " + result.call +
                       ": " + result.text + " " + *why;
                return false;
            }
            s.survey[kind][opc] = s.TargetOf(kind).Counts();
        }
    }
    return true;
}

void SoakRun::Impl::Classify(uint32_t index, const Plan& plan, Tally* tally) {
    SoakTarget& target = TargetOf(plan.kind);
    burnlib::VirtualRecorder& recorder = target.Recorder();
    InsertBlank(plan.kind);
    target.Reset(plan.lba >= 0 ? plan.lba : INT64_MIN, plan.fault == Fault::Cancel ? plan.nth : 0);
    switch (plan.fault) {
        case Fault::WriteError: recorder.InjectWriteError(plan.lba); break;
        case Fault::MediumRemoved: recorder.InjectMediumRemovalDuringWrite(plan.lba); break;
        case Fault::UnderrunBupOff:
        case Fault::UnderrunBupOn: recorder.InjectUnderrun(plan.lba); break;
        case Fault::OpcError: recorder.InjectOpcError(); break;
        case Fault::CommandFails: {
            const Sense sense = FailureSense(plan.opcode);
            recorder.InjectFault(plan.opcode, plan.nth, sense.key, sense.asc, sense.ascq);
            break;
        }
        case Fault::Busy:
            recorder.InjectFault(plan.opcode, plan.nth, 0x02, 0x04,
                                 plan.opcode == kOpWrite10 ? 0x08 : 0x07, plan.spell);
            break;
        default: break;
    }

    ++tally->burns;
    ++tally->faults[static_cast<size_t>(plan.fault)];
    auto& row = tally->byKind[plan.kind];
    writetest::WorkerResult result;
    const auto start = std::chrono::steady_clock::now();
    if (!Burn(plan, &result)) {
        ++row[static_cast<size_t>(Outcome::Hang)];
        tally->notes.push_back("burn " + std::to_string(index) + " (" + plan.Describe() +
                               "): did not end within " + std::to_string(settings.watchdogSeconds) +
                               " s");
        return;
    }
    recorder.ClearFaults();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const auto counts = target.Counts();
    bool fired = false;
    switch (plan.fault) {
        case Fault::WriteError:
        case Fault::MediumRemoved:
        case Fault::UnderrunBupOff:
        case Fault::UnderrunBupOn: fired = target.Covered(); break;
        case Fault::OpcError: fired = counts[kOpSendOpc] > 0; break;
        case Fault::CommandFails:
        case Fault::Busy: fired = counts[plan.opcode] >= plan.nth; break;
        case Fault::Cancel: fired = target.Cancelled(); break;
        default: break;
    }
    if (fired) ++tally->faultsFired[static_cast<size_t>(plan.fault)];
    const Expect expect = fired ? ExpectOf(plan.fault, plan.opcode) : Expect::Succeed;

    Outcome outcome;
    std::string why;
    if (result.code == STARBURN_OK) {
        if (expect == Expect::Fail)
            outcome = Outcome::SucceededDespiteFault;
        else if (!DiscIsImage(plan.kind, &why))
            outcome = Outcome::SucceededDiscWrong;
        else
            outcome = Outcome::Succeeded;
    } else {
        if (result.call.empty() || result.text.empty())
            outcome = Outcome::FailedSilently;
        else if (expect == Expect::Succeed)
            outcome = Outcome::FailedWithoutCause;
        else
            outcome = Outcome::FailedReported;
        why = result.call + ": " + result.text;
        // The drive is the user's again: the tray unlocked (unless unlocking is what failed)
        // and a clean burn on a fresh disc goes through.
        if (outcome == Outcome::FailedReported && recorder.RemovalPrevented() &&
            !(plan.fault == Fault::CommandFails && plan.opcode == kOpPreventAllow)) {
            outcome = Outcome::DriveUnusable;
            why += "; the tray was left locked";
        }
        ++tally->failuresReported;
        Plan clean;
        clean.kind = plan.kind;
        InsertBlank(plan.kind);
        target.Reset(INT64_MIN, 0);
        writetest::WorkerResult again;
        std::string disc;
        const bool ended = Burn(clean, &again);
        if (ended) ++tally->followUps;
        if (!ended) {
            outcome = Outcome::Hang;
            why += "; the clean burn after it hung";
        } else if (again.code != STARBURN_OK || !DiscIsImage(plan.kind, &disc)) {
            if (outcome == Outcome::FailedReported) outcome = Outcome::DriveUnusable;
            why += "; the clean burn after it: " + again.call + ": " + again.text + " " + disc;
        }
    }
    ++row[static_cast<size_t>(outcome)];
    if (Impossible(outcome))
        tally->notes.push_back("burn " + std::to_string(index) + " (" + plan.Describe() +
                               "), fault " + (fired ? "hit" : "missed") + ": " +
                               OutcomeName(outcome) + ": " + why);
    if (settings.verbose) {
        std::printf("%4u %-60s %-5s %-14s %6.2f s %s\n", index, plan.Describe().c_str(),
                    fired ? "hit" : "miss", OutcomeName(outcome), seconds, why.c_str());
        std::fflush(stdout);
    }
}

bool SoakRun::Run(Tally* tally) {
    Impl& s = *m_impl;
    for (uint32_t i = 0; i < s.settings.burns; ++i) {
        const Plan plan = s.Pick();
        ++m_burnsStarted;
        s.Classify(i, plan, tally);
        if (tally->Total(Outcome::Hang) > 0) return false;
    }
    return true;
}

}  // namespace soak
