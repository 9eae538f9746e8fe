#include "tests/api/WriteSupport.h"

#include <atomic>
#include <cstring>
#include <fstream>

namespace apitest {

namespace {

std::filesystem::path TemporaryPath(const std::string& name) {
    static std::atomic<int> counter{0};
    return std::filesystem::temp_directory_path() /
           ("quillfire-write-" + std::to_string(++counter) + "-" + name);
}

}  // namespace

ImageFile::ImageFile(const std::string& name, const std::vector<uint8_t>& bytes)
    : m_fsPath(TemporaryPath(name)), m_path(m_fsPath.string()) {
    std::ofstream out(m_fsPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

ImageFile::ImageFile(const std::string& name, uint64_t bytes)
    : m_fsPath(TemporaryPath(name)), m_path(m_fsPath.string()) {
    { std::ofstream out(m_fsPath, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(m_fsPath, bytes);
}

ImageFile::~ImageFile() {
    std::error_code ignored;
    std::filesystem::remove(m_fsPath, ignored);
}

std::vector<uint8_t> Pattern(size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<uint8_t>((i / 2048) * 13 + (i % 2048) * 7 + 3);
    return data;
}

std::vector<uint8_t> PadToBlocks(std::vector<uint8_t> bytes) {
    bytes.resize((bytes.size() + 2047) / 2048 * 2048, 0);
    return bytes;
}

const char* MethodName(Method method) {
    switch (method) {
        case Method::TrackAtOnce: return "Track-At-Once";
        case Method::SessionAtOnce: return "Session-At-Once";
        case Method::DiscAtOncePq: return "Disc-At-Once PQ";
        case Method::DiscAtOnceRawPw: return "Disc-At-Once raw P-W";
    }
    return "?";
}

Burner::Burner(const char* device, uint32_t probing) {
    StarBurn_CdvdBurnerGrabber_CreateEx(&m_grabber, errors.text, sizeof errors.text,
                                        &errors.systemError, &errors.failure, &Callback, this,
                                        device, probing);
}

Burner::~Burner() {
    if (m_grabber != nullptr) StarBurn_Destroy(&m_grabber);
}

void Burner::Callback(uint32_t reason, void* context, void* data1, void* data2) {
    if (reason != STARBURN_CALLBACK_REASON_PROGRESS) return;
    auto* self = static_cast<Burner*>(context);
    const int64_t total = *static_cast<const int64_t*>(data1);
    const int64_t done = *static_cast<const int64_t*>(data2);
    {
        std::lock_guard<std::mutex> lock(self->m_lock);
        self->m_progress.emplace_back(done, total);
    }
    if (self->onProgress) self->onProgress(done, total);
}

std::vector<std::pair<int64_t, int64_t>> Burner::Progress() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_progress;
}

uint32_t Burner::Write(Method method, const std::string& path, uint32_t testWrite,
                       uint32_t bufferMegabytes) {
    Errors& e = errors;
    switch (method) {
        case Method::TrackAtOnce:
            return StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
                m_grabber, e.text, sizeof e.text, &e.systemError, &e.failure, path.c_str(), 0,
                testWrite, 0, 1, bufferMegabytes);
        case Method::SessionAtOnce: {
            const STARBURN_SESSION_LAYOUT layout = SessionLayout(path);
            return StarBurn_CdvdBurnerGrabber_SessionAtOnce(m_grabber, e.text, sizeof e.text,
                                                            &e.systemError, &e.failure, &layout,
                                                            0, testWrite, 0, 1, bufferMegabytes);
        }
        case Method::DiscAtOncePq: {
            const STARBURN_DISC_LAYOUT layout = DiscLayout(path);
            return StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(
                m_grabber, e.text, sizeof e.text, &e.systemError, &e.failure, &layout, 0,
                testWrite, 0, 0, 1, bufferMegabytes);
        }
        case Method::DiscAtOnceRawPw: {
            const STARBURN_DISC_LAYOUT layout = DiscLayout(path);
            return StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile(
                m_grabber, e.text, sizeof e.text, &e.systemError, &e.failure, &layout, 0,
                testWrite, 0, 0, 1, bufferMegabytes);
        }
    }
    return STARBURN_ERROR_INVALID_PARAMETER;
}

uint32_t Burner::CloseSession() {
    return StarBurn_CdvdBurnerGrabber_CloseSession(m_grabber, errors.text, sizeof errors.text,
                                                   &errors.systemError, &errors.failure);
}

uint32_t Burner::Eject() {
    return StarBurn_CdvdBurnerGrabber_Eject(m_grabber, errors.text, sizeof errors.text,
                                            &errors.systemError, &errors.failure);
}

STARBURN_SESSION_LAYOUT SessionLayout(const std::string& path) {
    STARBURN_SESSION_LAYOUT layout;
    std::memset(&layout, 0, sizeof layout);
    layout.m_trackCount = 1;
    std::strncpy(layout.m_imagePath, path.c_str(), sizeof layout.m_imagePath - 1);
    return layout;
}

STARBURN_DISC_LAYOUT DiscLayout(const std::string& path) {
    STARBURN_DISC_LAYOUT layout;
    std::memset(&layout, 0, sizeof layout);
    layout.m_trackCount = 1;
    std::strncpy(layout.m_imagePath, path.c_str(), sizeof layout.m_imagePath - 1);
    return layout;
}

}  // namespace apitest
