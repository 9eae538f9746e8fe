#include <gtest/gtest.h>

#include <cstring>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Profiles.h"
#include "tests/mmc/ScriptedDrive.h"

using namespace burnlib;
using namespace burnlib::mmc;
using mmctest::Deliver;
using mmctest::ScriptedDrive;

namespace {

std::vector<uint8_t> CapabilitiesReply(bool cdWriter, uint16_t currentRead, uint16_t currentWrite) {
    std::vector<uint8_t> r(8 + 32, 0);
    r[1] = static_cast<uint8_t>(r.size() - 2);
    uint8_t* page = r.data() + 8;
    page[0] = 0x2A;
    page[1] = 30;
    page[2] = 0x03;
    page[3] = cdWriter ? 0x03 : 0x00;
    PutBe16(page + 8, 7056);
    PutBe16(page + 12, 1024);
    PutBe16(page + 14, currentRead);
    PutBe16(page + 18, 5645);
    PutBe16(page + 28, currentWrite);
    return r;
}

std::vector<uint8_t> ConfigurationHeader(uint16_t profile) {
    std::vector<uint8_t> r(8, 0);
    r[3] = 4;
    PutBe16(r.data() + 6, profile);
    return r;
}

std::vector<uint8_t> AtipReply(bool rewritable) {
    std::vector<uint8_t> r(28, 0);
    r[1] = 26;
    r[6] = rewritable ? 0x40 : 0x00;
    r[8] = 97;
    r[9] = 26;
    r[10] = 65;
    return r;
}

std::vector<uint8_t> DiscInfo(uint8_t status, uint8_t discType) {
    std::vector<uint8_t> r(34, 0);
    r[1] = 32;
    r[2] = static_cast<uint8_t>(0x0C | status);
    r[3] = 1;
    r[4] = 1;
    r[5] = 1;
    r[6] = 2;
    r[8] = discType;
    return r;
}

std::vector<uint8_t> TocReply(std::vector<std::pair<uint8_t, int32_t>> entries, uint8_t control) {
    std::vector<uint8_t> r(4, 0);
    for (auto [track, lba] : entries) {
        uint8_t e[8] = {0, static_cast<uint8_t>(0x10 | control), track, 0};
        PutBe32(e + 4, static_cast<uint32_t>(lba));
        r.insert(r.end(), e, e + 8);
    }
    PutBe16(r.data(), static_cast<uint16_t>(r.size() - 2));
    r[2] = 1;
    r[3] = entries.empty() ? 0 : entries.front().first;
    return r;
}

uint16_t AllocationOf(const mmctest::SentCommand& c) { return GetBe16(c.cdb.data() + 7); }

}  // namespace

TEST(EngineCommands, RetriesUnitAttentionsAFewTimesOnly) {
    ScriptedDrive drive;
    int attentions = 1;
    drive.On(kOpTestUnitReady, [&](const ScsiRequest&) {
        return attentions-- > 0 ? ScsiResult::Check(0x06, 0x28, 0x00) : ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    EXPECT_TRUE(device.TestUnitReady());
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 2u);

    drive.Refuse(kOpTestUnitReady, 0x06, 0x29, 0x00);
    EXPECT_FALSE(device.TestUnitReady());
    EXPECT_EQ(drive.Count(kOpTestUnitReady), 2u + 4u);
    EXPECT_EQ(device.LastFailure().outcome, Outcome::CheckCondition);
}

TEST(EngineCommands, DescribesFailuresWithCommandAndSense) {
    ScriptedDrive drive;
    drive.Refuse(kOpReadTrackInformation, 0x05, 0x24, 0x00);
    MmcDevice device(drive.Open());
    TrackInformation t;
    EXPECT_FALSE(device.ReadTrackInformation(kTrackAddressNumber, 1, &t));
    const CommandFailure& f = device.LastFailure();
    EXPECT_EQ(f.text, "READ TRACK INFORMATION failed: sense 05/24/00 (invalid field in CDB)");
    EXPECT_EQ(f.cdb[0], kOpReadTrackInformation);
    EXPECT_EQ(f.cdbLength, 10);
    EXPECT_EQ(f.senseKey, 0x05);
    EXPECT_EQ(f.asc, 0x24);
    EXPECT_EQ(f.senseLength, 18);

    drive.On(kOpInquiry, [](const ScsiRequest&) { return ScsiResult::SystemFailure(31); });
    InquiryData id;
    EXPECT_FALSE(device.Identify(&id));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::SystemError);
    EXPECT_EQ(device.LastFailure().systemError, 31u);
    EXPECT_EQ(device.LastFailure().text, "INQUIRY failed: system error 31");
}

