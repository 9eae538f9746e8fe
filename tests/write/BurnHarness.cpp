#include "tests/write/BurnHarness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "burnlib/virtual/Catalog.h"

namespace writetest {

const char* MethodName(Method method) {
    switch (method) {
    case Method::TrackAtOnce: return "TrackAtOnce";
    case Method::SessionAtOnce: return "SessionAtOnce";
    case Method::DiscAtOncePQ: return "DiscAtOncePQ";
    case Method::DiscAtOnceRawPW: return "DiscAtOnceRawPW";
    }
    return "?";
}

std::filesystem::path ImageFolder() {
    const char* folder = std::getenv("QF_TEST_IMAGES");
    return folder != nullptr ? std::filesystem::path(folder) : std::filesystem::path("testdata");
}

std::shared_ptr<burnlib::VirtualRecorder> Recorder(const char* model, const char* medium) {
    return std::make_shared<burnlib::VirtualRecorder>(*burnlib::DriveModelByName(model),
                                                      *burnlib::MediumByName(medium));
}

namespace {

void OnProgress(uint32_t reason, void* context, void* data1, void* data2) {
    if (reason != STARBURN_CALLBACK_REASON_PROGRESS) return;
    auto* result = static_cast<BurnResult*>(context);
    result->lastTotal = *static_cast<const int64_t*>(data1);
    result->lastDone = *static_cast<const int64_t*>(data2);
    ++result->progressReports;
}

template <typename Layout>
std::unique_ptr<Layout> MakeLayout(const std::string& image) {
    auto layout = std::make_unique<Layout>();
    std::memset(layout.get(), 0, sizeof(Layout));
    layout->m_trackCount = 1;
    std::strncpy(layout->m_imagePath, image.c_str(), sizeof layout->m_imagePath - 1);
    return layout;
}

}  // namespace

namespace {

// The write call of a method, its layout record built where it takes one.
uint32_t WriteCall(STARBURN_GRABBER grabber, Method method, const std::string& image, uint32_t test,
                   char* text, uint32_t textSize, uint32_t* systemError,
                   STARBURN_FAILURE_RECORD* failure) {
    switch (method) {
    case Method::TrackAtOnce:
        return StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
            grabber, text, textSize, systemError, failure, image.c_str(), 0, test, 0, 1, 5);
    case Method::SessionAtOnce: {
        auto layout = MakeLayout<STARBURN_SESSION_LAYOUT>(image);
        return StarBurn_CdvdBurnerGrabber_SessionAtOnce(grabber, text, textSize, systemError,
                                                        failure, layout.get(), 0, test, 0, 1, 5);
    }
    case Method::DiscAtOncePQ: {
        auto layout = MakeLayout<STARBURN_DISC_LAYOUT>(image);
        return StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(
            grabber, text, textSize, systemError, failure, layout.get(), 0, test, 0, 0, 1, 5);
    }
    case Method::DiscAtOnceRawPW: {
        auto layout = MakeLayout<STARBURN_DISC_LAYOUT>(image);
        return StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile(
            grabber, text, textSize, systemError, failure, layout.get(), 0, test, 0, 0, 1, 5);
    }
    }
    return STARBURN_ERROR_INVALID_PARAMETER;
}

}  // namespace

BurnResult Burn(const char* device, Method method, const std::string& image, bool testWrite) {
    BurnResult result;
    char text[STARBURN_TEXT_SIZE] = {};
    uint32_t systemError = 0;
    STARBURN_FAILURE_RECORD failure = {};
    STARBURN_GRABBER grabber = nullptr;
    result.code = StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, text, sizeof text, &systemError,
                                                      &failure, OnProgress, &result, device, 0);
    if (result.code != 0) {
        result.text = text;
        return result;
    }
    result.code = WriteCall(grabber, method, image, testWrite ? 1 : 0, text, sizeof text,
                            &systemError, &failure);
    if (result.code == 0 && method == Method::TrackAtOnce && !testWrite)
        result.code = StarBurn_CdvdBurnerGrabber_CloseSession(grabber, text, sizeof text,
                                                              &systemError, &failure);
    result.text = text;
    StarBurn_Destroy(&grabber);
    return result;
}

