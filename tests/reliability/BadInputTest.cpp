// Bad images and drives that go wrong, burned by the real worker through the real library: each
// ends with a failure the user is told of, never with the success text, leaves a disc that was
// not written untouched, and leaves the drive usable for the next burn.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "burnlib/virtual/Medium.h"
#include "tests/reliability/Workload.h"

namespace {

using namespace reliability;
using burnlib::DiscState;
using burnlib::ScsiRequest;
using burnlib::ScsiResult;

constexpr const char* kFailedRow = "BURNING ERROR";
constexpr uint8_t kWrite10 = 0x2A;

bool Untouched(Workload& work) {
    const burnlib::Medium disc = work.CdWriter().CurrentMedium();
    return disc.state == DiscState::Blank && disc.tracks.empty();
}

// After a failure the same drive burns the workload's own image.
void ExpectUsable(Workload& work) {
    work.SetFault(nullptr);
    std::string why;
    EXPECT_TRUE(work.Burn(1, &why)) << why;
}

void ExpectFailedBeforeWriting(const BurnOutcome& outcome, Workload& work) {
    ASSERT_TRUE(outcome.ended);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.lastRow(), kFailedRow);
    EXPECT_TRUE(Untouched(work));
}

class TempFile {
public:
    TempFile(const std::string& name, uint64_t bytes) : path(MakeTempFile(name, bytes)) {}
    ~TempFile() { ::DeleteFileA(path.c_str()); }
    std::string path;
};

}  // namespace

TEST(BadImage, MissingEmptyAndLockedFilesAreRefusedBeforeTheDiscIsTouched) {
    Workload work;
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    ExpectFailedBeforeWriting(work.Burn(1, std::string(dir) + "qf-no-such-image.iso"), work);

    TempFile empty("qf-empty.iso", 0);
    for (int32_t method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        ExpectFailedBeforeWriting(work.Burn(method, empty.path), work);
    }

    // Another program holds the file open for itself alone.
    TempFile locked("qf-locked.iso", 64 * 2048);
    HANDLE holder = ::CreateFileA(locked.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ExpectFailedBeforeWriting(work.Burn(1, locked.path), work);
    ::CloseHandle(holder);
    ExpectUsable(work);
}

TEST(BadImage, AnImageLargerThanTheDiscFailsInEveryMethodWithTheDiscBlank) {
    burnlib::Medium small = drivetest::BlankCdR();
    small.capacityBlocks = 250;
    Workload work(small);
    TempFile image("qf-too-large.iso", 300 * 2048);
    for (int32_t method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        ExpectFailedBeforeWriting(work.Burn(method, image.path), work);
    }
}

// The last block is completed with zeros: the disc reads back as the file, then zeros.
TEST(BadImage, ASizeThatIsNotWholeBlocksIsPadded) {
    Workload work;
    TempFile image("qf-odd-size.iso", 1000);
    const BurnOutcome outcome = work.Burn(1, image.path);
    ASSERT_TRUE(outcome.succeeded) << outcome.lastRow();
    std::vector<uint8_t> expected(2048, 0);
    for (size_t i = 0; i < 1000; ++i) expected[i] = static_cast<uint8_t>(i * 7 + 1);
    EXPECT_EQ(work.CdWriter().ReadUserData(0, 1), expected);
}

// The file shrinks while it is being written: the burn fails, however far it had come.
TEST(BadImage, AFileTruncatedDuringTheWriteFails) {
    Workload work;
    TempFile image("qf-shrinking.iso", 16u << 20);
    std::atomic<int> writes{0};
    work.SetFault([&](const ScsiRequest& r) -> std::optional<ScsiResult> {
        if (r.cdb[0] == kWrite10 && ++writes == 8) {
            HANDLE file = ::CreateFileA(image.path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER at{};
            at.QuadPart = 3 << 20;
            ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
            ::SetEndOfFile(file);
            ::CloseHandle(file);
        }
        return std::nullopt;
    });
    for (int32_t method : {0, 3}) {
        SCOPED_TRACE(method);
        work.CdWriter().InsertMedium(drivetest::BlankCdR());
        writes = 0;
        // Written afresh each time: the previous run shrank it.
        const std::string again = MakeTempFile("qf-shrinking.iso", 16u << 20);
        const BurnOutcome outcome = work.Burn(method, again);
        ASSERT_TRUE(outcome.ended);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.lastRow(), kFailedRow);
        EXPECT_GE(writes.load(), 8);
    }
    ExpectUsable(work);
}

// The drive disappears in the middle of the write: every command fails as a vanished device
// fails; the burn ends with a failure and does not hang.
TEST(BadDrive, UnpluggedDuringTheScanOrTheBurn) {
    Workload work;
    constexpr uint32_t kDeviceNotConnected = 1167;
    work.SetFault([&](const ScsiRequest&) -> std::optional<ScsiResult> {
        return ScsiResult::SystemFailure(kDeviceNotConnected);
    });
    EXPECT_EQ(work.Scan(), 1);  // only the DVD writer is left

    std::atomic<int> writes{0};
    work.SetFault([&](const ScsiRequest& r) -> std::optional<ScsiResult> {
        if (r.cdb[0] == kWrite10) ++writes;
        if (writes >= 5) return ScsiResult::SystemFailure(kDeviceNotConnected);
        return std::nullopt;
    });
    for (int32_t method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        work.CdWriter().InsertMedium(drivetest::BlankCdR());
        writes = 0;
        const BurnOutcome outcome = work.Burn(method, work.Image());
        ASSERT_TRUE(outcome.ended);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.lastRow(), kFailedRow);
    }
    work.CdWriter().InsertMedium(drivetest::BlankCdR());
    ExpectUsable(work);
    EXPECT_EQ(work.Scan(), 2);
}

// A disc changed after the device page: a blank one is burned, a written one is left alone.
TEST(BadDrive, MediumChangedBetweenTheDevicePageAndTheBurn) {
    Workload work;
    ASSERT_EQ(work.Scan(), 2);
    work.CdWriter().InsertMedium(drivetest::BlankCdR());
    const BurnOutcome blank = work.Burn(1, work.Image());
    EXPECT_TRUE(blank.succeeded) << blank.lastRow();

    work.CdWriter().InsertMedium(drivetest::ClosedCdR(3000));
    const std::vector<uint8_t> before = work.CdWriter().ReadUserData(0, 16);
    for (int32_t method = 0; method < 4; ++method) {
        SCOPED_TRACE(method);
        const BurnOutcome closed = work.Burn(method, work.Image());
        ASSERT_TRUE(closed.ended);
        EXPECT_FALSE(closed.succeeded);
        EXPECT_EQ(closed.lastRow(), kFailedRow);
        EXPECT_EQ(work.CdWriter().CurrentMedium().state, DiscState::Closed);
        EXPECT_EQ(work.CdWriter().CurrentMedium().tracks.size(), 1u);
        EXPECT_EQ(work.CdWriter().ReadUserData(0, 16), before);
    }
}
