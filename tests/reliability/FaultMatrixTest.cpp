// Every step of a burn, and every phase inside the write, made to go wrong in four ways on each
// kind of burn: the drive fails it with a real sense code, is busy with it for a while, is slow,
// or the user cancels during it. Each cell checks what the user is promised: the burn ends, a
// failure is never reported as success, a success leaves the image on the disc, the drive object
// is released, and the drive burns cleanly afterwards. The matrix is printed with its pass count.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "burn/BurnSession.h"
#include "burnlib/virtual/Medium.h"
#include "tests/reliability/Workload.h"

namespace {

using namespace reliability;
using burnlib::ScsiRequest;
using burnlib::ScsiResult;

enum : uint8_t {
    kOpInquiry = 0x12, kOpStartStop = 0x1B, kOpWrite10 = 0x2A, kOpSync = 0x35, kOpSendOpc = 0x54, kOpModeSelect = 0x55,
    kOpCloseTrack = 0x5B, kOpSendCueSheet = 0x5D,
};

enum class Kind { Fail, Busy, Slow, Cancel };
const char* KindName(Kind k) {
    switch (k) {
    case Kind::Fail: return "fail";
    case Kind::Busy: return "busy";
    case Kind::Slow: return "slow";
    default: return "cancel";
    }
}

// Where in the burn a command belongs: the worker sets its row text before each step, and the
// write call's phases are told apart by command.
struct Phase {
    const char* name;
    bool fatal;  // a failure here ends the burn (else the worker goes on, as for BUP and OPC)
};

constexpr const char* kRowStarted = "Started";
constexpr const char* kRowGetBup = "Getting BUP (Buffer Underrun Protection) support...";
constexpr const char* kRowSetBup = "Enabling BUP (Buffer Underrun Protection)...";
constexpr const char* kRowSpeeds = "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds...";
constexpr const char* kRowOpc = "Sending OPC (Optimum Power Calibration)...";
constexpr const char* kRowClosing = "Closing session...";
constexpr const char* kRowEject = "Eject";

int32_t Lba(const ScsiRequest& r) {
    return static_cast<int32_t>((uint32_t{r.cdb[2]} << 24) | (uint32_t{r.cdb[3]} << 16) |
                                (uint32_t{r.cdb[4]} << 8) | r.cdb[5]);
}

// Tells the phase of each command of one burn, given the number of WRITEs of a clean run of it.
class PhaseTracker {
public:
    explicit PhaseTracker(int writes) : m_writes(writes) {}

    std::string Of(const ScsiRequest& r) {
        const std::string row = g_logText;
        if (row == kRowStarted) return "create drive object";
        if (row == kRowGetBup) return "get BUP";
        if (row == kRowSetBup) return "set BUP";
        if (row == kRowSpeeds) return "speeds";
        if (row == kRowEject) return r.cdb[0] == kOpStartStop ? "eject" : "";
        if (row == kRowClosing && r.cdb[0] != kOpCloseTrack) return "";
        if (row == kRowOpc && r.cdb[0] == kOpSendOpc) return "OPC";
        switch (r.cdb[0]) {
        case kOpModeSelect: return "write parameters";
        case kOpSendCueSheet: return "cue sheet";
        case kOpSync: return "synchronize cache";
        case kOpCloseTrack: return (r.cdb[2] & 0x07) == 1 ? "close track" : "close session";
        case kOpWrite10: return OfWrite(r);
        default: return "";
        }
    }

private:
    std::string OfWrite(const ScsiRequest& r) {
        const int index = m_index++;
        // A raw write starts in the lead-in; the first WRITE of user data comes later.
        if (index == 0 && Lba(r) < -150) return "lead-in";
        if (!m_seenData && Lba(r) >= -150) {
            m_seenData = true;
            return "first WRITE";
        }
        if (index == m_writes / 2) return "middle WRITE";
        if (index == m_writes - 1) return "last WRITE";
        return "";
    }

