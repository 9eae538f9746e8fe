// Entry points that write: buffer-underrun protection, power calibration, CD-Text, the four write
// methods, closing the session and opening the tray.
#include <cstring>
#include <string>

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/Registry.h"
#include "burnlib/mmc/Finish.h"
#include "burnlib/mmc/ImageStream.h"
#include "burnlib/mmc/WriteFlow.h"
#include "burnlib/mmc/WriteSetup.h"

using namespace burnlib;

namespace {

// The image stream as the write flows read it.
class StreamSource final : public mmc::BlockSource {
public:
    explicit StreamSource(mmc::ImageStream& stream) : m_stream(stream) {}
    uint64_t Blocks() const override { return m_stream.Blocks(); }
    void Start(uint32_t chunkBytes, uint64_t ringBytes) override {
        m_stream.Start(chunkBytes, ringBytes);
    }
    bool Acquire(const uint8_t** data, uint32_t* bytes) override {
        return m_stream.Acquire(data, bytes);
    }
    void Release() override { m_stream.Release(); }
    bool Failed() const override { return m_stream.Failed(); }
    std::string Error() const override { return m_stream.Error(); }
    uint32_t SystemError() const override { return m_stream.SystemError(); }
    void Stop() override { m_stream.Stop(); }

private:
    mmc::ImageStream& m_stream;
};

// The arguments every write call shares after its image.
struct WriteArguments {
    uint32_t dataMode, testWrite, multisession, copyPermitted, lockTray, bufferMegabytes;
};

std::string Flag(const char* name, uint32_t value) {
    if (value <= 1) return "";
    return std::string(name) + " is " + std::to_string(value) + ": it must be 0 or 1";
}

// Empty when the arguments are what the calls take, else what is wrong with them.
std::string CheckArguments(const WriteArguments& a) {
    if (a.dataMode != STARBURN_DATA_MODE_1)
        return "dataMode is " + std::to_string(a.dataMode) +
               ": only 0 (Mode 1, 2048-byte blocks of an ISO image) is written";
    for (const std::string& wrong :
         {Flag("testWrite", a.testWrite), Flag("multisession", a.multisession),
          Flag("copyPermitted", a.copyPermitted), Flag("lockTray", a.lockTray)})
        if (!wrong.empty()) return wrong;
    if (a.bufferMegabytes < 1 || a.bufferMegabytes > STARBURN_MAX_BUFFER_MEGABYTES)
        return "bufferMegabytes is " + std::to_string(a.bufferMegabytes) + ": it must be 1 to " +
               std::to_string(STARBURN_MAX_BUFFER_MEGABYTES);
    return "";
}

bool AllZero(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// The image path of a layout record: one track, a NUL-terminated path, every other byte zero.
template <typename Layout>
std::string LayoutPath(const Layout* layout, std::string* error) {
    if (layout == nullptr) {
        *error = "no layout record";
        return "";
    }
    if (layout->m_trackCount != 1) {
        *error = "the layout names " + std::to_string(layout->m_trackCount) +
                 " tracks: one data track is written";
        return "";
    }
    constexpr size_t kPathSize = sizeof layout->m_imagePath;
    const char* path = layout->m_imagePath;
    const size_t length = strnlen(path, kPathSize);
    if (length == kPathSize) {
        *error = "the layout's image path is not NUL-terminated within its 260 bytes";
        return "";
    }
    const auto* after = reinterpret_cast<const uint8_t*>(path) + length;
    if (!AllZero(layout->m_reserved1, sizeof layout->m_reserved1) ||
        !AllZero(after, kPathSize - length) ||
        !AllZero(layout->m_reserved2, sizeof layout->m_reserved2)) {
        *error = "the layout record has bytes set that the library does not read; they must be "
                 "zero";
        return "";
    }
    return std::string(path, length);
}

uint32_t RunWrite(const char* name, STARBURN_GRABBER grabber, ErrorOutputs errors,
                  const char* path, const std::string& pathError, mmc::WriteMethod method,
                  const WriteArguments& arguments) {
    std::string wrong = pathError;
    if (wrong.empty() && (path == nullptr || path[0] == '\0')) wrong = "no image path";
    if (wrong.empty()) wrong = CheckArguments(arguments);
    if (!wrong.empty()) {
        ApiStatistics::CountCall(name);
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER, std::string(name) + ": " + wrong);
    }
    mmc::WriteOptions options;
    options.method = method;
    options.testWrite = arguments.testWrite != 0;
    options.multisession = arguments.multisession != 0;
    options.copyPermitted = arguments.copyPermitted != 0;
    options.lockTray = arguments.lockTray != 0;
    options.ringBytes = uint64_t{arguments.bufferMegabytes} << 20;
    const std::string image = path;
    return DriveCall(name, grabber, errors, [&](DriveObject& drive) {
        // A new write leaves nothing of an earlier one to close.
        drive.openTrack = mmc::OpenTrack{};
        std::string error;
        uint32_t systemError = 0;
        std::unique_ptr<mmc::ImageStream> stream =
            mmc::ImageStream::Open(image, &error, &systemError);
        if (!stream) {
            mmc::FailOperation(drive.device, mmc::Outcome::SystemError, error, systemError);
            return false;
        }
        if (stream->FileBytes() == 0) {
            mmc::FailOperation(drive.device, mmc::Outcome::InvalidParameter,
                               "the image " + image + " is empty");
            return false;
        }
        StreamSource source(*stream);
        const auto progress = [&drive](uint64_t done, uint64_t total) {
            if (drive.callback == nullptr) return;
            int64_t totalBytes = static_cast<int64_t>(total);
            int64_t doneBytes = static_cast<int64_t>(done);
            drive.callback(STARBURN_CALLBACK_REASON_PROGRESS, drive.context, &totalBytes,
                           &doneBytes);
        };
        return mmc::WriteImage(drive.device, options, source, progress, &drive.openTrack);
    });
}

}  // namespace

