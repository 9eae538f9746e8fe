// The library started on exactly the drives a test builds, for the life of the object.
#pragma once

#include <memory>
#include <vector>

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/VirtualDeviceProvider.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/api/StarBurn.h"

namespace apitest {

class Session {
public:
    explicit Session(std::shared_ptr<burnlib::DeviceProvider> provider) {
        burnlib::SetDeviceProvider(std::move(provider));
        StarBurn_UpStartEx();
        burnlib::ApiStatistics::Reset();
    }
    ~Session() {
        StarBurn_DownShut();
        burnlib::SetDeviceProvider(nullptr);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

inline std::shared_ptr<burnlib::VirtualRecorder> Recorder(const char* model, const char* medium) {
    return std::make_shared<burnlib::VirtualRecorder>(*burnlib::DriveModelByName(model),
                                                      *burnlib::MediumByName(medium));
}

// The error arguments of one call, zeroed as callers pass them.
struct Errors {
    char text[STARBURN_TEXT_SIZE] = {};
    uint32_t systemError = 0;
    STARBURN_FAILURE_RECORD failure = {};
};

inline STARBURN_GRABBER Open(const char* name, Errors* e) {
    STARBURN_GRABBER g = nullptr;
    StarBurn_CdvdBurnerGrabber_CreateEx(&g, e->text, sizeof e->text, &e->systemError,
                                        &e->failure, nullptr, nullptr, name, 1);
    return g;
}

}  // namespace apitest
