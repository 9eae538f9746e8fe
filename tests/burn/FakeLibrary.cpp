#include "tests/burn/FakeLibrary.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace fakelib {
namespace {
std::mutex g_lock;
std::vector<Call> g_calls;
std::set<std::string> g_failing;
std::map<std::string, std::function<void()>> g_hooks;
PSTARBURN_CALLBACK g_callback = nullptr;
std::vector<uint8_t> g_layout;
int g_grabberToken = 0;
bool g_cancelled = false;
std::condition_variable g_cancelSignal;

bool Zero(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i]) return false;
    return true;
}

uint32_t Record(Call call) {
    std::function<void()> hook;
    bool fail;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        fail = g_failing.count(call.name) != 0 || g_cancelled;
        auto found = g_hooks.find(call.name);
        if (found != g_hooks.end()) hook = found->second;
        g_calls.push_back(std::move(call));
    }
    if (hook) hook();
    std::lock_guard<std::mutex> lock(g_lock);
    // A call that was running when the cancel came fails too.
    return fail || g_cancelled ? STARBURN_ERROR_SCSI : STARBURN_OK;
}

Call Named(std::string name) {
    Call call;
    call.name = std::move(name);
    return call;
}

Call Make(const char* name, const char* text, const STARBURN_FAILURE_RECORD* failure,
          std::vector<uint64_t> args = {}, std::string words = {}) {
    Call call = Named(name);
    call.args = std::move(args);
    call.text = std::move(words);
    call.errorsZeroed = Zero(text, STARBURN_TEXT_SIZE) && (!failure || Zero(failure, sizeof *failure));
    return call;
}

// A failing call leaves its description behind, as the library does.
uint32_t Scribble(uint32_t result, char* text, STARBURN_FAILURE_RECORD* failure) {
    if (result != STARBURN_OK) {
        std::strcpy(text, "failed");
        failure->m_senseKey = 5;
    }
    return result;
}

void KeepLayout(const void* layout, size_t size) {
    std::lock_guard<std::mutex> lock(g_lock);
    const auto* bytes = static_cast<const uint8_t*>(layout);
    g_layout.assign(bytes, bytes + size);
}
}  // namespace

STARBURN_GRABBER Grabber() {
    return &g_grabberToken;
}

void Reset() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.clear();
    g_failing.clear();
    g_hooks.clear();
    g_callback = nullptr;
    g_layout.clear();
    g_cancelled = false;
}

bool WaitForCancel(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(g_lock);
    return g_cancelSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [] { return g_cancelled; });
}

bool Cancelled() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_cancelled;
}

void MarkCancelled() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_cancelled = true;
    }
    g_cancelSignal.notify_all();
}

void Fail(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_failing.insert(name);
}

void OnCall(const std::string& name, std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_hooks[name] = std::move(hook);
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const Call& call : Calls()) names.push_back(call.name);
    return names;
}

PSTARBURN_CALLBACK ProgressCallback() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_callback;
}

std::vector<uint8_t> LastLayout() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_layout;
}

}  // namespace fakelib

using fakelib::Make;
using fakelib::Call;
using fakelib::Named;
using fakelib::Record;
using fakelib::Scribble;

