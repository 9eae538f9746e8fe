// Every query against every catalog drive and disc, checked at the byte positions callers read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "tests/api/Session.h"

using namespace burnlib;
using apitest::Errors;
using apitest::Session;

namespace {

// Inserted-disc codes as callers expect them per profile.
int32_t ExpectedDiscCode(uint16_t profile) {
    static const std::map<uint16_t, int32_t> codes = {
        {0x0008, 1},  {0x0009, 2},  {0x000A, 3},  {0x0010, 4},  {0x0011, 5},
        {0x0012, 6},  {0x0013, 7},  {0x0014, 8},  {0x001A, 9},  {0x001B, 13},
        {0x002B, 15}, {0x0015, 16}, {0x0016, 16}, {0x0040, 17}, {0x0041, 18},
        {0x0042, 18}, {0x0043, 19}, {0x0050, 20}, {0x0051, 21}, {0x0053, 22}};
    auto it = codes.find(profile);
    return it == codes.end() ? 0 : it->second;
}

template <typename T>
T At(const void* record, size_t position) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + position, sizeof value);
    return value;
}

uint32_t Highest(const std::vector<uint32_t>& steps) {
    return steps.empty() ? 0 : *std::max_element(steps.begin(), steps.end());
}

const std::vector<uint32_t>& WriteSteps(const DriveModel& m, MediumFamily f) {
    static const std::vector<uint32_t> none;
    return f == MediumFamily::Cd ? m.cdWriteSpeeds
           : f == MediumFamily::Dvd ? m.dvdWriteSpeeds
           : f == MediumFamily::Bd  ? m.bdWriteSpeeds
                                    : none;
}

const std::vector<uint32_t>& ReadSteps(const DriveModel& m, MediumFamily f) {
    static const std::vector<uint32_t> none;
    return f == MediumFamily::Cd ? m.cdReadSpeeds
           : f == MediumFamily::Dvd ? m.dvdReadSpeeds
           : f == MediumFamily::Bd  ? m.bdReadSpeeds
                                    : none;
}

class CatalogQueries : public ::testing::Test {
protected:
    void Check(const std::string& modelName, const std::string& mediumName);
};

