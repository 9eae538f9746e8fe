// The write calls' arguments and the calls around a write: refusals of what the arguments do not
// mean, buffer-underrun protection, power calibration, CD-Text, closing and ejecting.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/api/WriteSupport.h"

using namespace burnlib;
using namespace apitest;

namespace {

struct Bup {
    uint32_t result;
    uint8_t supported, enabled;
};

Bup GetBup(Burner& b) {
    Bup r{0, 0xEE, 0xEE};
    Errors& e = b.errors;
    r.result = StarBurn_CdvdBurnerGrabber_GetBUP(b.Handle(), e.text, sizeof e.text,
                                                 &e.systemError, &e.failure, &r.supported,
                                                 &r.enabled);
    return r;
}

uint32_t SetBup(Burner& b, uint32_t enable) {
    Errors& e = b.errors;
    return StarBurn_CdvdBurnerGrabber_SetBUP(b.Handle(), e.text, sizeof e.text, &e.systemError,
                                             &e.failure, enable);
}

}  // namespace

TEST(WriteCalls, ArgumentsOutsideTheirMeaningAreRefusedBeforeTheDriveHearsOfThem) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    ImageFile file("args.iso", Pattern(100 * 2048));
    Burner b;
    Errors& e = b.errors;
    const char* path = file.Path().c_str();
    const uint64_t before = recorder->CommandCount();
    auto tao = [&](const char* p, uint32_t mode, uint32_t test, uint32_t multi, uint32_t lock,
                   uint32_t mb) {
        return StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(b.Handle(), e.text, sizeof e.text,
                                                              &e.systemError, &e.failure, p,
                                                              mode, test, multi, lock, mb);
    };
    EXPECT_EQ(tao(path, 1, 0, 0, 1, 5), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_NE(std::string(e.text).find("dataMode"), std::string::npos) << e.text;
    EXPECT_EQ(tao(path, 0, 2, 0, 1, 5), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(tao(path, 0, 0, 2, 1, 5), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(tao(path, 0, 0, 0, 2, 5), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(tao(path, 0, 0, 0, 1, 0), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(tao(path, 0, 0, 0, 1, 65), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_NE(std::string(e.text).find("bufferMegabytes"), std::string::npos) << e.text;
    EXPECT_EQ(tao(nullptr, 0, 0, 0, 1, 5), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(tao("", 0, 0, 0, 1, 5), STARBURN_ERROR_INVALID_PARAMETER);

    STARBURN_DISC_LAYOUT disc = DiscLayout(file.Path());
    auto dao = [&](const STARBURN_DISC_LAYOUT* layout, uint32_t copy) {
        return StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(b.Handle(), e.text, sizeof e.text,
                                                               &e.systemError, &e.failure,
                                                               layout, 0, 0, 0, copy, 1, 5);
    };
    EXPECT_EQ(dao(&disc, 2), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(dao(nullptr, 0), STARBURN_ERROR_INVALID_PARAMETER);
    disc.m_trackCount = 2;
    EXPECT_EQ(dao(&disc, 0), STARBURN_ERROR_INVALID_PARAMETER);
    disc = DiscLayout(file.Path());
    disc.m_reserved2[100] = 1;  // a byte the library does not read must be zero
    EXPECT_EQ(dao(&disc, 0), STARBURN_ERROR_INVALID_PARAMETER);
    disc = DiscLayout(file.Path());
    std::memset(disc.m_imagePath, 'a', sizeof disc.m_imagePath);  // no terminating NUL
    EXPECT_EQ(dao(&disc, 0), STARBURN_ERROR_INVALID_PARAMETER);

    STARBURN_SESSION_LAYOUT sessionLayout = SessionLayout(file.Path());
    sessionLayout.m_reserved1[0] = 7;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SessionAtOnce(b.Handle(), e.text, sizeof e.text,
                                                       &e.systemError, &e.failure,
                                                       &sessionLayout, 0, 0, 0, 1, 5),
              STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(recorder->CommandCount(), before);

    // The worker's own arguments pass, the layout path at byte 19 and byte 12 respectively.
    sessionLayout = SessionLayout(file.Path());
    EXPECT_EQ(reinterpret_cast<const char*>(&sessionLayout) + 19, std::string(path));
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SessionAtOnce(b.Handle(), e.text, sizeof e.text,
                                                       &e.systemError, &e.failure,
                                                       &sessionLayout, 0, 0, 0, 1, 5),
              STARBURN_OK)
        << e.text;
}

TEST(WriteCalls, BufferUnderrunProtectionIsReadAndSwitchedThroughTheDrive) {
    {
        auto recorder = Recorder("cdrw-writer", "cd-r-blank");
        Session session(MakeVirtualDeviceProvider({recorder}));
        Burner b;
        ASSERT_TRUE(recorder->Model().bufferUnderrunProtection);
        ASSERT_EQ(SetBup(b, 1), STARBURN_OK) << b.errors.text;
        const Bup bup = GetBup(b);
        ASSERT_EQ(bup.result, STARBURN_OK) << b.errors.text;
        EXPECT_EQ(bup.supported, 1);
        EXPECT_EQ(bup.enabled, 1);
        const std::vector<uint8_t> page = recorder->WriteParametersPage();
        ASSERT_GE(page.size(), 3u);
        EXPECT_EQ(page[2] & 0x40, 0x40);
        ASSERT_EQ(SetBup(b, 0), STARBURN_OK) << b.errors.text;
        EXPECT_EQ(GetBup(b).enabled, 0);
        EXPECT_EQ(SetBup(b, 2), STARBURN_ERROR_INVALID_PARAMETER);
    }
    // A DVD in a writer that starts with the usual Track-At-Once page: BUFE still goes on.
    for (const char* disc : {"dvd+r-blank", "dvd-rw-sequential", "dvd-r-blank"}) {
        SCOPED_TRACE(disc);
        auto recorder = Recorder("dvd-dl-writer", disc);
        Session session(MakeVirtualDeviceProvider({recorder}));
        Burner b;
        ASSERT_EQ(SetBup(b, 1), STARBURN_OK) << b.errors.text;
        EXPECT_EQ(GetBup(b).enabled, 1);
        ASSERT_EQ(SetBup(b, 0), STARBURN_OK) << b.errors.text;
        EXPECT_EQ(GetBup(b).enabled, 0);
    }
    // A reader has none: supported 0, and switching it on fails.
    auto reader = Recorder("dvd-reader", "dvd-rom");
    Session session(MakeVirtualDeviceProvider({reader}));
    Burner r;
    const Bup bup = GetBup(r);
    ASSERT_EQ(bup.result, STARBURN_OK) << r.errors.text;
    EXPECT_EQ(bup.supported, 0);
    EXPECT_EQ(bup.enabled, 0);
    EXPECT_NE(SetBup(r, 1), STARBURN_OK);
    EXPECT_NE(std::string(r.errors.text).find("buffer-underrun"), std::string::npos)
        << r.errors.text;
}

TEST(WriteCalls, PowerCalibrationFailsOnlyWhenTheDriveFails) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Burner b;
    Errors& e = b.errors;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SendOPC(b.Handle(), e.text, sizeof e.text,
                                                 &e.systemError, &e.failure),
              STARBURN_OK)
        << e.text;
    recorder->InjectOpcError();
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SendOPC(b.Handle(), e.text, sizeof e.text,
                                                 &e.systemError, &e.failure),
              STARBURN_ERROR_SCSI);
    EXPECT_EQ(e.failure.m_operationCode, 0x54);
    EXPECT_EQ(e.failure.m_senseKey, 0x03);
    EXPECT_EQ(e.failure.m_asc, 0x73);
}

TEST(WriteCalls, CdTextIsKeptForTrackAndDiscItemsOnly) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Burner b;
    Errors& e = b.errors;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SetCDTextItem(b.Handle(), 0, "StarBurnImageCD",
                                                       "CD-Text", e.text, sizeof e.text,
                                                       &e.systemError),
              STARBURN_OK)
        << e.text;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SetCDTextItem(b.Handle(), 99, "t", "p", e.text,
                                                       sizeof e.text, &e.systemError),
              STARBURN_OK);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SetCDTextItem(b.Handle(), 100, "t", "p", e.text,
                                                       sizeof e.text, &e.systemError),
              STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_SetCDTextItem(b.Handle(), 1, nullptr, "p", e.text,
                                                       sizeof e.text, &e.systemError),
              STARBURN_ERROR_INVALID_PARAMETER);
}

TEST(WriteCalls, CloseSessionNeedsATrackAtOnceWriteAndEjectOpensTheTray) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Burner b;
    EXPECT_EQ(b.CloseSession(), STARBURN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(recorder->CommandCount(0x5B), 0u);

    // After Session-At-Once there is nothing left open either.
    ImageFile file("close.iso", Pattern(100 * 2048));
    ASSERT_EQ(b.Write(Method::SessionAtOnce, file.Path()), STARBURN_OK) << b.errors.text;
    EXPECT_NE(b.CloseSession(), STARBURN_OK);

    ASSERT_EQ(b.Eject(), STARBURN_OK) << b.errors.text;
    EXPECT_TRUE(recorder->TrayOpen());
    EXPECT_FALSE(recorder->RemovalPrevented());
}
