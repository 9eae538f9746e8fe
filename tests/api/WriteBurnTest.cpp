// The write calls end to end against the virtual recorder: what a burn writes reads back byte for
// byte, a test write leaves the disc blank, and a write that cannot be done, is cancelled or
// loses its file fails without passing for done.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/api/WriteSupport.h"

using namespace burnlib;
using namespace apitest;
using namespace std::chrono_literals;

namespace {

constexpr uint8_t kWrite10 = 0x2A;

STARBURN_TOC_INFORMATION Toc(STARBURN_GRABBER g) {
    Errors e;
    STARBURN_TOC_INFORMATION toc{};
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, e.text, sizeof e.text,
                                                           &e.systemError, &e.failure, &toc),
              STARBURN_OK)
        << e.text;
    return toc;
}

STARBURN_TRACK_INFORMATION NextTrack(STARBURN_GRABBER g) {
    Errors e;
    STARBURN_TRACK_INFORMATION track{};
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_GetTrackInformation(g, e.text, sizeof e.text,
                                                             &e.systemError, &e.failure, 255,
                                                             &track),
              STARBURN_OK)
        << e.text;
    return track;
}

// Reports count up to the total, which is the image padded to whole blocks, and end there.
void ExpectProgress(const Burner& burner, int64_t total) {
    const auto progress = burner.Progress();
    ASSERT_FALSE(progress.empty());
    int64_t last = 0;
    for (auto [done, reported] : progress) {
        EXPECT_EQ(reported, total);
        EXPECT_GE(done, last);
        EXPECT_LE(done, total);
        last = done;
    }
    EXPECT_EQ(progress.back().first, total);
}

}  // namespace

TEST(WriteBurn, EveryMethodWritesACdRThatReadsBackByteForByteAndIsClosed) {
    const std::vector<uint8_t> image = Pattern(300 * 1024 + 1000);  // 151 blocks, the last part
    const std::vector<uint8_t> padded = PadToBlocks(image);
    const uint32_t blocks = static_cast<uint32_t>(padded.size() / 2048);
    for (Method method : {Method::TrackAtOnce, Method::SessionAtOnce, Method::DiscAtOncePq,
                          Method::DiscAtOnceRawPw}) {
        SCOPED_TRACE(MethodName(method));
        auto recorder = Recorder("cdrw-writer", "cd-r-blank");
        Session session(MakeVirtualDeviceProvider({recorder}));
        ImageFile file("cd.iso", image);
        Burner burner;
        ASSERT_NE(burner.Handle(), nullptr) << burner.errors.text;

        ASSERT_EQ(burner.Write(method, file.Path()), STARBURN_OK) << burner.errors.text;
        if (method == Method::TrackAtOnce) {
            ASSERT_EQ(burner.CloseSession(), STARBURN_OK) << burner.errors.text;
        }
        EXPECT_EQ(recorder->ReadUserData(0, blocks), padded);
        ExpectProgress(burner, static_cast<int64_t>(padded.size()));
        EXPECT_FALSE(recorder->RemovalPrevented());

        // One data track from block 0 on a disc closed for good (multisession 0).
        const STARBURN_TOC_INFORMATION toc = Toc(burner.Handle());
        // (Packed fields are copied before the comparisons take them by reference.)
        EXPECT_EQ(+toc.m_discStatus, 2);
        ASSERT_EQ(+toc.m_trackCount, 1);
        const int32_t start = toc.m_tracks[0].m_startLBA;
        EXPECT_EQ(start, 0);
        EXPECT_EQ(+toc.m_tracks[0].m_isData, 1);

        ASSERT_EQ(burner.Eject(), STARBURN_OK) << burner.errors.text;
        EXPECT_TRUE(recorder->TrayOpen());
    }
}