void CatalogQueries::Check(const std::string& modelName, const std::string& mediumName) {
    SCOPED_TRACE(modelName + " with " + mediumName);
    const DriveModel model = *DriveModelByName(modelName);
    const Medium medium = *MediumByName(mediumName);
    auto recorder = std::make_shared<VirtualRecorder>(model, medium);
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;

    char vendor[STARBURN_ID_TEXT_SIZE], product[STARBURN_ID_TEXT_SIZE],
        revision[STARBURN_ID_TEXT_SIZE];
    uint32_t bufferKB = 0;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, vendor, product, revision,
                                                              &bufferKB),
              STARBURN_OK);
    EXPECT_EQ(std::string(vendor), model.vendor);
    EXPECT_EQ(std::string(product), model.product);
    EXPECT_EQ(std::string(revision), model.revision);
    EXPECT_EQ(bufferKB, model.bufferKB);

    const bool ready = medium.profile != kProfileNone && !medium.notReady &&
                       model.CanRead(medium.profile);
    const uint32_t tur = StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text,
                                                                 &e.systemError, &e.failure);
    EXPECT_EQ(tur == STARBURN_OK, ready) << e.text;
    const int32_t code = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g);
    EXPECT_EQ(code, ready ? ExpectedDiscCode(medium.profile) : 14);

    StarBurn_SetFastReadTOC(1);
    auto toc = std::make_unique<STARBURN_TOC_INFORMATION>();
    std::memset(toc.get(), 0, sizeof *toc);
    auto track = STARBURN_TRACK_INFORMATION{};
    const uint32_t tocResult = StarBurn_CdvdBurnerGrabber_GetTOCInformation(
        g, e.text, sizeof e.text, &e.systemError, &e.failure, toc.get());
    const uint32_t trackResult = StarBurn_CdvdBurnerGrabber_GetTrackInformation(
        g, e.text, sizeof e.text, &e.systemError, &e.failure, 255, &track);
    if (ready) {
        ASSERT_EQ(tocResult, STARBURN_OK) << e.text;
        ASSERT_EQ(trackResult, STARBURN_OK) << e.text;
        // What the disc holds: its recorded tracks, or one track over an overwritable disc.
        std::vector<RecordedTrack> tracks = medium.tracks;
        if (tracks.empty() && IsOverwritableProfile(medium.profile) &&
            medium.state != DiscState::Blank) {
            RecordedTrack whole;
            whole.length = medium.capacityBlocks;
            tracks.push_back(whole);
        }
        ASSERT_EQ(At<uint8_t>(toc.get(), 10), tracks.size());
        int64_t usedBytes = 0;
        for (size_t k = 0; k < tracks.size(); ++k) {
            const size_t entry = 12 + 34 * k;
            const int32_t start = At<int32_t>(toc.get(), entry + 3);
            const int32_t end = At<int32_t>(toc.get(), entry + 10);
            EXPECT_EQ(start, tracks[k].start);
            // The next track of the same session, or the track's own session's lead-out.
            EXPECT_EQ(end, k + 1 < tracks.size() && tracks[k + 1].session == tracks[k].session
                               ? tracks[k + 1].start
                               : tracks[k].start + static_cast<int32_t>(tracks[k].length));
            // Mode 1 and Mode 2 Form 1 data tracks both hold 2048 user bytes per block.
            EXPECT_EQ(At<uint32_t>(toc.get(), entry + 26), 2048u);
            usedBytes += static_cast<int64_t>(end - start) * At<uint32_t>(toc.get(), entry + 26);
        }
        // The full table (sessions, disc type) gives the same tracks as the fast one.
        StarBurn_SetFastReadTOC(0);
        auto full = std::make_unique<STARBURN_TOC_INFORMATION>();
        std::memset(full.get(), 0, sizeof *full);
        ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, e.text, sizeof e.text,
                                                               &e.systemError, &e.failure,
                                                               full.get()),
                  STARBURN_OK)
            << e.text;
        ASSERT_EQ(full->m_trackCount, toc->m_trackCount);
        for (size_t k = 0; k < tracks.size(); ++k) {
            const size_t entry = 12 + 34 * k;
            EXPECT_EQ(At<int32_t>(full.get(), entry + 3), At<int32_t>(toc.get(), entry + 3));
            EXPECT_EQ(At<int32_t>(full.get(), entry + 10), At<int32_t>(toc.get(), entry + 10));
            EXPECT_EQ(At<uint32_t>(full.get(), entry + 26), At<uint32_t>(toc.get(), entry + 26));
            EXPECT_EQ(At<uint8_t>(full.get(), entry), tracks[k].session);
        }
        int64_t recorded = 0;
        for (const RecordedTrack& t : tracks) recorded += int64_t{t.length} * 2048;
        EXPECT_EQ(usedBytes, recorded);

        const uint8_t writable = At<uint8_t>(&track, 11);
        const int32_t start = At<int32_t>(&track, 16);
        const int32_t free = At<int32_t>(&track, 20);
        const bool canWrite = model.CanWrite(medium.profile);
        if (IsOverwritableProfile(medium.profile)) {
            EXPECT_EQ(start, 0);
            EXPECT_EQ(free, static_cast<int32_t>(medium.capacityBlocks));
        } else if (medium.state == DiscState::Closed || IsRomProfile(medium.profile)) {
            EXPECT_EQ(writable, 0);
            EXPECT_EQ(start, medium.RecordedEnd());
            EXPECT_EQ(free, 0);
        } else {
            EXPECT_EQ(writable, 1);
            EXPECT_EQ(start, medium.NextTrackStart());
            EXPECT_EQ(free, static_cast<int32_t>(medium.capacityBlocks) - medium.NextTrackStart());
            if (medium.state == DiscState::Blank) {
                EXPECT_EQ(start, 0);
            }
        }
        (void)canWrite;
    } else {
        EXPECT_NE(tocResult, STARBURN_OK);
        EXPECT_NE(trackResult, STARBURN_OK);
        EXPECT_NE(std::string(e.text).find("READ TRACK INFORMATION failed: sense 02/"),
                  std::string::npos)
            << e.text;
    }

    uint32_t currentRead = 0, maxRead = 0, currentWrite = 0, maxWrite = 0;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetSpeeds(g, e.text, sizeof e.text, &e.systemError,
                                                   &e.failure, &currentRead, &maxRead,
                                                   &currentWrite, &maxWrite),
              STARBURN_OK)
        << e.text;
    if (ready) {
        const MediumFamily family = medium.Family();
        EXPECT_EQ(maxRead, Highest(ReadSteps(model, family)));
        uint32_t expectedWrite = 0;
        if (model.CanWrite(medium.profile)) {
            expectedWrite = Highest(WriteSteps(model, family));
            if (medium.maxWriteSpeed != 0) expectedWrite = std::min(expectedWrite, medium.maxWriteSpeed);
        }
        EXPECT_EQ(maxWrite, expectedWrite);

        // The slowest write step, with reading left alone.
        const std::vector<uint32_t>& steps = WriteSteps(model, family);
        if (expectedWrite != 0 && !steps.empty()) {
            ASSERT_EQ(StarBurn_CdvdBurnerGrabber_SetSpeeds(g, e.text, sizeof e.text,
                                                           &e.systemError, &e.failure,
                                                           STARBURN_SPEED_UNCHANGED, steps.front()),
                      STARBURN_OK)
                << e.text;
            uint32_t cr = 0, mr = 0, cw = 0, mw = 0;
            ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetSpeeds(g, e.text, sizeof e.text,
                                                           &e.systemError, &e.failure, &cr, &mr,
                                                           &cw, &mw),
                      STARBURN_OK);
            EXPECT_EQ(cw, steps.front());
            EXPECT_EQ(cr, currentRead);
            EXPECT_EQ(mw, maxWrite);
        }
    }
    StarBurn_Destroy(&g);
}

}  // namespace

