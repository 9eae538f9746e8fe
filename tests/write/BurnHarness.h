// Burns an image through the library's public calls onto one virtual recorder and reads the
// disc back, for the byte-for-byte write tests.
#pragma once

#include <cstdint>
#include <filesystem>
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

// True when the recorder's disc holds the image from block 0, whole, followed by zero padding up
// to the end of its last block; *why says where it first differs.
bool DiscHoldsImage(const burnlib::VirtualRecorder& recorder, const std::filesystem::path& image,
                    std::string* why);

std::shared_ptr<burnlib::VirtualRecorder> Recorder(const char* model, const char* medium);

}  // namespace writetest
