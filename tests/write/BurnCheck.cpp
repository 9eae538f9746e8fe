#include "tests/write/BurnCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "burnlib/api/VirtualDeviceProvider.h"
#include "tests/rawdecoder/RawDecoder.h"

namespace writetest {

namespace fs = std::filesystem;

namespace {

// The library started on one recorder, named CdRom0 with the letter E:, its raw writes saved in a
// folder of its own.
class OneDrive {
public:
    OneDrive(std::shared_ptr<burnlib::VirtualRecorder> recorder, const ProviderMaker& provider)
        : m_recorder(std::move(recorder)),
          m_folder(fs::temp_directory_path() /
                   ("qf-write-" + std::to_string(reinterpret_cast<uintptr_t>(this)))) {
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        m_recorder->SetStoreFolder(m_folder.string(), 'E');
        burnlib::SetDeviceProvider(provider(m_recorder, 'E'));
        StarBurn_UpStartEx();
    }
    ~OneDrive() {
        StarBurn_DownShut();
        burnlib::SetDeviceProvider(nullptr);
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    burnlib::VirtualRecorder& recorder() { return *m_recorder; }
    const fs::path& folder() const { return m_folder; }

    STARBURN_TOC_INFORMATION Toc() {
        STARBURN_TOC_INFORMATION toc = {};
        char text[STARBURN_TEXT_SIZE] = {};
        uint32_t systemError = 0;
        STARBURN_FAILURE_RECORD failure = {};
        STARBURN_GRABBER g = nullptr;
        EXPECT_EQ(0u, StarBurn_CdvdBurnerGrabber_CreateEx(&g, text, sizeof text, &systemError,
                                                          &failure, nullptr, nullptr, "CdRom0", 1));
        EXPECT_EQ(0u, StarBurn_CdvdBurnerGrabber_GetTOCInformation(g, text, sizeof text,
                                                                   &systemError, &failure, &toc))
            << text;
        StarBurn_Destroy(&g);
        return toc;
    }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
    fs::path m_folder;
};

uint64_t BlocksOf(const fs::path& image) { return (fs::file_size(image) + 2047) / 2048; }

bool IsRaw(Method m) { return m == Method::DiscAtOncePQ || m == Method::DiscAtOnceRawPW; }

// Writes, checks the call's own report, the data read back, the saved raw blocks and what the
// table of contents says afterwards.
}  // namespace

ProviderMaker VirtualProvider() {
    return [](std::shared_ptr<burnlib::VirtualRecorder> recorder, char letter) {
        return burnlib::MakeVirtualDeviceProvider({std::move(recorder)}, {letter});
    };
}

void BurnAndCompare(const char* model, const char* medium, Method method, const char* imageName,
                    bool sequential, const ProviderMaker& provider) {
    const fs::path image = ImageFolder() / imageName;
    ASSERT_TRUE(fs::exists(image)) << image << " is missing: run make-test-images.sh";
    OneDrive drive(Recorder(model, medium), provider);

    const BurnResult result = Burn("CdRom0", method, image.string(), false);
    ASSERT_EQ(0u, result.code) << result.text;
    const int64_t total = static_cast<int64_t>(BlocksOf(image) * 2048);
    EXPECT_EQ(total, result.lastTotal);
    EXPECT_EQ(total, result.lastDone) << "the last progress report is the end";

    std::string why;
    EXPECT_TRUE(DiscHoldsImage(drive.recorder(), image, &why)) << why;
    if (IsRaw(method)) {
        const rawdecoder::Check check =
            rawdecoder::CheckSavedRawWriteHoldsImage(drive.folder(), 'E', image);
        EXPECT_TRUE(check.ok) << check.reason;
    }

    // The record is packed: its fields are copied out before they are compared.
    const STARBURN_TOC_INFORMATION toc = drive.Toc();
    const int trackCount = toc.m_trackCount, first = toc.m_firstTrack, last = toc.m_lastTrack;
    const int32_t start = toc.m_tracks[0].m_startLBA;
    const int isData = toc.m_tracks[0].m_isData, status = toc.m_discStatus;
    const uint64_t size = toc.m_tracks[0].m_sizeBlocks;
    EXPECT_EQ(1, trackCount);
    EXPECT_EQ(1, first);
    EXPECT_EQ(1, last);
    EXPECT_EQ(0, start);
    EXPECT_EQ(1, isData);
    if (sequential) {
        EXPECT_EQ(2, status) << "the disc is closed after the burn";
        // The track holds the image; a drive may add its run-out blocks (CD Track-At-Once) or pad
        // to a whole packet or ECC block (DVD), never more than 16 blocks.
        EXPECT_GE(size, BlocksOf(image));
        EXPECT_LE(size, BlocksOf(image) + 16);
    }
}

}  // namespace writetest