extern "C" {

void StarBurn_DownShut(void) {
    Record(Named("DownShut"));
}

uint32_t StarBurn_CdvdBurnerGrabber_Create(STARBURN_GRABBER* grabber, char* text, uint32_t,
                                           uint32_t*, STARBURN_FAILURE_RECORD* failure,
                                           PSTARBURN_CALLBACK callback, void*, uint8_t port,
                                           uint8_t bus, uint8_t target, uint8_t lun,
                                           uint32_t probing) {
    Call call = Make("Create", text, failure, {port, bus, target, lun, probing});
    call.hadCallback = callback != nullptr;
    {
        std::lock_guard<std::mutex> lock(fakelib::g_lock);
        fakelib::g_callback = callback;
    }
    uint32_t result = Record(std::move(call));
    *grabber = result == STARBURN_OK ? fakelib::Grabber() : nullptr;
    return result;
}

uint32_t StarBurn_CdvdBurnerGrabber_CreateEx(STARBURN_GRABBER* grabber, char* text, uint32_t,
                                             uint32_t*, STARBURN_FAILURE_RECORD* failure,
                                             PSTARBURN_CALLBACK callback, void*,
                                             const char* deviceName, uint32_t probing) {
    Call call = Make("CreateEx", text, failure, {probing}, deviceName);
    call.hadCallback = callback != nullptr;
    {
        std::lock_guard<std::mutex> lock(fakelib::g_lock);
        fakelib::g_callback = callback;
    }
    uint32_t result = Record(std::move(call));
    *grabber = result == STARBURN_OK ? fakelib::Grabber() : nullptr;
    return result;
}

void StarBurn_Destroy(STARBURN_GRABBER* grabber) {
    Record(Named(*grabber == fakelib::Grabber() ? "Destroy" : "Destroy(unknown)"));
    fakelib::MarkCancelled();
    *grabber = nullptr;
}

void StarBurn_CdvdBurnerGrabber_Cancel(STARBURN_GRABBER grabber) {
    Record(Named(grabber == fakelib::Grabber() ? "Cancel" : "Cancel(unknown)"));
    fakelib::MarkCancelled();
}

uint32_t StarBurn_CdvdBurnerGrabber_GetBUP(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                           STARBURN_FAILURE_RECORD* failure, uint8_t* supported,
                                           uint8_t* enabled) {
    *supported = 1;
    *enabled = 0;
    return Record(Make("GetBUP", text, failure));
}

uint32_t StarBurn_CdvdBurnerGrabber_SetBUP(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                           STARBURN_FAILURE_RECORD* failure, uint32_t enable) {
    return Scribble(Record(Make("SetBUP", text, failure, {enable})), text, failure);
}

uint32_t StarBurn_CdvdBurnerGrabber_SetSpeeds(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                              STARBURN_FAILURE_RECORD* failure, uint32_t read,
                                              uint32_t write) {
    return Record(Make("SetSpeeds", text, failure, {read, write}));
}

uint32_t StarBurn_CdvdBurnerGrabber_GetSpeeds(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                              STARBURN_FAILURE_RECORD* failure, uint32_t* a,
                                              uint32_t* b, uint32_t* c, uint32_t* d) {
    *a = *b = *c = *d = 1765;
    return Record(Make("GetSpeeds", text, failure));
}

uint32_t StarBurn_CdvdBurnerGrabber_SendOPC(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                            STARBURN_FAILURE_RECORD* failure) {
    return Scribble(Record(Make("SendOPC", text, failure)), text, failure);
}

uint32_t StarBurn_CdvdBurnerGrabber_SetCDTextItem(STARBURN_GRABBER, uint32_t item,
                                                  const char* title, const char* performer,
                                                  char* text, uint32_t size, uint32_t*) {
    return Record(Make("SetCDTextItem", text, nullptr, {item, size},
                       std::string(title) + "|" + performer));
}

uint32_t StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(STARBURN_GRABBER, char* text, uint32_t,
                                                        uint32_t*, STARBURN_FAILURE_RECORD* failure,
                                                        const char* path, uint32_t mode,
                                                        uint32_t test, uint32_t multi,
                                                        uint32_t lock, uint32_t buffer) {
    return Record(Make("TrackAtOnceFromFile", text, failure, {mode, test, multi, lock, buffer}, path));
}

uint32_t StarBurn_CdvdBurnerGrabber_SessionAtOnce(STARBURN_GRABBER, char* text, uint32_t,
                                                  uint32_t*, STARBURN_FAILURE_RECORD* failure,
                                                  const STARBURN_SESSION_LAYOUT* layout,
                                                  uint32_t mode, uint32_t test, uint32_t multi,
                                                  uint32_t lock, uint32_t buffer) {
    fakelib::KeepLayout(layout, sizeof *layout);
    return Record(Make("SessionAtOnce", text, failure, {mode, test, multi, lock, buffer}));
}

uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(
    STARBURN_GRABBER, char* text, uint32_t, uint32_t*, STARBURN_FAILURE_RECORD* failure,
    const STARBURN_DISC_LAYOUT* layout, uint32_t mode, uint32_t test, uint32_t multi,
    uint32_t copy, uint32_t lock, uint32_t buffer) {
    fakelib::KeepLayout(layout, sizeof *layout);
    return Record(Make("DiscAtOncePQFromFile", text, failure, {mode, test, multi, copy, lock, buffer}));
}

uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile(
    STARBURN_GRABBER, char* text, uint32_t, uint32_t*, STARBURN_FAILURE_RECORD* failure,
    const STARBURN_DISC_LAYOUT* layout, uint32_t mode, uint32_t test, uint32_t multi,
    uint32_t copy, uint32_t lock, uint32_t buffer) {
    fakelib::KeepLayout(layout, sizeof *layout);
    return Record(
        Make("DiscAtOnceRawPWFromFile", text, failure, {mode, test, multi, copy, lock, buffer}));
}

uint32_t StarBurn_CdvdBurnerGrabber_CloseSession(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                                 STARBURN_FAILURE_RECORD* failure) {
    return Record(Make("CloseSession", text, failure));
}

uint32_t StarBurn_CdvdBurnerGrabber_Eject(STARBURN_GRABBER, char* text, uint32_t, uint32_t*,
                                          STARBURN_FAILURE_RECORD* failure) {
    return Record(Make("Eject", text, failure));
}

}  // extern "C"