TEST(EngineCommands, NeverBelievesATransferLargerThanTheBuffer) {
    ScriptedDrive drive;
    drive.On(kOpInquiry, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(r.dataLength, 'A');
        reply[0] = 0x05;
        reply[4] = 0xFF;
        ScsiResult result = Deliver(r, reply);
        result.transferred = 1u << 30;
        return result;
    });
    MmcDevice device(drive.Open());
    InquiryData id;
    ASSERT_TRUE(device.Identify(&id));
    EXPECT_EQ(id.vendor, "AAAAAAAA");
}

TEST(EngineConfiguration, ReadsTheHeaderThenTheAnnouncedLengthUpToTheTransferLimit) {
    ScriptedDrive drive;
    drive.On(kOpGetConfiguration, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(100000 + 4, 0);
        PutBe32(reply.data(), 100000);
        reply[7] = 0x09;
        for (size_t at = 8; at + 4 <= reply.size(); at += 4) reply[at + 1] = 0x01;  // empty 0001h
        return Deliver(r, reply);
    });
    MmcDevice device(drive.Open(4096));
    Configuration c;
    ASSERT_TRUE(device.ReadConfiguration(&c));
    ASSERT_EQ(drive.Count(kOpGetConfiguration), 2u);
    EXPECT_EQ(AllocationOf(drive.Sent()[0]), 8);
    EXPECT_EQ(AllocationOf(drive.Sent()[1]), 4096);
    EXPECT_EQ(c.features.size(), (4096u - 8u) / 4u);

    // A header announcing nothing beyond itself needs no second read.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x0009));
    ASSERT_TRUE(device.ReadConfiguration(&c));
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 3u);
}

TEST(EngineDiscType, MapsProfilesAndFallsBackForDrivesWithoutThem) {
    ScriptedDrive drive;
    MmcDevice device(drive.Open());
    const std::pair<uint16_t, int32_t> map[] = {
        {0x0008, 1},  {0x0009, 2},  {0x000A, 3},  {0x0010, 4},  {0x0011, 5},  {0x0012, 6},
        {0x0013, 7},  {0x0014, 8},  {0x001A, 9},  {0x001B, 13}, {0x0000, 14}, {0x002B, 15},
        {0x0015, 16}, {0x0016, 16}, {0x0040, 17}, {0x0041, 18}, {0x0042, 18}, {0x0043, 19},
        {0x0050, 20}, {0x0051, 21}, {0x0058, 21}, {0x0053, 22}, {0x0052, 22}, {0x002A, 0},
        {0x0002, 0}};
    for (auto [profile, code] : map) {
        drive.Answer(kOpGetConfiguration, ConfigurationHeader(profile));
        EXPECT_EQ(device.InsertedDiscType(), code) << "profile " << profile;
    }

    // An MMC-1 writer: GET CONFIGURATION is an unknown command; the ATIP tells CD-R from CD-RW.
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpTestUnitReady, {});
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 1764, 706));
    drive.Answer(kOpReadToc, AtipReply(true));
    EXPECT_EQ(device.InsertedDiscType(), kDiscLegacyCdRw);
    drive.Answer(kOpReadToc, AtipReply(false));
    EXPECT_EQ(device.InsertedDiscType(), kDiscLegacyCdR);
    // A pressed disc has no ATIP but a table of contents.
    drive.On(kOpReadToc, [](const ScsiRequest& r) {
        if ((r.cdb[2] & 0x0F) == kTocFormatAtip) return ScsiResult::Check(0x05, 0x24, 0x00);
        return Deliver(r, TocReply({{1, 0}, {0xAA, 1000}}, 4));
    });
    EXPECT_EQ(device.InsertedDiscType(), kDiscLegacyCdRom);
    drive.Refuse(kOpTestUnitReady, 0x02, 0x3A, 0x00);
    EXPECT_EQ(device.InsertedDiscType(), kDiscNone);
}