    int m_writes;
    int m_index = 0;
    bool m_seenData = false;
};

const std::vector<Phase> kPhases = {
    {"create drive object", true}, {"get BUP", true},           {"set BUP", false},          {"speeds", true},
    {"OPC", false},              {"exclusive access", true},  {"write parameters", true},
    {"cue sheet", true},         {"lead-in", true},           {"first WRITE", true},
    {"middle WRITE", true},      {"last WRITE", true},        {"synchronize cache", true},
    {"close track", true},       {"close session", true},     {"eject", false},
};

struct Burn {
    const char* name;
    burnlib::DriveModel model;
    burnlib::Medium medium;
    int32_t method;
};

ScsiResult SenseFor(uint8_t opcode) {
    switch (opcode) {
    case kOpWrite10: case kOpSync: return ScsiResult::Check(0x03, 0x0C, 0x00);  // write error
    case kOpSendOpc: return ScsiResult::Check(0x03, 0x73, 0x03);  // power calibration area error
    case kOpCloseTrack: return ScsiResult::Check(0x03, 0x72, 0x00);  // session fixation error
    case kOpModeSelect: case kOpSendCueSheet: return ScsiResult::Check(0x05, 0x26, 0x00);
    default: return ScsiResult::Check(0x04, 0x44, 0x00);  // internal target failure
    }
}

struct CellResult {
    bool applicable = false;
    bool passed = false;
    std::string why;
};

class Matrix {
public:
    explicit Matrix(const Burn& burn) : m_burn(burn), m_work(burn.medium, burn.model) {
        m_imageStart.resize(300 * 2048);
        for (size_t i = 0; i < m_imageStart.size(); ++i)
            m_imageStart[i] = static_cast<uint8_t>(i * 7 + i / 2048 + 1);
    }

    // The clean run: how many WRITEs there are, and which phases the burn goes through.
    bool Survey() {
        std::map<std::string, int> seen;
        int writes = 0;
        m_work.SetFault([&](const ScsiRequest& r) -> std::optional<ScsiResult> {
            if (r.cdb[0] == kOpWrite10) ++writes;
            return std::nullopt;
        });
        m_work.InsertFreshDisc();
        BurnOutcome clean = m_work.Burn(m_burn.method, m_work.Image());
        if (!clean.succeeded) return false;
        m_writes = writes;
        PhaseTracker tracker(m_writes);
        m_work.SetFault([&](const ScsiRequest& r) -> std::optional<ScsiResult> {
            const std::string phase = tracker.Of(r);
            if (!phase.empty()) m_present[phase] = true;
            return std::nullopt;
        });
        m_work.InsertFreshDisc();
        clean = m_work.Burn(m_burn.method, m_work.Image());
        m_present["exclusive access"] = true;
        m_work.SetFault(nullptr);
        return clean.succeeded;
    }

    CellResult Run(const Phase& phase, Kind kind) {
        CellResult cell;
        if (!m_present[phase.name]) return cell;
        if (phase.name == std::string("exclusive access") && kind != Kind::Fail) return cell;
        // Until the drive object exists there is nothing a cancel could reach.
        const bool creating = phase.name == std::string("create drive object");
        if (creating && kind == Kind::Cancel) return cell;
        cell.applicable = true;

        PhaseTracker tracker(m_writes);
        int hits = 0;
        std::thread canceller;
        m_work.SetFault([&](const ScsiRequest& r) -> std::optional<ScsiResult> {
            if (tracker.Of(r) != phase.name) return std::nullopt;
            switch (kind) {
            case Kind::Fail:
                return SenseFor(r.cdb[0]);
            case Kind::Busy:
                // A drive answers INQUIRY whatever it is busy with.
                if (creating && r.cdb[0] == kOpInquiry) return std::nullopt;
                // Three answers of "in progress", then the command goes through.
                if (hits++ < 3) return ScsiResult::Check(0x02, 0x04, r.cdb[0] == kOpWrite10 ? 0x08 : 0x07);
                return std::nullopt;
            case Kind::Slow:
                ::Sleep(80);
                return std::nullopt;
            case Kind::Cancel:
                // The user's cancel arrives from another thread while the drive works on it.
                if (hits++ == 0) canceller = std::thread([] { ::Sleep(10); CancelBurnDrive(g_burnParams); });
                ::Sleep(60);
                return std::nullopt;
            }
            return std::nullopt;
        });
        m_work.SetExclusiveRefused(phase.name == std::string("exclusive access"));
        m_work.InsertFreshDisc();
        const BurnOutcome outcome = m_work.Burn(m_burn.method, m_work.Image());
        if (canceller.joinable()) canceller.join();
        m_work.SetFault(nullptr);
        m_work.SetExclusiveRefused(false);

        cell.passed = true;
        auto fail = [&](const std::string& why) {
            cell.passed = false;
            if (cell.why.empty()) cell.why = why;
        };
        if (!outcome.ended) fail("did not end within a minute");
        if (!outcome.driveReleased) fail("drive object left behind");
        // A step whose failure the worker passes over still ends the burn when the user cancels
        // in it: the cancel holds for the rest of the burn, and the page reports it.
        const bool mustFail = (kind == Kind::Fail || kind == Kind::Cancel) && phase.fatal;
        const bool mustSucceed = kind == Kind::Busy || kind == Kind::Slow || (kind == Kind::Fail && !phase.fatal);
        if (mustFail && outcome.succeeded) fail("reported success");
        if (mustSucceed && !outcome.succeeded) fail("failed: " + outcome.lastRow());
        if (outcome.succeeded && !DiscHoldsImage()) fail("success without the image on the disc");
        // What the page shows follows from these: one final failure row, and nothing after it.
        if (outcome.succeeded && outcome.fatalRows != 0) fail("success after a failure row");
        if (outcome.ended && !outcome.succeeded && (outcome.fatalRows != 1 || !outcome.fatalRowLast))
            fail("failure ended with " + std::to_string(outcome.fatalRows) + " final rows, last \"" +
                 outcome.lastRow() + "\"");
        std::string why;
        if (outcome.ended && !m_work.Burn(m_burn.method, &why)) fail("next burn failed: " + why);
        return cell;
    }

private:
    bool DiscHoldsImage() {
        const burnlib::Medium disc = m_work.CdWriter().CurrentMedium();
        return disc.state != burnlib::DiscState::Blank &&
               m_work.CdWriter().ReadUserData(0, 300) == m_imageStart;
    }

