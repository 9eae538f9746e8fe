// A scripted stand-in for the disc-burning library, for the burn session's own tests: it records
// every call with its arguments, fails the calls a test names, and runs a test's hook inside a
// call. It defines exactly the entry points the burn session and the drive-object helpers use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drive/StarBurn.h"

namespace fakelib {

struct Call {
    std::string name;           // without the "StarBurn_CdvdBurnerGrabber_" prefix
    std::vector<uint64_t> args; // the call's own arguments after the drive object and error outputs
    std::string text;           // path, device name or CD-Text texts, '|'-separated
    bool hadCallback = false;   // create calls: a notification callback was given
    bool errorsZeroed = false;  // the text buffer and failure record were all zero on entry
};

// The drive object the fake hands out.
STARBURN_GRABBER Grabber();

void Reset();
// The named call returns STARBURN_ERROR_SCSI from now on.
void Fail(const std::string& name);
// Runs inside the named call before it returns (the worker is then inside the library).
void OnCall(const std::string& name, std::function<void()> hook);
std::vector<Call> Calls();
// Blocks (inside a hook) until the drive object is cancelled or released; false on timeout.
bool WaitForCancel(unsigned timeoutMs = 15000);
// After a cancel every call fails, as on a drive object made for burning.
bool Cancelled();
std::vector<std::string> CallNames();
// The progress callback given to the create call.
PSTARBURN_CALLBACK ProgressCallback();
// Bytes of the layout record the last write call received.
std::vector<uint8_t> LastLayout();

}  // namespace fakelib
