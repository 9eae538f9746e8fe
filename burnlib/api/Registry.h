// The library's core behind its entry points: drive objects live in a registry guarded by one
// lock, so a handle can be looked up, cancelled and destroyed from any thread; a call holds a
// reference to its drive object while it runs, and calls on one drive are serialised. Every drive
// call goes through DriveCall, which also keeps C++ exceptions inside the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/api/StarBurn.h"
#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Parsers.h"
#include "burnlib/mmc/WriteFlow.h"

namespace burnlib {

struct DriveObject {
    DriveObject(std::unique_ptr<ScsiTransport> transport, std::string deviceName, bool forBurning);
    mmc::MmcDevice device;
    std::mutex callLock;
    mmc::InquiryData identity;
    std::string name;
    const bool burning;                     // created with probing = 0
    std::atomic<bool> cancelHeld{false};    // a burn's cancel, kept until the object goes
    std::atomic<bool> destroyed{false};
    PSTARBURN_CALLBACK callback = nullptr;
    void* context = nullptr;

    // Kept between the calls of one burn (guarded by callLock): what Track-At-Once left open for
    // CloseSession, and the CD-Text items (item 0 the disc, 1..99 a track).
    struct CdTextItem {
        std::string title, performer;
    };
    mmc::OpenTrack openTrack;
    std::map<uint32_t, CdTextItem> cdText;
};

// The error arguments of a drive call; each may be null.
class ErrorOutputs {
public:
    ErrorOutputs() = default;
    ErrorOutputs(char* text, uint32_t textSize, uint32_t* systemError,
                 STARBURN_FAILURE_RECORD* failure)
        : m_text(text), m_textSize(textSize), m_systemError(systemError), m_failure(failure) {}

    uint32_t Fail(uint32_t code, const std::string& text, uint32_t systemError = 0);
    uint32_t Fail(const mmc::CommandFailure& failure);
    // A successful call leaves no earlier call's failure behind.
    void Clear();

    static uint32_t CodeOf(mmc::Outcome outcome);

private:
    void SetText(const std::string& text);

    char* m_text = nullptr;
    uint32_t m_textSize = 0;
    uint32_t* m_systemError = nullptr;
    STARBURN_FAILURE_RECORD* m_failure = nullptr;
};

void CopyText(char* target, size_t size, const std::string& text);

// Null with *code set when the library is not started or the handle is unknown.
std::shared_ptr<DriveObject> LookupDrive(STARBURN_GRABBER grabber, uint32_t* code);
// The provider of the running library; null with *code set when it is not started.
std::shared_ptr<DeviceProvider> ActiveProvider(uint32_t* code);
// The devices as listed once per library start (listing opens every device the system has).
std::vector<DeviceEntry> KnownDevices(uint32_t* code);

uint32_t StartLibrary();
void ShutLibrary();
uint32_t CreateDrive(const char* callName, STARBURN_GRABBER* grabber, ErrorOutputs errors,
                     PSTARBURN_CALLBACK callback, void* context, const ScsiAddress* address,
                     const char* deviceName, bool forBurning);
void DestroyDrive(STARBURN_GRABBER* grabber);
void CancelDrive(STARBURN_GRABBER grabber);

using DriveOperation = bool (*)(DriveObject& drive, void* state);
uint32_t RunDriveCall(const char* name, STARBURN_GRABBER grabber, ErrorOutputs errors,
                      DriveOperation operation, void* state);

// Runs one drive call: looks the handle up, serialises on the drive, maps a failure (or an
// exception) into the error outputs and clears them on success.
template <typename Operation>
uint32_t DriveCall(const char* name, STARBURN_GRABBER grabber, ErrorOutputs errors,
                   Operation operation) {
    return RunDriveCall(
        name, grabber, errors,
        [](DriveObject& drive, void* state) { return (*static_cast<Operation*>(state))(drive); },
        &operation);
}

}  // namespace burnlib
