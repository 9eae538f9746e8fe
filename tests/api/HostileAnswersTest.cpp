// A drive whose answers are real but bent out of shape: lists far longer than any allocation,
// counts that promise entries which never come. Every call must stay inside what arrived, end in
// a bounded number of commands, and never turn a drive it cannot understand into a burn reported
// as done.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>

#include "burnlib/mmc/Cdb.h"
#include "tests/api/WriteSupport.h"
#include "tests/mmc/ScriptedDrive.h"

using namespace burnlib;
using namespace apitest;

namespace {

enum : uint8_t {
    kOpReadDiscInfo = 0x51, kOpReadToc = 0x43, kOpGetConfiguration = 0x46,
    kOpGetPerformance = 0xAC, kOpModeSense10 = 0x5A,
};

// Bends the recorder's own answer to chosen commands; everything else goes through unchanged.
class BentDrive final : public ScsiTarget {
public:
    using Bend = std::function<void(const ScsiRequest&, std::vector<uint8_t>& answer)>;

    explicit BentDrive(std::shared_ptr<VirtualRecorder> recorder) : m_recorder(std::move(recorder)) {}

    void On(uint8_t opcode, Bend bend) { m_bends[opcode] = std::move(bend); }

    ScsiResult Execute(const ScsiRequest& request) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_counts[request.cdb[0]];
            ++m_total;
        }
        auto it = m_bends.find(request.cdb[0]);
        if (it == m_bends.end() || request.direction != DataDirection::In) return m_recorder->Execute(request);
        // The real answer in full, so the bend works on what the drive would have said.
        std::vector<uint8_t> answer(65535);
        ScsiRequest whole = request;
        whole.data = answer.data();
        whole.dataLength = static_cast<uint32_t>(answer.size());
        if (request.cdb[0] != kOpGetPerformance) {
            whole.cdb[7] = 0xFF;
            whole.cdb[8] = 0xFF;
        }
        const ScsiResult real = m_recorder->Execute(whole);
        if (!real.Good()) return real;
        answer.resize(std::min<size_t>(real.transferred, answer.size()));
        it->second(request, answer);
        return mmctest::Deliver(request, answer);
    }
    bool ClaimExclusive(const void* owner) override { return m_recorder->ClaimExclusive(owner); }
    void ReleaseExclusive(const void* owner) override { m_recorder->ReleaseExclusive(owner); }

    int Count(uint8_t opcode) {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_counts[opcode];
    }
    int Total() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_total;
    }

private:
    std::shared_ptr<VirtualRecorder> m_recorder;
    std::map<uint8_t, Bend> m_bends;
    std::mutex m_lock;
    std::map<uint8_t, int> m_counts;
    int m_total = 0;
};

// A profile list announcing 65,535 entries: feature 0000h descriptors of 63 profiles each
// (a descriptor's length is one byte), more than the largest allocation (64 KiB) holds, the
// current one among them.
std::vector<uint8_t> ProfileFlood(uint16_t current) {
    std::vector<uint8_t> flood;
    uint32_t profile = 1;
    while (flood.size() < 65535) {
        std::vector<uint8_t> d(4 + 252, 0);
        d[2] = 0x03;
        d[3] = 252;
        for (size_t i = 4; i < d.size(); i += 4, ++profile) {
            mmc::PutBe16(d.data() + i, static_cast<uint16_t>(profile));
            if (profile == current) d[i + 2] = 0x01;
        }
        flood.insert(flood.end(), d.begin(), d.end());
    }
    return flood;
}

// The configuration header announcing 65,535 four-byte profiles beyond its features.
void AnnounceFlood(std::vector<uint8_t>& answer) {
    mmc::PutBe32(answer.data(), 4 + 65535u * 4 + static_cast<uint32_t>(answer.size() - 8));
}

struct Rig {
    std::shared_ptr<VirtualRecorder> recorder;
    std::shared_ptr<BentDrive> drive;
    std::unique_ptr<Session> session;

    explicit Rig(const char* model = "cdrw-writer", const char* medium = "cd-r-blank")
        : recorder(Recorder(model, medium)), drive(std::make_shared<BentDrive>(recorder)) {}
    void Start() {
        session = std::make_unique<Session>(MakeTargetDeviceProvider({drive}, {'E'}));
    }
};

}  // namespace

TEST(HostileAnswers, AProfileListOf65535EntriesBeforeTheWriteFeaturesLeavesNothingToWriteWith) {
    Rig rig;
    // The flood comes first, as the header and profile list do, so the write features fall past
    // the largest transfer the engine asks for.
    rig.drive->On(kOpGetConfiguration, [](const ScsiRequest&, std::vector<uint8_t>& answer) {
        std::vector<uint8_t> bent(answer.begin(), answer.begin() + 8);
        const std::vector<uint8_t> flood = ProfileFlood(0x0009);
        bent.insert(bent.end(), flood.begin(), flood.end());
        bent.insert(bent.end(), answer.begin() + 8, answer.end());
        answer = bent;
        AnnounceFlood(answer);
    });
    rig.Start();

    Burner burner;
    ASSERT_NE(burner.Handle(), nullptr) << burner.errors.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(burner.Handle()), 2);  // CD-R, the current one
    uint8_t modes[4] = {9, 9, 9, 9};
    Errors e;
    StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(burner.Handle(), e.text, sizeof e.text, &e.systemError,
                                                        &e.failure, &modes[0], &modes[1], &modes[2], &modes[3]);
    for (uint8_t m : modes) EXPECT_EQ(m, 0) << "no write feature came within the transfer";

    // A drive that shows no way to write is not written to on a guess.
    const ImageFile image("qf-hostile-flood.iso", Pattern(64 * 2048));
    EXPECT_NE(burner.Write(Method::TrackAtOnce, image.Path()), 0u);
    EXPECT_STREQ(burner.errors.text, "the drive does not offer Track-At-Once");
    EXPECT_EQ(rig.recorder->CurrentMedium().state, DiscState::Blank);
    // Each question is asked once with the header's length and once for what fits: never again
    // and again for the rest of a list no transfer can hold.
    EXPECT_LT(rig.drive->Count(kOpGetConfiguration), 40);
}

