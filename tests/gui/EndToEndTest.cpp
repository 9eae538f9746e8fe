// The real QuillfireVirtual.exe, started as its own program and driven from outside as a user
// drives it, burns an xorriso-made image from the welcome page to Finish: onto a CD-R in every
// write method and onto a DVD+R and a DVD-RW. Each disc must read back as the image, the log must
// hold the steps of the burn, and a later run must find the written disc no longer blank.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/gui/WizardScript.h"

namespace {

// Three writers, each with its blank disc under its own letter in the discs folder.
constexpr const char* kDrives =
    "cdrw-writer:cd-r-blank@E,dvd-dl-writer:dvd+r-blank@F,dvd-dl-writer:dvd-rw-sequential@G";

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    std::string text = value ? value : "";
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

std::string FullPath(const std::string& relative) {
    char full[MAX_PATH] = {};
    ::GetFullPathNameA(relative.c_str(), sizeof full, full, nullptr);
    return full;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own for one test's discs, emptied first.
std::string FreshFolder(const std::string& name) {
    ::CreateDirectoryA("e2e-runs", nullptr);
    std::string folder = FullPath("e2e-runs\\" + name);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* pattern : {"\\*.iso", "\\*.state", "\\*.raw", "\\*.txt", "\\*.log"}) {
        WIN32_FIND_DATAA found{};
        HANDLE search = ::FindFirstFileA((folder + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    return folder;
}

// The disc's user data must start with the image byte for byte; only zeros may follow it.
::testing::AssertionResult ReadsBackAs(const std::string& discFile, const std::string& image) {
    std::string disc = ReadFile(discFile), expected = ReadFile(image);
    if (expected.empty()) return ::testing::AssertionFailure() << "the image " << image << " is empty";
    if (disc.size() < expected.size())
        return ::testing::AssertionFailure() << discFile << " holds " << disc.size() << " bytes, the image "
                                             << expected.size();
    for (size_t i = 0; i < expected.size(); ++i)
        if (disc[i] != expected[i])
            return ::testing::AssertionFailure() << discFile << " differs from the image at byte " << i
                                                 << " (block " << i / 2048 << ")";
    for (size_t i = expected.size(); i < disc.size(); ++i)
        if (disc[i] != 0)
            return ::testing::AssertionFailure() << discFile << " has data after the image at byte " << i;
    return ::testing::AssertionSuccess();
}

struct LogRow {
    bool timed;
    std::string text;
};

// The rows a successful burn shows: the page's header, then the worker's steps.
std::vector<LogRow> ExpectedLog(const std::string& image, const std::string& product,
                                const std::string& vendor, const std::string& speed, int method,
                                bool opc) {
    const char* methodRow[] = {"Write Method: Track-At-Once", "Write Method: Session-At-Once",
                               "Write Method: Disc-At-Once", "Write Method: Disc-At-Once"};
    std::vector<LogRow> rows = {
        {true, "Creating CD/DVD/Blu-Ray/HD-DVD from image"},
        {true, "Source File:"},
        {false, image},
        {true, "Destination device: " + product + " " + vendor},
        {true, "Requested burning speed: " + speed},
        {true, methodRow[method]},
        {true, "Started"},
        {true, "Getting BUP (Buffer Underrun Protection) support..."},
        {true, "BUP successfully got"},
        {true, "Enabling BUP (Buffer Underrun Protection)..."},
        {true, "BUP enabled successfully"},
        {true, "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds..."},
        {true, "Speed successfully set"},
        {true, opc ? "Sending OPC (Optimum Power Calibration)..." : "Writing data to the CD/DVD disc"},
    };
    if (method == 0) {
        rows.push_back({true, "Closing session..."});
        rows.push_back({true, "Session closed"});
    }
    rows.push_back({true, "Burning Completed"});
    rows.push_back({true, "Eject"});
    return rows;
}

bool IsClockTime(const std::string& text) {
    static const std::regex clock("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]");
    return std::regex_match(text, clock);
}

void ExpectLogShows(const ListTexts& shown, const std::vector<LogRow>& expected) {
    ASSERT_EQ(shown.size(), expected.size()) << "the log has other rows than the burn's steps";
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shown[i][1], expected[i].text) << "row " << i;
        if (expected[i].timed)
            EXPECT_TRUE(IsClockTime(shown[i][0])) << "row " << i << " time \"" << shown[i][0] << "\"";
        else
            EXPECT_EQ(shown[i][0], "") << "row " << i;
    }
}

struct BurnCase {
    const char* name;
    const char* media;
    char letter;
    const char* method;      // as the mode page offers it
    int methodCode;
    const char* summaryName;  // as the summary names it
    bool opc;
    const char* speed;       // the chosen speed's start; empty keeps the fastest
};

const std::vector<std::string> kCdMethods = {"Disc-At-Once raw P-W", "Disc-At-Once PQ",
                                             "Session-At-Once", "Track-At-Once"};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        m_program = Setting("QF_E2E_PROGRAM");
        m_image = Setting("QF_E2E_IMAGE");
        ASSERT_FALSE(m_program.empty()) << "QF_E2E_PROGRAM names no program";
        ASSERT_FALSE(ReadFile(m_image).empty()) << "no image at QF_E2E_IMAGE \"" << m_image << "\"";
    }