extern "C" {

uint32_t StarBurn_CdvdBurnerGrabber_GetBUP(STARBURN_GRABBER grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure, uint8_t* supported,
                                           uint8_t* enabled) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (supported == nullptr || enabled == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetBUP");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_GetBUP: no output for the answer");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetBUP", grabber, errors, [&](DriveObject& drive) {
        bool has = false, on = false;
        if (!mmc::ReadBufferUnderrunProtection(drive.device, &has, &on)) return false;
        *supported = has ? 1 : 0;
        *enabled = on ? 1 : 0;
        return true;
    });
}

uint32_t StarBurn_CdvdBurnerGrabber_SetBUP(STARBURN_GRABBER grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure, uint32_t enable) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (enable > 1) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_SetBUP");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_SetBUP: " + Flag("enable", enable));
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_SetBUP", grabber, errors,
                     [&](DriveObject& drive) {
                         return mmc::SetBufferUnderrunProtection(drive.device, enable != 0);
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_SendOPC(STARBURN_GRABBER grabber, char* exceptionText,
                                            uint32_t exceptionTextSize, uint32_t* systemError,
                                            STARBURN_FAILURE_RECORD* failure) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_SendOPC", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [](DriveObject& drive) { return mmc::SendOpc(drive.device); });
}

uint32_t StarBurn_CdvdBurnerGrabber_SetCDTextItem(STARBURN_GRABBER grabber, uint32_t item,
                                                  const char* title, const char* performer,
                                                  char* exceptionText, uint32_t exceptionTextSize,
                                                  uint32_t* systemError) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, nullptr);
    const char* name = "StarBurn_CdvdBurnerGrabber_SetCDTextItem";
    if (item > 99 || title == nullptr || performer == nullptr) {
        ApiStatistics::CountCall(name);
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           std::string(name) + (item > 99 ? ": item " + std::to_string(item) +
                                                                " is not 0 (the disc) or a track "
                                                                "1 to 99"
                                                          : ": no title or performer text"));
    }
    return DriveCall(name, grabber, errors, [&](DriveObject& drive) {
        drive.cdText[item] = DriveObject::CdTextItem{title, performer};
        return true;
    });
}

uint32_t StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const char* imagePath,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t lockTray,
    uint32_t bufferMegabytes) {
    return RunWrite("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile", grabber,
                    ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                    imagePath, "", mmc::WriteMethod::TrackAtOnce,
                    {dataMode, testWrite, multisession, 0, lockTray, bufferMegabytes});
}

uint32_t StarBurn_CdvdBurnerGrabber_SessionAtOnce(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_SESSION_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t lockTray,
    uint32_t bufferMegabytes) {
    std::string error;
    const std::string path = LayoutPath(layout, &error);
    return RunWrite("StarBurn_CdvdBurnerGrabber_SessionAtOnce", grabber,
                    ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                    path.c_str(), error, mmc::WriteMethod::SessionAtOnce,
                    {dataMode, testWrite, multisession, 0, lockTray, bufferMegabytes});
}

uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_DISC_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t copyPermitted,
    uint32_t lockTray, uint32_t bufferMegabytes) {
    std::string error;
    const std::string path = LayoutPath(layout, &error);
    return RunWrite("StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile", grabber,
                    ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                    path.c_str(), error, mmc::WriteMethod::DiscAtOncePq,
                    {dataMode, testWrite, multisession, copyPermitted, lockTray, bufferMegabytes});
}

uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_DISC_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t copyPermitted,
    uint32_t lockTray, uint32_t bufferMegabytes) {
    std::string error;
    const std::string path = LayoutPath(layout, &error);
    return RunWrite("StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile", grabber,
                    ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                    path.c_str(), error, mmc::WriteMethod::DiscAtOnceRawPw,
                    {dataMode, testWrite, multisession, copyPermitted, lockTray, bufferMegabytes});
}

uint32_t StarBurn_CdvdBurnerGrabber_CloseSession(STARBURN_GRABBER grabber, char* exceptionText,
                                                 uint32_t exceptionTextSize, uint32_t* systemError,
                                                 STARBURN_FAILURE_RECORD* failure) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_CloseSession", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [](DriveObject& drive) {
                         return mmc::CloseSession(drive.device, &drive.openTrack);
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_Eject(STARBURN_GRABBER grabber, char* exceptionText,
                                          uint32_t exceptionTextSize, uint32_t* systemError,
                                          STARBURN_FAILURE_RECORD* failure) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_Eject", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [](DriveObject& drive) { return mmc::Eject(drive.device); });
}

}  // extern "C"
