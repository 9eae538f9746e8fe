// The names, burn kinds and counting rules of the soak: what a run's table says and when its
// counts add up.
#include "tests/write/Soak.h"

namespace soak {

using writetest::Method;

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::None: return "none";
        case Fault::WriteError: return "write error";
        case Fault::OpcError: return "OPC error";
        case Fault::CommandFails: return "command fails";
        case Fault::MediumRemoved: return "medium removed";
        case Fault::UnderrunBupOff: return "underrun, BUP off";
        case Fault::UnderrunBupOn: return "underrun, BUP on";
        case Fault::Cancel: return "cancel";
        case Fault::Busy: return "busy spell";
        case Fault::Count: break;
    }
    return "?";
}

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Succeeded: return "ok";
        case Outcome::FailedReported: return "failed";
        case Outcome::SucceededDiscWrong: return "ok,bad disc";
        case Outcome::SucceededDespiteFault: return "ok,faulted";
        case Outcome::FailedWithoutCause: return "fail,no cause";
        case Outcome::FailedSilently: return "fail,silent";
        case Outcome::Hang: return "hang";
        case Outcome::DriveUnusable: return "drive unusable";
        case Outcome::Count: break;
    }
    return "?";
}

bool Impossible(Outcome outcome) {
    return outcome != Outcome::Succeeded && outcome != Outcome::FailedReported;
}

const std::vector<BurnKind>& Kinds() {
    static const std::vector<BurnKind> kinds = {
        {"CD-R TAO", "tao", 0, "cd-r-blank", Method::TrackAtOnce},
        {"CD-R SAO", "sao", 0, "cd-r-blank", Method::SessionAtOnce},
        {"CD-R DAO PQ", "dao-pq", 0, "cd-r-blank", Method::DiscAtOncePQ},
        {"CD-R DAO PW", "dao-pw", 0, "cd-r-blank", Method::DiscAtOnceRawPW},
        {"DVD+R TAO", "dvd+r", 1, "dvd+r-blank", Method::TrackAtOnce},
        {"DVD-R TAO", "dvd-r", 1, "dvd-r-blank", Method::TrackAtOnce},
    };
    return kinds;
}

uint32_t Tally::Total(Outcome outcome) const {
    uint32_t n = 0;
    for (const auto& row : byKind) n += row[static_cast<size_t>(outcome)];
    return n;
}

uint32_t Tally::KindTotal(size_t kind) const {
    uint32_t n = 0;
    for (uint32_t count : byKind[kind]) n += count;
    return n;
}

std::vector<std::string> Tally::Problems(uint32_t burnsWanted) const {
    std::vector<std::string> problems;
    auto expect = [&](uint32_t got, uint32_t want, const std::string& what) {
        if (got != want)
            problems.push_back(what + ": " + std::to_string(got) + ", not " + std::to_string(want));
    };
    expect(burns, burnsWanted, "burns run");
    uint32_t byKindSum = 0, byOutcomeSum = 0, faultSum = 0;
    for (size_t k = 0; k < kKinds; ++k) byKindSum += KindTotal(k);
    for (size_t o = 0; o < kOutcomes; ++o) byOutcomeSum += Total(static_cast<Outcome>(o));
    for (size_t f = 0; f < kFaults; ++f) {
        faultSum += faults[f];
        if (faultsFired[f] > faults[f])
            problems.push_back(std::string("faults fired (") + FaultName(static_cast<Fault>(f)) +
                               ") exceed those planned");
    }
    expect(byKindSum, burns, "burns counted by kind");
    expect(byOutcomeSum, burns, "burns counted by outcome");
    expect(faultSum, burns, "burns counted by fault");
    expect(followUps, failuresReported, "clean burns after a failure");
    for (size_t o = 0; o < kOutcomes; ++o) {
        const auto outcome = static_cast<Outcome>(o);
        if (Impossible(outcome) && Total(outcome) != 0)
            problems.push_back(std::string(OutcomeName(outcome)) + ": " +
                               std::to_string(Total(outcome)) + " burns");
    }
    return problems;
}

}  // namespace soak