TEST(EngineTableOfContents, RejectsTablesWithoutLeadOutOrGoingBackwards) {
    ScriptedDrive drive;
    drive.Answer(kOpReadDiscInformation, DiscInfo(2, 0x20));
    MmcDevice device(drive.Open());
    TableOfContents toc;

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {2, 5000}, {0xAA, 9000}}, 4));
    ASSERT_TRUE(device.ReadTableOfContents(true, &toc));
    ASSERT_EQ(toc.tracks.size(), 2u);
    EXPECT_EQ(toc.tracks[0].end, 5000);
    EXPECT_EQ(toc.tracks[1].end, 9000);
    EXPECT_EQ(toc.tracks[0].blockSize, 2336u);  // CD-ROM XA: Mode 2
    EXPECT_EQ(toc.leadOut, 9000);

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {0xAA, 9000}}, 0));
    ASSERT_TRUE(device.ReadTableOfContents(true, &toc));
    EXPECT_EQ(toc.tracks[0].blockSize, 2352u);
    EXPECT_FALSE(toc.tracks[0].isData);

    drive.Answer(kOpReadToc, TocReply({{1, 0}, {2, 5000}}, 4));
    EXPECT_FALSE(device.ReadTableOfContents(true, &toc));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::BadResponse);

    drive.Answer(kOpReadToc, TocReply({{1, 5000}, {2, 100}, {0xAA, 9000}}, 4));
    EXPECT_FALSE(device.ReadTableOfContents(true, &toc));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::BadResponse);
}

TEST(EngineSpeeds, KeepsTheUnchangedDirectionAtItsCurrentSpeed) {
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x0009));
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 4234, 1411));
    drive.Answer(kOpSetCdSpeed, {});
    MmcDevice device(drive.Open());

    ASSERT_TRUE(device.SetSpeeds(MmcDevice::kSpeedUnchanged, 2822));
    const auto& cd = drive.Sent().back();
    ASSERT_EQ(cd.cdb[0], kOpSetCdSpeed);
    EXPECT_EQ(GetBe16(cd.cdb.data() + 2), 4234);  // FFFFh here would mean "fastest"
    EXPECT_EQ(GetBe16(cd.cdb.data() + 4), 2822);

    ASSERT_TRUE(device.SetSpeeds(1764, MmcDevice::kSpeedUnchanged));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 2), 1764);
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 4), 1411);

    // DVD media take SET STREAMING with both performances in one descriptor.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x001B));
    drive.Answer(kOpReadCapacity, {0x00, 0x23, 0x05, 0x3F, 0, 0, 8, 0});
    drive.Answer(kOpSetStreaming, {});
    ASSERT_TRUE(device.SetSpeeds(MmcDevice::kSpeedUnchanged, 5540));
    const auto& streaming = drive.Sent().back();
    ASSERT_EQ(streaming.cdb[0], kOpSetStreaming);
    ASSERT_EQ(streaming.dataOut.size(), 28u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 8), 0x0023053Fu);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 12), 4234u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 20), 5540u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 24), 1000u);

    const size_t before = drive.Sent().size();
    EXPECT_TRUE(device.SetSpeeds(MmcDevice::kSpeedUnchanged, MmcDevice::kSpeedUnchanged));
    EXPECT_EQ(drive.Sent().size(), before);
}

