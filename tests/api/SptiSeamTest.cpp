// The library's public calls over the SPTI marshalling: listed, opened and queried through the
// pass-through provider, a drive answers every query as the same drive does through the virtual
// transport.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/api/Session.h"
#include "tests/support/SptiTestSystem.h"

using namespace burnlib;
using apitest::Errors;
using apitest::Recorder;
using apitest::Session;

namespace {

std::string Hex(const void* data, size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i) {
        text += digits[p[i] >> 4];
        text += digits[p[i] & 15];
    }
    return text;
}

void Found(uint32_t reason, void* context, void* data1, void*) {
    auto* lines = static_cast<std::vector<std::string>*>(context);
    lines->push_back("found " + std::to_string(reason) + " " +
                     Hex(data1, sizeof(STARBURN_DEVICE_ADDRESS)));
}

std::string Outcome(const char* call, uint32_t result, const Errors& e) {
    return std::string(call) + " " + std::to_string(result) + " " +
           std::to_string(e.systemError) + " " + e.text;
}

// Every query a caller makes before a burn, on each listed drive, written down in order.
std::vector<std::string> Transcript() {
    std::vector<std::string> lines;
    StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Found, &lines);
    for (uint8_t target = 0; target < 2; ++target) {
        char name[STARBURN_TEXT_SIZE] = {};
        StarBurn_GetDeviceNameByDeviceAddress(1, 0, target, 0, name);
        lines.push_back(std::string("name ") + name);

        Errors e;
        STARBURN_GRABBER g = apitest::Open(("CdRom" + std::to_string(target)).c_str(), &e);
        lines.push_back(Outcome("open", g != nullptr, e));
        if (g == nullptr) continue;
        char vendor[STARBURN_ID_TEXT_SIZE] = {}, product[STARBURN_ID_TEXT_SIZE] = {},
             revision[STARBURN_ID_TEXT_SIZE] = {};
        uint32_t bufferKB = 0;
        const uint32_t info = StarBurn_CdvdBurnerGrabber_GetDeviceInformation(
            g, vendor, product, revision, &bufferKB);
        lines.push_back("information " + std::to_string(info) + " " + vendor + "|" + product +
                        "|" + revision + "|" + std::to_string(bufferKB));
        lines.push_back(Outcome("ready",
                                StarBurn_CdvdBurnerGrabber_TestUnitReady(
                                    g, e.text, sizeof e.text, &e.systemError, &e.failure),
                                e));
        lines.push_back("disc " +
                        std::to_string(StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(g)));

        static STARBURN_TOC_INFORMATION toc;
        std::memset(&toc, 0, sizeof toc);
        lines.push_back(Outcome("toc",
                                StarBurn_CdvdBurnerGrabber_GetTOCInformation(
                                    g, e.text, sizeof e.text, &e.systemError, &e.failure, &toc),
                                e) +
                        " " + Hex(&toc, sizeof toc));
        STARBURN_TRACK_INFORMATION track = {};
        lines.push_back(Outcome("track",
                                StarBurn_CdvdBurnerGrabber_GetTrackInformation(
                                    g, e.text, sizeof e.text, &e.systemError, &e.failure, 255,
                                    &track),
                                e) +
                        " " + Hex(&track, sizeof track));
        STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS formats = {};
        const uint32_t formatsResult =
            StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(g, &formats);
        lines.push_back("formats " + std::to_string(formatsResult) + " " +
                        Hex(&formats, sizeof formats));
        uint8_t modes[4] = {};
        lines.push_back(Outcome("modes",
                                StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
                                    g, e.text, sizeof e.text, &e.systemError, &e.failure,
                                    &modes[0], &modes[1], &modes[2], &modes[3]),
                                e) +
                        " " + Hex(modes, 4));
        uint32_t speeds[4] = {};
        lines.push_back(Outcome("speeds",
                                StarBurn_CdvdBurnerGrabber_GetSpeeds(
                                    g, e.text, sizeof e.text, &e.systemError, &e.failure,
                                    &speeds[0], &speeds[1], &speeds[2], &speeds[3]),
                                e) +
                        " " + Hex(speeds, sizeof speeds));
        StarBurn_Destroy(&g);
    }
    return lines;
}

struct Pair {
    const char* model;
    const char* medium;
};

std::vector<std::shared_ptr<VirtualRecorder>> Drives(const Pair& a, const Pair& b) {
    return {Recorder(a.model, a.medium), Recorder(b.model, b.medium)};
}

}  // namespace

TEST(SptiSeam, EveryQueryAnswersAsThroughTheVirtualTransport) {
    const Pair cases[][2] = {
        {{"cdrw-writer", "cd-r-closed"}, {"dvd-dl-writer", "dvd+r-blank"}},
        {{"dvd-reader", "cd-rom"}, {"cdrw-writer", "none"}},
        {{"bd-writer", "dvd-rom"}, {"dvd-dl-writer", "cd-r-appendable"}},
    };
    for (const auto& drives : cases) {
        SCOPED_TRACE(std::string(drives[0].medium) + " / " + drives[1].medium);
        std::vector<std::string> direct, seamed;
        {
            Session session(MakeVirtualDeviceProvider(Drives(drives[0], drives[1]), {'E', 0}));
            direct = Transcript();
        }
        auto system = SptiTestSystem::Create(Drives(drives[0], drives[1]), {'E', 0});
        {
            Session session(MakeSeamedSptiDeviceProvider(system));
            seamed = Transcript();
        }
        EXPECT_GT(system->PassThroughs().size(), 20u);  // the answers came through SPTI
        EXPECT_EQ(system->OpenHandles(), 0u);
        EXPECT_EQ(system->BadCloses(), 0u);
        ASSERT_EQ(direct.size(), seamed.size());
        for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(direct[i], seamed[i]);
    }
}

TEST(SptiSeam, ListsOpensAndNamesDrivesThroughThePassThroughProvider) {
    auto writer = Recorder("cdrw-writer", "cd-r-closed");
    auto system = SptiTestSystem::Create({writer, Recorder("dvd-reader", "none")}, {0, 'g'});
    Session session(MakeSeamedSptiDeviceProvider(system));
    std::vector<std::string> found;
    ASSERT_EQ(StarBurn_FindDevice(STARBURN_DEVICE_TYPE_CDVD, 0, Found, &found), STARBURN_OK);
    ASSERT_EQ(found.size(), 2u);
    char name[STARBURN_TEXT_SIZE];
    ASSERT_EQ(StarBurn_GetDeviceNameByDeviceAddress(1, 0, 1, 0, name), STARBURN_OK);
    EXPECT_STREQ(name + 4, "G:");

    Errors e;
    STARBURN_GRABBER g = apitest::Open("CdRom0", &e);
    ASSERT_NE(g, nullptr) << e.text;
    char vendor[STARBURN_ID_TEXT_SIZE], product[STARBURN_ID_TEXT_SIZE],
        revision[STARBURN_ID_TEXT_SIZE];
    uint32_t bufferKB = 0;
    ASSERT_EQ(StarBurn_CdvdBurnerGrabber_GetDeviceInformation(g, vendor, product, revision,
                                                              &bufferKB),
              STARBURN_OK);
    EXPECT_EQ(std::string(vendor), writer->Model().vendor);
    EXPECT_EQ(std::string(product), writer->Model().product);
    EXPECT_EQ(bufferKB, writer->Model().bufferKB);
    EXPECT_GE(system->OpenHandles(), 1u);
    StarBurn_Destroy(&g);

    STARBURN_GRABBER missing = apitest::Open("CdRom5", &e);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(e.systemError, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}
