// Burns an image through the library's public calls onto one virtual recorder and reads the
// disc back, for the byte-for-byte write tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "burnlib/api/StarBurn.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace writetest {

enum class Method { TrackAtOnce, SessionAtOnce, DiscAtOncePQ, DiscAtOnceRawPW };
const char* MethodName(Method method);

// The folder of the images make-test-images.sh made (QF_TEST_IMAGES).
std::filesystem::path ImageFolder();

struct BurnResult {
    uint32_t code = 0;
    std::string text;       // the library's description when it failed
    int64_t lastTotal = -1; // the last progress report
    int64_t lastDone = -1;
    uint32_t progressReports = 0;
};

// Writes `image` with `method` on the drive named `device`, the way the burn worker does
// (data mode 0, closed disc, tray locked, 5 MB buffer); Track-At-Once is followed by CloseSession
// unless testWrite.
BurnResult Burn(const char* device, Method method, const std::string& image, bool testWrite);

// The choices the burn worker takes from the wizard, for BurnAsWorker.
struct WorkerChoices {
    bool bufferUnderrunProtection = true;
    bool sendOpc = false;
    uint32_t writeSpeed = STARBURN_SPEED_UNCHANGED;  // KB/s
    // Called with the drive object once it exists, before the first call on it (a test keeps it
    // to cancel the burn from another thread); the object is destroyed before BurnAsWorker returns.
    std::function<void(STARBURN_GRABBER)> created;
};

struct WorkerResult {
    uint32_t code = 0;
    std::string call;  // the call that ended the burn when it failed
    std::string text;  // its description
};

// The whole sequence of the wizard's burn worker through the public calls: the drive object,
// BUP read and set (a failure to set is passed over), speeds set and read back, OPC when chosen
// (its failure passed over), the CD-Text item, the write, CloseSession after Track-At-Once, eject
// (its result passed over, as the tray is the user's), the object released.
WorkerResult BurnAsWorker(const char* device, Method method, const std::string& image,
                          const WorkerChoices& choices);

// True when the recorder's disc holds the image from block 0, whole, followed by zero padding up
// to the end of its last block; *why says where it first differs.
bool DiscHoldsImage(const burnlib::VirtualRecorder& recorder, const std::filesystem::path& image,
                    std::string* why);

std::shared_ptr<burnlib::VirtualRecorder> Recorder(const char* model, const char* medium);

}  // namespace writetest