TEST(WriteBurn, TrackAtOnceWritesEveryDvdMediumThatReadsBack) {
    const std::vector<uint8_t> image = Pattern(400 * 1024 + 17);
    const std::vector<uint8_t> padded = PadToBlocks(image);
    struct Case {
        const char* medium;
        bool closes;  // a write-once medium ends finalized
    };
    for (const Case& c : {Case{"dvd+r-blank", true}, Case{"dvd-r-blank", true},
                          Case{"dvd+r-dl-blank", true}, Case{"dvd-r-dl-blank", true},
                          Case{"dvd-rw-sequential", true}, Case{"dvd-rw-restricted", false},
                          Case{"dvd+rw", false}, Case{"dvd+rw-unformatted", false},
                          Case{"dvd-ram", false}}) {
        SCOPED_TRACE(c.medium);
        auto recorder = Recorder("dvd-dl-writer", c.medium);
        Session session(MakeVirtualDeviceProvider({recorder}));
        ImageFile file("dvd.iso", image);
        Burner burner;
        ASSERT_EQ(burner.Write(Method::TrackAtOnce, file.Path()), STARBURN_OK)
            << burner.errors.text;
        ASSERT_EQ(burner.CloseSession(), STARBURN_OK) << burner.errors.text;
        EXPECT_EQ(recorder->ReadUserData(0, static_cast<uint32_t>(padded.size() / 2048)), padded);
        ExpectProgress(burner, static_cast<int64_t>(padded.size()));
        if (c.closes) {
            EXPECT_EQ(+Toc(burner.Handle()).m_discStatus, 2);
        }
    }
}

TEST(WriteBurn, ATestWriteLeavesTheCdBlank) {
    const std::vector<uint8_t> image = Pattern(200 * 1024);
    for (Method method : {Method::TrackAtOnce, Method::SessionAtOnce, Method::DiscAtOncePq}) {
        SCOPED_TRACE(MethodName(method));
        auto recorder = Recorder("cdrw-writer", "cd-r-blank");
        Session session(MakeVirtualDeviceProvider({recorder}));
        ImageFile file("test.iso", image);
        Burner burner;
        ASSERT_EQ(burner.Write(method, file.Path(), 1), STARBURN_OK) << burner.errors.text;
        EXPECT_GT(recorder->CommandCount(kWrite10), 0u);  // the drive went through the writes
        EXPECT_EQ(+Toc(burner.Handle()).m_discStatus, 0);
        const STARBURN_TRACK_INFORMATION next = NextTrack(burner.Handle());
        EXPECT_EQ(+next.m_isBlank, 1);
        const uint32_t nextWritable = next.m_nextWritable;
        EXPECT_EQ(nextWritable, 0u);
    }
}

TEST(WriteBurn, TestWritesOnDvdPlusRAreRefusedBeforeAnyWrite) {
    for (Method method : {Method::TrackAtOnce, Method::SessionAtOnce}) {
        auto recorder = Recorder("dvd-dl-writer", "dvd+r-blank");
        Session session(MakeVirtualDeviceProvider({recorder}));
        ImageFile file("test.iso", Pattern(100 * 1024));
        Burner burner;
        EXPECT_EQ(burner.Write(method, file.Path(), 1), STARBURN_ERROR_NOT_SUPPORTED);
        EXPECT_NE(std::string(burner.errors.text).find("test write"), std::string::npos)
            << burner.errors.text;
        EXPECT_EQ(recorder->CommandCount(kWrite10), 0u);
        EXPECT_EQ(+NextTrack(burner.Handle()).m_isBlank, 1);
    }
}

TEST(WriteBurn, EmptyMissingOrOversizedImagesAreRefusedBeforeAnyWrite) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    Burner burner;
    ImageFile empty("empty.iso", std::vector<uint8_t>{});
    // 900 MB: more than an 80-minute CD-R holds (a sparse file, nothing on the disk).
    ImageFile huge("huge.iso", uint64_t{900} << 20);
    for (Method method : {Method::TrackAtOnce, Method::SessionAtOnce, Method::DiscAtOncePq,
                          Method::DiscAtOnceRawPw}) {
        SCOPED_TRACE(MethodName(method));
        EXPECT_EQ(burner.Write(method, empty.Path()), STARBURN_ERROR_INVALID_PARAMETER);
        EXPECT_NE(std::string(burner.errors.text).find("empty"), std::string::npos)
            << burner.errors.text;
        EXPECT_EQ(burner.Write(method, huge.Path()), STARBURN_ERROR_INVALID_PARAMETER);
        EXPECT_NE(std::string(burner.errors.text).find("does not fit"), std::string::npos)
            << burner.errors.text;
        EXPECT_EQ(burner.Write(method, empty.Path() + ".missing"), STARBURN_ERROR_SYSTEM);
        EXPECT_NE(burner.errors.systemError, 0u);
    }
    EXPECT_EQ(recorder->CommandCount(kWrite10), 0u);
    EXPECT_EQ(+Toc(burner.Handle()).m_discStatus, 0);
}

