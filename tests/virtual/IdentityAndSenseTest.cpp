#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace {

Answer Inquiry(VirtualRecorder& r, uint8_t evpd, uint16_t alloc) {
    return In(r, {0x12, evpd, 0, static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0}, alloc);
}

Answer RequestSense(VirtualRecorder& r) { return In(r, {0x03, 0, 0, 0, 18, 0}, 18); }

std::string SenseOfRequestSense(const Answer& a) {
    if (a.data.size() < 14) return "short";
    char text[16];
    std::snprintf(text, sizeof(text), "%02X/%02X/%02X", a.data[2] & 0x0F, a.data[12], a.data[13]);
    return text;
}

}  // namespace

TEST(Identity, InquiryPadsTheModelStringsAndHonoursTheAllocationLength) {
    DriveModel model = *DriveModelByName("cdrw-writer");
    model.vendor = "ACME";
    model.product = "A product name longer than sixteen";
    model.revision = "9";
    VirtualRecorder r(model, *MediumByName("none"));
    Answer full = Inquiry(r, 0, 96);
    ASSERT_TRUE(full.Good());
    ASSERT_EQ(full.data.size(), 36u);
    EXPECT_EQ(full.data[0], 0x05);
    EXPECT_EQ(full.data[1] & 0x80, 0x80);
    EXPECT_EQ(full.data[4], 31);
    EXPECT_EQ(std::string(full.data.begin() + 8, full.data.begin() + 16), "ACME    ");
    EXPECT_EQ(std::string(full.data.begin() + 16, full.data.begin() + 32), "A product name l");
    EXPECT_EQ(std::string(full.data.begin() + 32, full.data.begin() + 36), "9   ");

    Answer shortAnswer = Inquiry(r, 0, 5);
    ASSERT_TRUE(shortAnswer.Good());
    EXPECT_EQ(shortAnswer.result.transferred, 5u);
    EXPECT_EQ(Inquiry(r, 0x01, 96).Sense(), "05/24/00");  // no vital product data pages
}

TEST(Readiness, EmptyNotReadyAndIncompatibleDiscsAnswerLikeDrives) {
    EXPECT_EQ(TestUnitReady(*MakeRecorder("cdrw-writer", "none")).Sense(), "02/3A/01");
    EXPECT_EQ(TestUnitReady(*MakeRecorder("cdrw-writer", "not-ready")).Sense(), "02/04/00");
    // A disc the drive cannot identify: incompatible, and no current profile.
    auto bdInDvd = MakeRecorder("dvd-dl-writer", "bd-r-blank");
    EXPECT_EQ(TestUnitReady(*bdInDvd).Sense(), "02/30/00");
    EXPECT_EQ(ReadDiscInfo(*bdInDvd).Sense(), "02/30/00");
    Answer config = GetConfiguration(*bdInDvd, 0, 0, 8);
    ASSERT_TRUE(config.Good());
    EXPECT_EQ(Be16(config.data, 6), 0);
    EXPECT_EQ(TestUnitReady(*MakeRecorder("dvd-dl-writer", "dvd+rw")).Sense(), "good");
    EXPECT_EQ(TestUnitReady(*MakeRecorder("dvd-reader", "dvd-r-blank")).Sense(), "good");
    EXPECT_EQ(TestUnitReady(*MakeRecorder("cdrw-writer", "dvd-rom")).Sense(), "02/30/00");
}

TEST(Readiness, BecomingReadyCountsDownOnlyOnTestUnitReady) {
    Medium medium = *MediumByName("cd-r-blank");
    medium.becomingReadyCalls = 2;
    VirtualRecorder r(*DriveModelByName("cdrw-writer"), medium);
    EXPECT_EQ(ReadDiscInfo(r).Sense(), "02/04/01");
    EXPECT_EQ(TestUnitReady(r).Sense(), "02/04/01");
    EXPECT_EQ(ReadDiscInfo(r).Sense(), "02/04/01");
    EXPECT_EQ(TestUnitReady(r).Sense(), "02/04/01");
    EXPECT_EQ(TestUnitReady(r).Sense(), "good");
    EXPECT_TRUE(ReadDiscInfo(r).Good());
}