    const Burn& m_burn;
    Workload m_work;
    int m_writes = 0;
    std::map<std::string, bool> m_present;
    std::vector<uint8_t> m_imageStart;  // the workload's image, as MakeTempFile writes it
};

}  // namespace

TEST(FaultMatrix, EveryStepAndPhaseFailingBusySlowOrCancelledEndsAsPromised) {
    burnlib::Medium dvdMinusR = drivetest::MediumOfProfile(burnlib::kProfileDvdR);
    dvdMinusR.state = burnlib::DiscState::Blank;
    const auto cdWriter = drivetest::CdWriter(drivetest::StandardCdSteps());
    const auto dvdWriter = drivetest::DvdWriter({1385, 5540});
    const std::vector<Burn> burns = {
        {"CD-R TAO", cdWriter, drivetest::BlankCdR(), 0},
        {"CD-R SAO", cdWriter, drivetest::BlankCdR(), 1},
        {"CD-R DAO PQ", cdWriter, drivetest::BlankCdR(), 2},
        {"CD-R DAO PW", cdWriter, drivetest::BlankCdR(), 3},
        {"DVD+R TAO", dvdWriter, drivetest::BlankDvdPlusR(), 0},
        {"DVD-R TAO", dvdWriter, dvdMinusR, 0},
    };
    const Kind kinds[] = {Kind::Fail, Kind::Busy, Kind::Slow, Kind::Cancel};

    // One burn kind at a time: each has the library to itself.
    std::vector<std::vector<std::string>> marks(kPhases.size(), std::vector<std::string>(burns.size()));
    std::vector<std::string> failures;
    int cells = 0, passed = 0;
    for (size_t m = 0; m < burns.size(); ++m) {
        Matrix matrix(burns[m]);
        ASSERT_TRUE(matrix.Survey()) << burns[m].name << ": the clean burn failed";
        for (size_t p = 0; p < kPhases.size(); ++p) {
            for (Kind kind : kinds) {
                const CellResult cell = matrix.Run(kPhases[p], kind);
                if (!cell.applicable) {
                    marks[p][m] += " . ";
                    continue;
                }
                ++cells;
                const char letter = KindName(kind)[0];
                if (cell.passed) {
                    ++passed;
                    marks[p][m] += std::string(" ") + letter + " ";
                } else {
                    marks[p][m] += std::string(" ") + static_cast<char>(std::toupper(letter)) + "!";
                    failures.push_back(std::string(burns[m].name) + " / " + kPhases[p].name + " / " +
                                       KindName(kind) + ": " + cell.why);
                }
            }
        }
    }
    std::printf("%-20s", "phase");
    for (const Burn& b : burns) std::printf(" %-13s", b.name);
    std::printf("\n");
    for (size_t p = 0; p < kPhases.size(); ++p) {
        std::printf("%-20s", kPhases[p].name);
        for (size_t m = 0; m < burns.size(); ++m) std::printf(" %-13s", marks[p][m].c_str());
        std::printf("\n");
    }
    std::printf("%d of %d cells passed (f fail, b busy, s slow, c cancel; capital and ! failed; . not in this "
                "burn)\n", passed, cells);
    for (const std::string& f : failures) ADD_FAILURE() << f;
}