TEST(EngineWriteModes, TriesWriteParametersOnDrivesWithoutFeaturesAndRestoresThem) {
    ScriptedDrive drive;
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    std::vector<uint8_t> page05(8 + 2 + 0x32, 0);
    page05[1] = static_cast<uint8_t>(page05.size() - 2);
    page05[8] = 0x85;  // PS set, as MODE SENSE reports it
    page05[9] = 0x32;
    page05[10] = 0x01;  // TAO
    page05[11] = 0x04;
    page05[12] = 0x08;
    drive.Answer(kOpModeSense10, page05);
    // This drive writes TAO, SAO and raw with 16-byte PQ, not raw P-W.
    drive.On(kOpModeSelect10, [](const ScsiRequest& r) {
        const uint8_t writeType = r.data[10] & 0x0F, blockType = r.data[12] & 0x0F;
        if ((r.data[8] & 0x80) != 0 || r.data[0] != 0 || r.data[1] != 0)
            return ScsiResult::Check(0x05, 0x26, 0x00);
        if (writeType == 3 && blockType != 1) return ScsiResult::Check(0x05, 0x26, 0x00);
        return ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    WriteModes w;
    ASSERT_TRUE(device.ProbeWriteModes(&w));
    EXPECT_TRUE(w.tao);
    EXPECT_TRUE(w.sao);
    EXPECT_TRUE(w.rawPQ);
    EXPECT_FALSE(w.rawPW);
    const auto& last = drive.Sent().back();
    ASSERT_EQ(last.cdb[0], kOpModeSelect10);
    EXPECT_EQ(last.dataOut[10] & 0x0F, 1);  // TAO again, as before the trials
    EXPECT_EQ(last.dataOut[12] & 0x0F, 8);
}

TEST(EngineCancel, FailsBeforeTheNextCommandAndIsSpentByTheCallThatSawIt) {
    ScriptedDrive drive;
    drive.Answer(kOpTestUnitReady, {});
    drive.On(kOpGetConfiguration, [](const ScsiRequest& r) {
        std::vector<uint8_t> reply(64, 0);
        reply[3] = 60;
        return Deliver(r, reply);
    });
    MmcDevice device(drive.Open());

    device.Cancel();
    EXPECT_FALSE(device.TestUnitReady());
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    EXPECT_EQ(drive.Sent().size(), 0u);
    // Still cancelled until the call that acted on it ends.
    EXPECT_FALSE(device.TestUnitReady());
    device.EndOperation();
    EXPECT_TRUE(device.TestUnitReady());

    // Cancelled while the drive answers the header: the second read is never sent.
    drive.beforeEach = [&] { device.Cancel(); };
    Configuration c;
    EXPECT_FALSE(device.ReadConfiguration(&c));
    EXPECT_EQ(device.LastFailure().outcome, Outcome::Cancelled);
    EXPECT_EQ(drive.Count(kOpGetConfiguration), 1u);
    device.EndOperation();

    // A cancel that no command has seen yet survives EndOperation.
    drive.beforeEach = nullptr;
    device.Cancel();
    device.EndOperation();
    EXPECT_FALSE(device.TestUnitReady());
}

TEST(EngineTracks, NamesTheNextTrackOnMediaWithoutAnInvisibleOne) {
    ScriptedDrive drive;
    std::vector<uint8_t> track(36, 0);
    track[1] = 34;
    track[2] = 2;
    track[7] = 0x01;
    PutBe32(track.data() + 8, 5000);
    PutBe32(track.data() + 12, 5000);
    PutBe32(track.data() + 16, 90000);
    drive.On(kOpReadTrackInformation, [&](const ScsiRequest& r) {
        // Track FFh is unknown to this drive; it names the open track by number.
        if (r.cdb[5] == 0xFF) return ScsiResult::Check(0x05, 0x24, 0x00);
        return Deliver(r, track);
    });
    drive.Answer(kOpReadDiscInformation, DiscInfo(1, 0));
    MmcDevice device(drive.Open());
    TrackInformation t;
    ASSERT_TRUE(device.ReadTrack(0xFF, &t));
    EXPECT_EQ(drive.Sent().back().cdb[5], 2);  // the last track in the last session
    EXPECT_EQ(t.start, 5000);
    EXPECT_TRUE(t.nwaValid);

    // A finalized disc: the answer is the empty, closed place after its last track.
    track[7] = 0;
    PutBe32(track.data() + 24, 7000);
    drive.Answer(kOpReadDiscInformation, DiscInfo(2, 0));
    ASSERT_TRUE(device.ReadTrack(0xFF, &t));
    EXPECT_EQ(t.trackNumber, 3);
    EXPECT_EQ(t.start, 12000);
    EXPECT_EQ(t.freeBlocks, 0);
    EXPECT_FALSE(t.nwaValid);

    // Other refusals stand.
    drive.Refuse(kOpReadTrackInformation, 0x02, 0x3A, 0x00);
    EXPECT_FALSE(device.ReadTrack(0xFF, &t));
    EXPECT_EQ(device.LastFailure().senseKey, 0x02);
}

TEST(EngineMediaSupport, DrivesWithoutProfilesAnswerFromTheCapabilitiesPage) {
    ScriptedDrive drive;
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 1764, 706));
    MmcDevice device(drive.Open());
    MediaSupport m;
    ASSERT_TRUE(device.ReadMediaSupport(&m));
    EXPECT_TRUE(m.cdRWrite);
    EXPECT_TRUE(m.cdRwWrite);
    EXPECT_FALSE(m.dvdRWrite);
    drive.Answer(kOpModeSense10, CapabilitiesReply(false, 1764, 0));
    ASSERT_TRUE(device.ReadMediaSupport(&m));
    EXPECT_FALSE(m.cdRWrite);
    EXPECT_TRUE(m.cdRRead);

    // Any other refusal of GET CONFIGURATION is a failure, not a cue to guess.
    drive.Refuse(kOpGetConfiguration, 0x02, 0x04, 0x01);
    EXPECT_FALSE(device.ReadMediaSupport(&m));
}
