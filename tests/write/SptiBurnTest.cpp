// The same burns through the SPTI transport: every command packed into a pass-through request,
// handed through the DeviceIoControl seam to the virtual recorder, its sense and lengths copied
// back as the port driver does, exclusive access and the tray lock taken and given back.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/SptiTestSystem.h"
#include "tests/write/BurnCheck.h"

using namespace writetest;

namespace {

ProviderMaker SptiProvider() {
    return [](std::shared_ptr<burnlib::VirtualRecorder> recorder, char letter) {
        return burnlib::MakeSeamedSptiDeviceProvider({std::move(recorder)}, {letter});
    };
}

class SptiCdBurns : public ::testing::TestWithParam<Method> {};

TEST_P(SptiCdBurns, SmallImageReadsBackByteForByte) {
    BurnAndCompare("cdrw-writer", "cd-r-blank", GetParam(), "small.iso", true, SptiProvider());
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, SptiCdBurns,
                         ::testing::Values(Method::TrackAtOnce, Method::SessionAtOnce,
                                           Method::DiscAtOncePQ, Method::DiscAtOnceRawPW),
                         [](const ::testing::TestParamInfo<Method>& info) {
                             return std::string(MethodName(info.param));
                         });

TEST(SptiDvdBurns, TrackAtOnceOnDvdPlusRAndDvdMinusR) {
    BurnAndCompare("dvd-dl-writer", "dvd+r-blank", Method::TrackAtOnce, "small.iso", true,
                   SptiProvider());
    BurnAndCompare("dvd-dl-writer", "dvd-r-blank", Method::TrackAtOnce, "small.iso", true,
                   SptiProvider());
}

}  // namespace