    void TearDown() override {
        if (HasFailure()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            ::CreateDirectoryA("screenshots", nullptr);
            std::string name = std::string(info->test_suite_name()) + "." + info->name();
            for (char& ch : name)
                if (ch == '/') ch = '-';
            std::string path = FullPath("screenshots\\" + name + ".bmp");
            if (m_process.Sheet() && SaveScreenshot(path)) std::printf("screenshot: %s\n", path.c_str());
        }
        m_process.Kill();
    }

    bool StartWizard(const std::string& discs) {
        return m_process.Start(m_program, {{"QUILLFIRE_VIRTUAL_DRIVES", kDrives},
                                           {"QUILLFIRE_VIRTUAL_DISCS", discs}});
    }

    // One whole way through the wizard with the case's choices, checked page by page.
    void BurnThrough(const BurnCase& c, const std::string& discs, const std::string& saveLogAs,
                     WizardSeen* seen) {
        ASSERT_TRUE(StartWizard(discs)) << m_process.Failure();
        WizardScript script(m_process.Sheet());
        WizardChoices choices;
        choices.media = c.media;
        choices.image = m_image;
        choices.method = c.method;
        choices.opc = c.opc;
        choices.speed = c.speed;
        choices.saveLogAs = saveLogAs;
        bool done = script.RunToFinish(choices, seen);
        ASSERT_TRUE(done) << script.Failure();
        EXPECT_TRUE(m_process.WaitForExit(15000)) << "the program did not end after Finish";

        const std::vector<std::string>& row = seen->devices[seen->deviceRow];
        EXPECT_EQ(row[4], "Blank");
        std::string imageBytes = ReadFile(m_image);
        char size[64];
        std::snprintf(size, sizeof size, "File size: %.2f Mb      Disc size: ",
                      static_cast<double>(imageBytes.size() / 1024 / 1024));
        EXPECT_EQ(seen->imageInfo.rfind(size, 0), 0u) << seen->imageInfo;
        if (std::string(c.media) == "CD-R")
            EXPECT_EQ(seen->methods, kCdMethods);
        else
            EXPECT_EQ(seen->methods, std::vector<std::string>{"Track-At-Once"});
        if (*c.speed == 0)
            EXPECT_EQ(seen->speedText, seen->speeds.empty() ? "" : seen->speeds.back());
        else
            EXPECT_EQ(seen->speedText.rfind(c.speed, 0), 0u) << seen->speedText;

        const std::string summary = "Drive: " + row[0] + " " + row[1] + " (" + row[2] + ")\r\n" +
                                    "Transport: SPTI\r\n" + "Disc Type: " + c.media + "\r\n" +
                                    "Selected image file name: " + m_image + "\r\n" +
                                    "Burning Speed: " + seen->speedText + "\r\n" +
                                    "Send OPC: " + (c.opc ? "Yes" : "No") + "\r\n" +
                                    "Burning Mode: " + c.summaryName + "\r\n" + "Test Write: No\r\n";
        EXPECT_EQ(seen->summary, summary);
        ExpectLogShows(seen->log, ExpectedLog(m_image, row[0], row[1], seen->speedText, c.methodCode, c.opc));
        EXPECT_EQ(seen->result, "Quillfire Wizard has successfully finished!");
        EXPECT_TRUE(ReadsBackAs(discs + "\\" + c.letter + ".iso", m_image));
    }