TEST_F(CatalogQueries, EveryModelWithEveryMedium) {
    for (const std::string& model : DriveModelNames())
        for (const std::string& medium : MediumNames()) Check(model, medium);
}

TEST(MediaAndWriteModes, FlagBytesFollowWhatEachModelWrites) {
    // The nine media a caller checks before burning, by byte position.
    const size_t nine[] = {6, 8, 11, 13, 15, 19, 21, 25, 27};
    const std::map<std::string, std::vector<size_t>> written = {
        {"cdrw-writer", {6, 8}},
        {"dvd-reader", {}},
        {"dvd-dl-writer", {6, 8, 11, 13, 15, 19, 21, 25, 27}},
        {"bd-writer", {6, 8, 11, 13, 15, 19, 21, 25, 27, 30, 32}},
    };
    for (const std::string& modelName : DriveModelNames()) {
        SCOPED_TRACE(modelName);
        ASSERT_TRUE(written.count(modelName)) << "a catalog model this test does not know";
        const std::vector<size_t>& expected = written.at(modelName);
        for (const char* mediumName : {"cd-r-blank", "none", "dvd+r-blank"}) {
            SCOPED_TRACE(mediumName);
            Session session(MakeVirtualDeviceProvider({apitest::Recorder(modelName.c_str(), mediumName)}));
            Errors e;
            STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
            ASSERT_NE(g, nullptr);
            STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS formats = {};
            formats.m_size = sizeof formats;
            ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats),
                      STARBURN_OK);
            for (size_t byte : nine) {
                const bool isWritten =
                    std::find(expected.begin(), expected.end(), byte) != expected.end();
                EXPECT_EQ(At<uint8_t>(&formats, byte) != 0, isWritten) << "byte " << byte;
            }
            EXPECT_EQ(At<uint8_t>(&formats, 30) != 0, modelName == "bd-writer");
            EXPECT_EQ(At<uint8_t>(&formats, 32) != 0, modelName == "bd-writer");
            EXPECT_NE(formats.m_cdRomRead, 0);
            EXPECT_EQ(formats.m_dvdRomRead != 0, modelName != "cdrw-writer");
            EXPECT_EQ(At<uint32_t>(&formats, 0), sizeof formats);

            // The write methods are CD methods: every CD writer offers all four with a CD in it.
            uint8_t modes[4] = {9, 9, 9, 9};
            ASSERT_EQ(StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
                          g, e.text, sizeof e.text, &e.systemError, &e.failure, &modes[0],
                          &modes[1], &modes[2], &modes[3]),
                      STARBURN_OK)
                << e.text;
            if (std::string(mediumName) == "cd-r-blank") {
                const uint8_t all = modelName == "dvd-reader" ? 0 : 1;
                for (uint8_t m : modes) EXPECT_EQ(m, all);
            }
            if (modelName == "dvd-reader") {
                for (uint8_t m : modes) EXPECT_EQ(m, 0);
            }
            StarBurn_Destroy(&g);
        }
    }
}

