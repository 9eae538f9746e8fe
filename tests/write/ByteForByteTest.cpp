// Images made by xorriso burned through the library's public calls, in every write method on CD
// and Track-At-Once on every DVD medium, and read back from the virtual disc byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/write/BurnCheck.h"

using namespace writetest;

namespace {

using CdCase = std::tuple<const char*, Method>;

class CdBurns : public ::testing::TestWithParam<CdCase> {};

TEST_P(CdBurns, SmallImageReadsBackByteForByte) {
    BurnAndCompare("cdrw-writer", std::get<0>(GetParam()), std::get<1>(GetParam()), "small.iso",
                   true);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMethod, CdBurns,
    ::testing::Combine(::testing::Values("cd-r-blank", "cd-rw-blank"),
                       ::testing::Values(Method::TrackAtOnce, Method::SessionAtOnce,
                                         Method::DiscAtOncePQ, Method::DiscAtOnceRawPW)),
    [](const ::testing::TestParamInfo<CdCase>& info) {
        std::string medium = std::get<0>(info.param);
        for (char& c : medium)
            if (c == '-') c = '_';
        return medium + "_" + MethodName(std::get<1>(info.param));
    });

class CdLargeBurns : public ::testing::TestWithParam<Method> {};

TEST_P(CdLargeBurns, LargeImageReadsBackByteForByte) {
    BurnAndCompare("cdrw-writer", "cd-r-blank", GetParam(), "large.iso", true);
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, CdLargeBurns,
                         ::testing::Values(Method::TrackAtOnce, Method::SessionAtOnce,
                                           Method::DiscAtOncePQ, Method::DiscAtOnceRawPW),
                         [](const ::testing::TestParamInfo<Method>& info) {
                             return std::string(MethodName(info.param));
                         });

struct DvdCase {
    const char* medium;
    bool sequential;  // written track by track and closed; the others are overwritable
};

class DvdBurns : public ::testing::TestWithParam<DvdCase> {};

TEST_P(DvdBurns, TrackAtOnceReadsBackByteForByte) {
    BurnAndCompare("dvd-dl-writer", GetParam().medium, Method::TrackAtOnce, "small.iso",
                   GetParam().sequential);
}

INSTANTIATE_TEST_SUITE_P(EveryMedium, DvdBurns,
                         ::testing::Values(DvdCase{"dvd-r-blank", true},
                                           DvdCase{"dvd-rw-sequential", true},
                                           DvdCase{"dvd-r-dl-blank", true},
                                           DvdCase{"dvd+r-blank", true},
                                           DvdCase{"dvd+r-dl-blank", true},
                                           DvdCase{"dvd-rw-restricted", false},
                                           DvdCase{"dvd+rw", false},
                                           DvdCase{"dvd+rw-unformatted", false},
                                           DvdCase{"dvd-ram", false}),
                         [](const ::testing::TestParamInfo<DvdCase>& info) {
                             std::string name = info.param.medium;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                                 else if (c == '+') c = 'P';
                             return name;
                         });

TEST(DvdLargeBurn, TrackAtOnceOnDvdPlusRReadsBackByteForByte) {
    BurnAndCompare("dvd-dl-writer", "dvd+r-blank", Method::TrackAtOnce, "large.iso", true);
}

}  // namespace