WorkerResult BurnAsWorker(const char* device, Method method, const std::string& image,
                          const WorkerChoices& choices) {
    WorkerResult result;
    char text[STARBURN_TEXT_SIZE] = {};
    uint32_t systemError = 0;
    STARBURN_FAILURE_RECORD failure = {};
    auto failed = [&](const char* call, uint32_t code) {
        result.code = code;
        result.call = call;
        result.text = text;
        return code != STARBURN_OK;
    };
    STARBURN_GRABBER grabber = nullptr;
    if (failed("CreateEx", StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, text, sizeof text,
                                                               &systemError, &failure, nullptr,
                                                               nullptr, device, 0)))
        return result;
    struct Release {
        STARBURN_GRABBER* grabber;
        ~Release() { StarBurn_Destroy(grabber); }
    } release{&grabber};
    if (choices.created) choices.created(grabber);

    uint8_t supported = 0, enabled = 0;
    if (failed("GetBUP", StarBurn_CdvdBurnerGrabber_GetBUP(grabber, text, sizeof text, &systemError,
                                                            &failure, &supported, &enabled)))
        return result;
    StarBurn_CdvdBurnerGrabber_SetBUP(grabber, text, sizeof text, &systemError, &failure,
                                      choices.bufferUnderrunProtection ? 1 : 0);
    if (failed("SetSpeeds", StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, text, sizeof text,
                                                                  &systemError, &failure,
                                                                  STARBURN_SPEED_UNCHANGED,
                                                                  choices.writeSpeed)))
        return result;
    uint32_t currentRead = 0, maximumRead = 0, currentWrite = 0, maximumWrite = 0;
    if (failed("GetSpeeds", StarBurn_CdvdBurnerGrabber_GetSpeeds(
                                grabber, text, sizeof text, &systemError, &failure, &currentRead,
                                &maximumRead, &currentWrite, &maximumWrite)))
        return result;
    if (choices.sendOpc)
        StarBurn_CdvdBurnerGrabber_SendOPC(grabber, text, sizeof text, &systemError, &failure);
    if (failed("SetCDTextItem",
               StarBurn_CdvdBurnerGrabber_SetCDTextItem(grabber, 0, "Soak", "Quillfire", text,
                                                        sizeof text, &systemError)))
        return result;
    if (failed("write", WriteCall(grabber, method, image, 0, text, sizeof text, &systemError,
                                  &failure)))
        return result;
    if (method == Method::TrackAtOnce &&
        failed("CloseSession", StarBurn_CdvdBurnerGrabber_CloseSession(grabber, text, sizeof text,
                                                                        &systemError, &failure)))
        return result;
    StarBurn_CdvdBurnerGrabber_Eject(grabber, text, sizeof text, &systemError, &failure);
    return result;
}

bool DiscHoldsImage(const burnlib::VirtualRecorder& recorder, const std::filesystem::path& image,
                    std::string* why) {
    constexpr uint32_t kBlock = 2048;
    constexpr uint32_t kChunkBlocks = 4096;  // 8 MB at a time: the large image never sits in memory
    std::ifstream file(image, std::ios::binary);
    if (!file) {
        *why = "cannot open " + image.string();
        return false;
    }
    const uint64_t size = std::filesystem::file_size(image);
    const uint64_t blocks = (size + kBlock - 1) / kBlock;
    std::vector<char> expected(static_cast<size_t>(kChunkBlocks) * kBlock);
    for (uint64_t first = 0; first < blocks; first += kChunkBlocks) {
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(kChunkBlocks, blocks - first));
        std::fill(expected.begin(), expected.end(), 0);
        file.read(expected.data(), static_cast<std::streamsize>(count) * kBlock);
        const std::vector<uint8_t> disc =
            recorder.ReadUserData(static_cast<int32_t>(first), count);
        if (disc.size() != static_cast<size_t>(count) * kBlock) {
            *why = "the disc holds fewer blocks than the image from block " + std::to_string(first);
            return false;
        }
        if (std::memcmp(disc.data(), expected.data(), disc.size()) != 0) {
            size_t at = 0;
            while (disc[at] == static_cast<uint8_t>(expected[at])) ++at;
            *why = "the disc differs from the image at byte " +
                   std::to_string(first * kBlock + at);
            return false;
        }
    }
    return true;
}

}  // namespace writetest