TEST(HostileAnswers, AProfileListOf65535EntriesAfterTheFeaturesStillBurnsTheImage) {
    Rig rig;
    rig.drive->On(kOpGetConfiguration, [](const ScsiRequest&, std::vector<uint8_t>& answer) {
        const std::vector<uint8_t> flood = ProfileFlood(0x0009);
        answer.insert(answer.end(), flood.begin(), flood.end());
        AnnounceFlood(answer);
    });
    rig.Start();

    const std::vector<uint8_t> bytes = Pattern(64 * 2048);
    const ImageFile image("qf-hostile-after.iso", bytes);
    Burner burner;
    ASSERT_NE(burner.Handle(), nullptr) << burner.errors.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(burner.Handle()), 2);
    ASSERT_EQ(burner.Write(Method::TrackAtOnce, image.Path()), 0u) << burner.errors.text;
    ASSERT_EQ(burner.CloseSession(), 0u) << burner.errors.text;
    EXPECT_EQ(rig.recorder->ReadUserData(0, 64), bytes);
    EXPECT_EQ(rig.recorder->CurrentMedium().state, DiscState::Closed);
}

TEST(HostileAnswers, CountsThatPromiseMoreThanCameAreReadOnlyAsFarAsTheyGo) {
    // A closed CD-R with one track whose answers claim far more than they hold.
    Rig rig("cdrw-writer", "cd-r-closed");
    // The table of contents says tracks 1..99 but carries its real descriptors only, with a
    // length that runs past the transfer.
    rig.drive->On(kOpReadToc, [](const ScsiRequest& r, std::vector<uint8_t>& answer) {
        if ((r.cdb[2] & 0x0F) == 0 && answer.size() >= 4) {
            answer[3] = 99;
            mmc::PutBe16(answer.data(), 0xFFFE);
        }
    });
    // The disc information claims 65,535 sessions and tracks.
    rig.drive->On(kOpReadDiscInfo, [](const ScsiRequest&, std::vector<uint8_t>& answer) {
        if (answer.size() < 12) return;
        answer[4] = answer[5] = answer[6] = 0xFF;
        answer[9] = answer[10] = answer[11] = 0xFF;
    });
    // Write speed descriptors: the header announces 65,535 of them.
    rig.drive->On(kOpGetPerformance, [](const ScsiRequest&, std::vector<uint8_t>& answer) {
        if (answer.size() >= 4) mmc::PutBe32(answer.data(), 4 + 65535u * 16);
    });
    // The capabilities page: 65,535 speed descriptors in a page that holds its real ones.
    rig.drive->On(kOpModeSense10, [](const ScsiRequest& r, std::vector<uint8_t>& answer) {
        if ((r.cdb[2] & 0x3F) == 0x2A && answer.size() >= 8 + 32)
            mmc::PutBe16(answer.data() + 8 + 30, 0xFFFF);
    });
    rig.Start();

    Burner burner("CdRom0", 1);
    ASSERT_NE(burner.Handle(), nullptr) << burner.errors.text;
    STARBURN_TOC_INFORMATION toc{};
    Errors e;
    const int before = rig.drive->Total();
    const uint32_t tocResult = StarBurn_CdvdBurnerGrabber_GetTOCInformation(
        burner.Handle(), e.text, sizeof e.text, &e.systemError, &e.failure, &toc);
    // Only the descriptors that came can be tracks; a failure must say why.
    if (tocResult == 0) {
        EXPECT_LE(toc.m_trackCount, 2);
        EXPECT_LE(toc.m_lastTrack, 99);
    } else {
        EXPECT_NE(e.text[0], '\0');
    }
    EXPECT_LT(rig.drive->Total() - before, 300) << "the table was not read track by track to 65,535";

    uint32_t currentRead = 0, maximumRead = 0, currentWrite = 0, maximumWrite = 0;
    Errors s;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetSpeeds(burner.Handle(), s.text, sizeof s.text, &s.systemError,
                                                   &s.failure, &currentRead, &maximumRead, &currentWrite,
                                                   &maximumWrite),
              0u)
        << s.text;
    // The recorder's fastest CD speeds are what came; nothing past them is read as a speed.
    const DriveModel model = *DriveModelByName("cdrw-writer");
    uint32_t fastestWrite = 0;
    for (uint32_t v : model.cdWriteSpeeds) fastestWrite = std::max(fastestWrite, v);
    const Medium medium = rig.recorder->CurrentMedium();
    if (medium.maxWriteSpeed != 0) fastestWrite = std::min(fastestWrite, medium.maxWriteSpeed);
    EXPECT_EQ(maximumWrite, fastestWrite);
}