TEST(UnitAttention, ReportedOnceAfterAMediumChangeButNotToInquiryOrConfiguration) {
    auto r = MakeRecorder("dvd-dl-writer", "none");
    r->InsertMedium(*MediumByName("cd-r-blank"));
    EXPECT_TRUE(Inquiry(*r, 0, 36).Good());
    Answer config = GetConfiguration(*r, 1, 0, 8);
    ASSERT_TRUE(config.Good());
    EXPECT_EQ(Be16(config.data, 6), kProfileCdR);
    EXPECT_EQ(TestUnitReady(*r).Sense(), "06/28/00");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "good");

    r->EjectMedium();
    EXPECT_EQ(ReadDiscInfo(*r).Sense(), "06/28/00");
    EXPECT_EQ(ReadDiscInfo(*r).Sense(), "02/3A/01");

    DriveModel quiet = *DriveModelByName("cdrw-writer");
    quiet.unitAttentionOnMediumChange = false;
    VirtualRecorder q(quiet, *MediumByName("none"));
    q.InsertMedium(*MediumByName("cd-r-blank"));
    EXPECT_EQ(TestUnitReady(q).Sense(), "good");
}

// The failure's sense came with the failed command (autosense) and is not kept: REQUEST SENSE
// then tells only what is still true.
TEST(Sense, RequestSenseAfterAutosenseReportsOnlyWhatIsStillTrue) {
    auto r = MakeRecorder("cdrw-writer", "cd-r-blank");
    EXPECT_EQ(Out(*r, {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/20/00");
    EXPECT_EQ(SenseOfRequestSense(RequestSense(*r)), "00/00/00");
    EXPECT_EQ(ReadToc(*r, 0, false).Sense(), "05/24/00");  // a blank disc has no TOC
    EXPECT_EQ(SenseOfRequestSense(RequestSense(*r)), "00/00/00");

    r->EjectMedium();
    EXPECT_EQ(SenseOfRequestSense(RequestSense(*r)), "06/28/00");  // reports and clears it
    EXPECT_EQ(Out(*r, {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/20/00");
    EXPECT_EQ(SenseOfRequestSense(RequestSense(*r)), "02/3A/01");  // no disc: still true
    r->InsertMedium(*MediumByName("cd-r-blank"));
    EXPECT_EQ(TestUnitReady(*r).Sense(), "06/28/00");
    EXPECT_EQ(SenseOfRequestSense(RequestSense(*r)), "00/00/00");
}

TEST(Sense, UnknownOpcodesAndShortCommandBlocksAreRefused) {
    auto r = MakeRecorder("dvd-dl-writer", "cd-r-blank");
    EXPECT_EQ(In(*r, {0x1A, 0, 0x2A, 0, 255, 0}, 255).Sense(), "05/20/00");  // MODE SENSE(6): not on MMC drives
    EXPECT_EQ(In(*r, {0xA4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0).Sense(), "05/20/00");
    EXPECT_EQ(In(*r, {0x51, 0, 0, 0, 0, 0}, 34).Sense(), "05/24/00");  // 10-byte command sent as 6 bytes
    EXPECT_EQ(In(*r, {0x51, 0x01, 0, 0, 0, 0, 0, 0, 34, 0}, 34).Sense(), "05/24/00");  // track resources
    EXPECT_EQ(GetConfiguration(*r, 3, 0, 8).Sense(), "05/24/00");
}

TEST(Tray, EjectOpensTheTrayAndLoadBringsTheDiscBack) {
    auto r = MakeRecorder("cdrw-writer", "cd-r-closed");
    const std::initializer_list<uint8_t> eject = {0x1B, 0, 0, 0, 0x02, 0};
    const std::initializer_list<uint8_t> load = {0x1B, 0, 0, 0, 0x03, 0};
    EXPECT_TRUE(Out(*r, {0x1E, 0, 0, 0, 0x01, 0}).Good());  // prevent removal
    EXPECT_EQ(Out(*r, eject).Sense(), "05/53/02");
    EXPECT_FALSE(r->TrayOpen());
    EXPECT_TRUE(Out(*r, {0x1E, 0, 0, 0, 0x00, 0}).Good());
    EXPECT_TRUE(Out(*r, eject).Good());
    EXPECT_TRUE(r->TrayOpen());
    EXPECT_EQ(TestUnitReady(*r).Sense(), "02/3A/02");
    EXPECT_EQ(ReadToc(*r, 0, false).Sense(), "02/3A/02");
    EXPECT_TRUE(Out(*r, load).Good());
    EXPECT_EQ(TestUnitReady(*r).Sense(), "06/28/00");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "good");
    EXPECT_TRUE(ReadToc(*r, 0, false).Good());
}

TEST(FaultInjection, FailsFromTheNthMatchingCallForCountCalls) {
    auto r = MakeRecorder("cdrw-writer", "cd-r-blank");
    r->InjectFault(0x00, 3, 0x03, 0x0C, 0x09, 2);
    EXPECT_TRUE(ReadDiscInfo(*r).Good());  // other opcodes do not count
    EXPECT_EQ(TestUnitReady(*r).Sense(), "good");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "good");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "03/0C/09");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "03/0C/09");
    EXPECT_EQ(TestUnitReady(*r).Sense(), "good");

    r->InjectFault(0xFF, 1, 0x04, 0x44, 0x00);
    EXPECT_EQ(ReadDiscInfo(*r).Sense(), "04/44/00");
    EXPECT_TRUE(ReadDiscInfo(*r).Good());
    EXPECT_EQ(r->CommandCount(0x00), 5u);
    EXPECT_EQ(r->CommandCount(0x51), 3u);
    EXPECT_EQ(r->CommandCount(), 8u);
}

TEST(Latency, EveryCommandTakesAtLeastTheLatency) {
    auto r = MakeRecorder("cdrw-writer", "cd-r-blank");
    r->SetCommandLatency(std::chrono::milliseconds(30));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(TestUnitReady(*r).Good());
    EXPECT_TRUE(TestUnitReady(*r).Good());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

// Whatever the command block and buffer, the recorder answers without touching memory past the
// host buffer (the sanitizers watch), never reports more bytes than the buffer holds, and fails
// only data phases at the transport.
TEST(Robustness, RandomCommandBlocksNeverOverrunTheHostBuffer) {
    std::mt19937 random(12345);
    const char* media[] = {"none", "cd-r-blank", "cd-r-closed", "cd-r-appendable", "dvd+rw", "dvd-r-blank",
                           "bd-re", "dvd-rom"};
    const uint8_t opcodes[] = {0x00, 0x03, 0x12, 0x1B, 0x1E, 0x25, 0x43, 0x46, 0x51, 0x52,
                               0x55, 0x5A, 0x5C, 0xAC, 0xB6, 0xBB, 0x28, 0xFF};
    for (const char* medium : media) {
        auto r = MakeRecorder("bd-writer", medium);
        for (int i = 0; i < 3000; ++i) {
            ScsiRequest request;
            for (uint8_t& b : request.cdb) b = static_cast<uint8_t>(random());
            request.cdb[0] = opcodes[random() % std::size(opcodes)];
            request.cdbLength = static_cast<uint8_t>(random() % 18);
            const uint32_t length = random() % 4 == 0 ? 0 : random() % 300;
            std::vector<uint8_t> buffer(length, 0x5A);
            request.data = random() % 10 == 0 ? nullptr : buffer.data();
            request.dataLength = length;
            request.direction = static_cast<DataDirection>(random() % 3);
            const ScsiResult result = r->Execute(request);
            if (!result.delivered) {
                ASSERT_EQ(result.systemError, 1117u);
                continue;
            }
            ASSERT_LE(result.transferred, length);
            if (result.status != kScsiStatusGood) {
                ASSERT_EQ(result.transferred, 0u);
            }
        }
    }
}

// The data phase as the pass-through layer sees it: a host buffer shorter than the allocation or
// parameter list length, or a direction that is not the command's, never reaches a GOOD status,
// and nothing is written into a buffer too short for the answer.
TEST(DataPhase, ShortBuffersAndWrongDirectionsFailAtTheTransport) {
    auto r = MakeRecorder("dvd-dl-writer", "cd-r-closed");
    TestUnitReady(*r);
    struct Short {
        const char* what;
        std::initializer_list<uint8_t> cdb;
        uint32_t buffer;
    } shortCases[] = {
        {"INQUIRY", {0x12, 0, 0, 0, 36, 0}, 35},
        {"REQUEST SENSE", {0x03, 0, 0, 0, 18, 0}, 17},
        {"READ CAPACITY", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4},  // always 8 bytes
        {"READ DISC INFORMATION", {0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 33},
        {"READ TRACK INFORMATION", {0x52, 1, 0, 0, 0, 1, 0, 0, 48, 0}, 36},
        {"READ TOC", {0x43, 0, 0, 0, 0, 0, 0, 0, 20, 0}, 12},
        {"GET CONFIGURATION", {0x46, 0, 0, 0, 0, 0, 0, 0x10, 0, 0}, 4095},
        {"MODE SENSE", {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 0xFF, 0}, 64},
        {"READ BUFFER CAPACITY", {0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 8},
        // Two 16-byte descriptors asked for: 8 + 32 bytes are needed, though this disc has
        // none to give (a CD in a drive with write-speed descriptors for DVD).
        {"GET PERFORMANCE", {0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0x03, 0}, 39},
    };
    for (const Short& c : shortCases) {
        SCOPED_TRACE(c.what);
        const Answer a = In(*r, c.cdb, c.buffer);
        EXPECT_EQ(a.Sense(), kDataPhaseFault);
        EXPECT_EQ(a.result.transferred, 0u);
    }
    // A bigger buffer is fine: the drive moves what it has, up to the allocation length.
    EXPECT_EQ(In(*r, {0x12, 0, 0, 0, 36, 0}, 100).result.transferred, 36u);
    EXPECT_EQ(In(*r, {0x51, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0).Sense(), "good");  // nothing asked, nothing moved

    auto send = [&](std::initializer_list<uint8_t> cdb, DataDirection direction, uint32_t length) {
        std::vector<uint8_t> buffer(length, 0);
        ScsiRequest request;
        std::copy(cdb.begin(), cdb.end(), request.cdb);
        request.cdbLength = static_cast<uint8_t>(cdb.size());
        request.direction = direction;
        request.data = length ? buffer.data() : nullptr;
        request.dataLength = length;
        return r->Execute(request);
    };
    // Data-in commands sent as data-out or as no-data, a data-out command sent as data-in, and
    // no-data commands given a buffer to fill or to send.
    EXPECT_FALSE(send({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, DataDirection::Out, 34).delivered);
    EXPECT_FALSE(send({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, DataDirection::None, 34).delivered);
    EXPECT_FALSE(send({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, DataDirection::None, 0).delivered);
    EXPECT_FALSE(send({0x55, 0x10, 0, 0, 0, 0, 0, 0, 60, 0}, DataDirection::In, 60).delivered);
    EXPECT_FALSE(send({0x00, 0, 0, 0, 0, 0}, DataDirection::In, 8).delivered);
    EXPECT_FALSE(send({0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, DataDirection::Out, 4).delivered);
    EXPECT_TRUE(send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, 0).delivered);
    // Refused at the transport before the drive looks at it: a pending unit attention stays.
    r->InsertMedium(*MediumByName("cd-r-closed"));
    EXPECT_EQ(In(*r, {0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 10).Sense(), kDataPhaseFault);
    EXPECT_EQ(TestUnitReady(*r).Sense(), "06/28/00");
}