TEST(MediaAndWriteModes, AFullProbeOfABlankCdRInACdWriterStaysSmall) {
    Session session(MakeVirtualDeviceProvider({apitest::Recorder("cdrw-writer", "cd-r-blank")}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    char v[STARBURN_ID_TEXT_SIZE], p[STARBURN_ID_TEXT_SIZE], r[STARBURN_ID_TEXT_SIZE];
    uint32_t kb = 0;
    StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, v, p, r, &kb);
    StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError, &e.failure);
    StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g);
    StarBurn_SetFastReadTOC(1);
    auto toc = std::make_unique<STARBURN_TOC_INFORMATION>();
    StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, e.text, sizeof e.text, &e.systemError,
                                                 &e.failure, toc.get());
    STARBURN_TRACK_INFORMATION track = {};
    StarBurn_CdvdBurnerGrabber_GetTrackInformation(g, e.text, sizeof e.text, &e.systemError,
                                                   &e.failure, 255, &track);
    STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS formats = {};
    formats.m_size = sizeof formats;
    StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats);
    uint8_t modes[4];
    StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(g, e.text, sizeof e.text, &e.systemError,
                                                        &e.failure, &modes[0], &modes[1],
                                                        &modes[2], &modes[3]);
    uint32_t s[4];
    StarBurn_CdvdBurnerGrabber_GetSpeeds(g, e.text, sizeof e.text, &e.systemError, &e.failure,
                                         &s[0], &s[1], &s[2], &s[3]);
    StarBurn_Destroy(&g);
    const ApiStatistics stats = ApiStatistics::Get();
    // Each query is a handful of commands; no retry storms, no repeated reads.
    EXPECT_LE(stats.scsiCommands, 20u);
    EXPECT_EQ(stats.Commands(0x12), 1u);  // identity read once, at creation
    EXPECT_EQ(stats.Commands(0x00), 1u);
}

TEST(MediumChanges, ADiscInsertedBetweenCallsIsSeenByTheNextCall) {
    auto recorder = apitest::Recorder("dvd-dl-writer", "none");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g), 14);
    // The drive reports the change once with a unit attention; the call goes through anyway.
    recorder->InsertMedium(*MediumByName("dvd-rw-restricted"));
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g), 7);
    recorder->InsertMedium(*MediumByName("dvd-rw-sequential"));
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(g, e.text, sizeof e.text, &e.systemError,
                                                       &e.failure),
              STARBURN_OK)
        << e.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g), 8);
    StarBurn_Destroy(&g);
}

TEST(MediumChanges, AMultiSessionDiscListsEveryTrackWithItsSession) {
    Medium disc = *MediumByName("cd-r-appendable");
    RecordedTrack second;
    second.session = 2;
    second.start = disc.NextTrackStart();
    second.length = 30000;
    second.dataMode = 2;
    disc.tracks.push_back(second);
    disc.state = DiscState::Closed;
    auto recorder = std::make_shared<VirtualRecorder>(*DriveModelByName("cdrw-writer"), disc);
    Session session(MakeVirtualDeviceProvider({recorder}));
    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr);
    auto toc = std::make_unique<STARBURN_TOC_INFORMATION>();
    StarBurn_SetFastReadTOC(0);
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, e.text, sizeof e.text,
                                                           &e.systemError, &e.failure, toc.get()),
              STARBURN_OK)
        << e.text;
    ASSERT_EQ(At<uint8_t>(toc.get(), 10), 2);
    EXPECT_EQ(toc->m_lastSession, 2);
    EXPECT_EQ(At<uint8_t>(toc.get(), 12), 1);
    EXPECT_EQ(At<uint8_t>(toc.get(), 12 + 34), 2);
    // The first track ends at its session's lead-out, before the second session's lead-in and
    // pregap; the second at the disc's lead-out.
    EXPECT_EQ(At<int32_t>(toc.get(), 12 + 10),
              disc.tracks[0].start + static_cast<int32_t>(disc.tracks[0].length));
    EXPECT_EQ(At<int32_t>(toc.get(), 12 + 34 + 10), second.start + 30000);
    // The second session is CD-ROM XA: Mode 2, Form 1 (2048 user bytes) as data discs are.
    EXPECT_EQ(At<uint32_t>(toc.get(), 12 + 26), 2048u);
    EXPECT_EQ(At<uint8_t>(toc.get(), 12 + 34 + 18), 2);
    EXPECT_EQ(At<uint32_t>(toc.get(), 12 + 34 + 26), 2048u);
    STARBURN_TRACK_INFORMATION track = {};
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetTrackInformation(g, e.text, sizeof e.text,
                                                             &e.systemError, &e.failure, 255,
                                                             &track),
              STARBURN_OK)
        << e.text;
    EXPECT_EQ(At<uint8_t>(&track, 11), 0);
    EXPECT_EQ(At<int32_t>(&track, 16), second.start + 30000);
    StarBurn_Destroy(&g);
}