    std::string m_program, m_image;
    WizardProcess m_process;
};

class EndToEndBurn : public EndToEnd, public ::testing::WithParamInterface<BurnCase> {};

TEST_P(EndToEndBurn, BurnsTheImageFromWelcomeToFinish) {
    WizardSeen seen;
    BurnThrough(GetParam(), FreshFolder(GetParam().name), "", &seen);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, EndToEndBurn,
    ::testing::Values(
        BurnCase{"CdrTrackAtOnce", "CD-R", 'E', "Track-At-Once", 0, "Track-At-Once", false, ""},
        BurnCase{"CdrSessionAtOnce", "CD-R", 'E', "Session-At-Once", 1, "Session-At-Once", true, "24"},
        BurnCase{"CdrDiscAtOncePq", "CD-R", 'E', "Disc-At-Once PQ", 2, "Disc-At-Once PQ", false, ""},
        BurnCase{"DvdPlusR", "DVD+R", 'F', "Track-At-Once", 0, "Track-At-Once", true, ""},
        BurnCase{"DvdMinusRw", "DVD-RW", 'G', "Track-At-Once", 0, "Track-At-Once", false, ""}),
    [](const ::testing::TestParamInfo<BurnCase>& info) { return std::string(info.param.name); });

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The raw P-W burn with power calibration; its log saved through the save dialog; then a second
// run of the program on the same discs finds the CD-R written.
TEST_F(EndToEnd, RawBurnSavesItsLogAndTheNextRunFindsTheDiscWritten) {
    const BurnCase raw{"CdrRawPw", "CD-R", 'E', "Disc-At-Once raw P-W", 3, "Disc-At-Once raw PW", true, "16"};
    std::string discs = FreshFolder(raw.name);
    std::string logFile = discs + "\\burning.log";
    WizardSeen seen;
    BurnThrough(raw, discs, logFile, &seen);
    if (HasFatalFailure()) return;

    std::string saved = ReadFile(logFile);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.back(), '\n');
    EXPECT_EQ(saved.find('\r'), std::string::npos) << "lines end in a line feed only";
    const std::vector<std::string>& row = seen.devices[seen.deviceRow];
    std::vector<LogRow> expected = ExpectedLog(m_image, row[0], row[1], seen.speedText, 3, true);
    std::vector<std::string> lines = Lines(saved);
    ASSERT_EQ(lines.size(), expected.size()) << saved;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i) + ": " + lines[i]);
        ASSERT_GE(lines[i].size(), 11u);
        std::string time = lines[i].substr(0, 8);
        EXPECT_EQ(lines[i].substr(8, 3), " : ");
        EXPECT_EQ(lines[i].substr(11), expected[i].text);
        if (expected[i].timed) {
            EXPECT_TRUE(IsClockTime(time));
            EXPECT_EQ(time, seen.log[i][0]) << "the saved time is the one shown";
        } else {
            EXPECT_EQ(time, "        ");
        }
    }

    // The second run: the written CD-R shows its size and is refused.
    ASSERT_TRUE(StartWizard(discs)) << m_process.Failure();
    WizardScript script(m_process.Sheet());
    ListTexts devices;
    ASSERT_TRUE(script.Welcome() && script.Transport(true) && script.ScanDevices(&devices))
        << script.Failure();
    int cdRow = -1;
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i][3] == "CD-R") cdRow = static_cast<int>(i);
    ASSERT_GE(cdRow, 0) << "no CD-R listed in the second run";
    // Disc-At-Once puts the lead-out right after the image: the one track is the image's size.
    char size[64];
    std::snprintf(size, sizeof size, "%.2f MB", static_cast<double>(ReadFile(m_image).size()) / 1048576.0);
    EXPECT_EQ(devices[cdRow][4], size) << "the Size column of the written CD-R";
    std::string refusal;
    EXPECT_FALSE(script.ChooseDevice(cdRow, &refusal));
    EXPECT_EQ(refusal, "Disc is not blank, burning is impossible!");
    EXPECT_EQ(script.PageIndex(), 2) << "the device page stays";
    EXPECT_TRUE(script.Cancel()) << script.Failure();
    EXPECT_TRUE(m_process.WaitForExit(15000));
    EXPECT_TRUE(ReadsBackAs(discs + "\\E.iso", m_image)) << "the second run changed the disc";
}

}  // namespace