TEST(WriteBurn, AFileThatShrinksWhileItIsWrittenFailsTheWrite) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    // 8 MB through a 1 MB read-ahead: the reader cannot be past 4 MB when the file is cut there.
    ImageFile file("shrinking.iso", Pattern(8 << 20));
    Burner burner;
    std::atomic<bool> cut{false};
    std::error_code cutError;
    burner.onProgress = [&](int64_t, int64_t) {
        if (!cut.exchange(true)) std::filesystem::resize_file(file.FsPath(), 4 << 20, cutError);
    };
    const uint32_t result = burner.Write(Method::TrackAtOnce, file.Path(), 0, 1);
    ASSERT_TRUE(cut.load());
    ASSERT_FALSE(cutError) << cutError.message();
    EXPECT_NE(result, STARBURN_OK);
    EXPECT_NE(std::string(burner.errors.text).find("shrinking.iso"), std::string::npos)
        << burner.errors.text;
    for (auto [done, total] : burner.Progress()) EXPECT_LT(done, total);
    EXPECT_FALSE(recorder->RemovalPrevented());
}

TEST(WriteBurn, ACancelEndsTheWriteWithinOneTransferAndTheDriveStaysUsable) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    ImageFile file("cancel.iso", Pattern(8 << 20));
    recorder->SetCommandLatency(2ms);
    uint64_t writesAtCancel = 0;
    {
        Burner burner;
        std::atomic<uint32_t> result{STARBURN_OK};
        std::thread worker([&] { result = burner.Write(Method::TrackAtOnce, file.Path()); });
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (recorder->CommandCount(kWrite10) < 5 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        writesAtCancel = recorder->CommandCount(kWrite10);
        StarBurn_CdvdBurnerGrabber_Cancel(burner.Handle());
        worker.join();
        EXPECT_EQ(result.load(), STARBURN_ERROR_CANCELLED);
        EXPECT_LE(recorder->CommandCount(kWrite10), writesAtCancel + 1);
        for (auto [done, total] : burner.Progress()) EXPECT_LT(done, total);
    }
    EXPECT_GE(writesAtCancel, 5u);
    EXPECT_FALSE(recorder->RemovalPrevented());

    // A new burn on a new disc, through a new drive object, goes through.
    recorder->SetCommandLatency(0ms);
    recorder->InsertMedium(*MediumByName("cd-r-blank"));
    const std::vector<uint8_t> image = Pattern(100 * 2048);
    ImageFile next("next.iso", image);
    Burner again;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_TestUnitReady(again.Handle(), again.errors.text,
                                                       sizeof again.errors.text,
                                                       &again.errors.systemError,
                                                       &again.errors.failure),
              STARBURN_OK);
    ASSERT_EQ(again.Write(Method::TrackAtOnce, next.Path()), STARBURN_OK) << again.errors.text;
    ASSERT_EQ(again.CloseSession(), STARBURN_OK) << again.errors.text;
    EXPECT_EQ(recorder->ReadUserData(0, 100), image);
}

TEST(WriteBurn, TheDriveIsHeldExclusivelyWhileWritingAndAnotherHolderStopsTheWrite) {
    auto recorder = Recorder("cdrw-writer", "cd-r-blank");
    Session session(MakeVirtualDeviceProvider({recorder}));
    ImageFile file("exclusive.iso", Pattern(200 * 2048));
    const int otherProgram = 0;

    // Another program holds the drive: the write fails before anything is written.
    ASSERT_TRUE(recorder->ClaimExclusive(&otherProgram));
    {
        Burner burner;
        EXPECT_EQ(burner.Write(Method::TrackAtOnce, file.Path()), STARBURN_ERROR_SYSTEM);
        EXPECT_EQ(burner.errors.systemError, 5u);
        EXPECT_NE(std::string(burner.errors.text).find("another program"), std::string::npos)
            << burner.errors.text;
        EXPECT_EQ(recorder->CommandCount(kWrite10), 0u);
    }
    recorder->ReleaseExclusive(&otherProgram);

    // While the write runs nobody else gets the drive; afterwards they do.
    Burner burner;
    std::atomic<int> refusedDuringWrite{0};
    burner.onProgress = [&](int64_t, int64_t) {
        const int probe = 0;
        if (recorder->ClaimExclusive(&probe))
            recorder->ReleaseExclusive(&probe);
        else
            ++refusedDuringWrite;
    };
    ASSERT_EQ(burner.Write(Method::TrackAtOnce, file.Path()), STARBURN_OK) << burner.errors.text;
    EXPECT_GT(refusedDuringWrite.load(), 0);
    EXPECT_TRUE(recorder->ClaimExclusive(&otherProgram));
    recorder->ReleaseExclusive(&otherProgram);
}
