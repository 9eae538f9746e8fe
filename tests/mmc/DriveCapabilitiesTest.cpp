// What the drive can do: media it writes, CD write methods, speeds.
#include <gtest/gtest.h>

#include "burnlib/mmc/MediaSupport.h"
#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/SpeedControl.h"
#include "burnlib/mmc/WriteModes.h"
#include "tests/mmc/Replies.h"
#include "tests/mmc/ScriptedDrive.h"

using namespace burnlib;
using namespace burnlib::mmc;
using namespace mmctest;

namespace {

// MODE SENSE(10) reply holding page 05h as a drive reports it (PS set), write type TAO.
std::vector<uint8_t> WriteParametersReply() {
    std::vector<uint8_t> page05(8 + 2 + 0x32, 0);
    page05[1] = static_cast<uint8_t>(page05.size() - 2);
    page05[8] = 0x85;
    page05[9] = 0x32;
    page05[10] = 0x01;
    page05[11] = 0x04;
    page05[12] = 0x08;
    page05[8 + 14] = 0x00;
    page05[8 + 15] = 150;  // audio pause length
    return page05;
}

// What MODE SELECT must carry to put that page back: header length and PS cleared.
std::vector<uint8_t> RestoredList() {
    std::vector<uint8_t> list = WriteParametersReply();
    list[1] = 0;
    list[8] = 0x05;
    return list;
}

// GET PERFORMANCE of a drive: nominal read and write speeds (type 00h), write speed descriptors
// (type 03h); zero speeds leave that answer empty.
ScriptedDrive::Handler Performance(uint32_t nominalRead, uint32_t nominalWrite,
                                   std::vector<std::pair<uint32_t, uint32_t>> readWrite) {
    return [=](const ScsiRequest& r) {
        if (r.cdb[10] == 0x03) {
            std::vector<std::vector<uint32_t>> d;
            for (auto [read, write] : readWrite) d.push_back({0, 2295103, read, write});
            return Deliver(r, PerformanceReply(d));
        }
        const uint32_t speed = (r.cdb[1] & 0x04) != 0 ? nominalWrite : nominalRead;
        if (speed == 0) return Deliver(r, PerformanceReply({}));
        return Deliver(r, PerformanceReply({{0, speed, 2295103, speed}}));
    };
}

}  // namespace

TEST(EngineMediaSupport, WriteFeaturesCountOnlyForTheMediaTheirFieldsName) {
    const std::vector<uint16_t> profiles = {kProfileDvdRom, kProfileDvdR, kProfileDvdRwRestricted,
                                            kProfileDvdRwSequential, kProfileDvdRDl,
                                            kProfileBdRom, kProfileBdRSrm, kProfileBdRe};
    // 002Fh byte 4: bit 1 DVD-RW, bit 3 DVD-R DL. 0041h: class 0 bitmaps for BD-RE at bytes
    // 8-9, for BD-R at bytes 16-17 of the descriptor.
    auto media = [&](uint8_t dvdBits, uint16_t bdReClass0, uint16_t bdRClass0) {
        std::vector<uint8_t> bd(24, 0);
        PutBe16(bd.data() + 4, bdReClass0);
        PutBe16(bd.data() + 12, bdRClass0);
        ScriptedDrive drive;
        drive.Answer(kOpGetConfiguration,
                     ConfigurationReply(0, profiles, {{0x002F, {dvdBits, 0, 0, 0}}, {0x0041, bd}}));
        MmcDevice device(drive.Open());
        MediaSupport m;
        EXPECT_TRUE(ReadMediaSupport(device, &m));
        return m;
    };
    // A DVD-R-only writer that writes BD-R but not BD-RE.
    MediaSupport m = media(0x00, 0, 0x0002);
    EXPECT_TRUE(m.dvdRWrite);
    EXPECT_FALSE(m.dvdRwWrite);
    EXPECT_FALSE(m.dvdRDlWrite);
    EXPECT_TRUE(m.dvdRwRead);
    EXPECT_TRUE(m.dvdRDlRead);
    EXPECT_TRUE(m.bdRWrite);
    EXPECT_FALSE(m.bdReWrite);
    EXPECT_TRUE(m.bdReRead);

    m = media(0x0A, 0x0002, 0);
    EXPECT_TRUE(m.dvdRWrite);
    EXPECT_TRUE(m.dvdRwWrite);
    EXPECT_TRUE(m.dvdRDlWrite);
    EXPECT_FALSE(m.bdRWrite);
    EXPECT_TRUE(m.bdReWrite);
}

TEST(EngineMediaSupport, DrivesWithoutProfilesAnswerFromTheCapabilitiesPage) {
    ScriptedDrive drive;
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 1764, 706));
    MmcDevice device(drive.Open());
    MediaSupport m;
    ASSERT_TRUE(ReadMediaSupport(device, &m));
    EXPECT_TRUE(m.cdRWrite);
    EXPECT_TRUE(m.cdRwWrite);
    EXPECT_FALSE(m.dvdRWrite);
    ScriptedDrive reader;
    reader.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    reader.Answer(kOpModeSense10, CapabilitiesReply(false, 1764, 0));
    MmcDevice readerDevice(reader.Open());
    ASSERT_TRUE(ReadMediaSupport(readerDevice, &m));
    EXPECT_FALSE(m.cdRWrite);
    EXPECT_TRUE(m.cdRRead);

    // Any other refusal of GET CONFIGURATION is a failure, not a cue to guess.
    ScriptedDrive unready;
    unready.Refuse(kOpGetConfiguration, 0x02, 0x04, 0x01);
    MmcDevice unreadyDevice(unready.Open());
    EXPECT_FALSE(ReadMediaSupport(unreadyDevice, &m));
}

TEST(EngineWriteModes, AnswersFromTheCdWriteFeaturesWhateverIsInTheTray) {
    // Track-at-Once; Mastering with SAO (bit 5), raw (bit 3), raw multisession (bit 4), R-W
    // (bit 0).
    for (const uint16_t current : {kProfileCdR, kProfileNone, kProfileDvdPlusR}) {
        ScriptedDrive drive;
        drive.Answer(kOpGetConfiguration,
                     ConfigurationReply(current, {kProfileCdR, kProfileCdRw, kProfileDvdPlusR},
                                   {{0x002D, {0x40, 0, 0x00, 0x0F}}, {0x002E, {0x79, 0, 0, 0}}}));
        // With a DVD or no disc the drive refuses every CD write type.
        drive.Refuse(kOpModeSelect10, 0x05, 0x64, 0x00);
        drive.Answer(kOpModeSense10, WriteParametersReply());
        MmcDevice device(drive.Open());
        WriteModes w;
        ASSERT_TRUE(ProbeWriteModes(device, &w));
        EXPECT_TRUE(w.tao);
        EXPECT_TRUE(w.sao);
        EXPECT_TRUE(w.rawPQ);
        EXPECT_TRUE(w.rawPW);
        EXPECT_TRUE(w.rawMultiSession);
        EXPECT_EQ(drive.Count(kOpModeSelect10), 0u);
        EXPECT_EQ(drive.Count(kOpModeSense10), 0u);
    }
    // Raw without R-W recording: the 16-byte P-Q form only. No Mastering: TAO alone.
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationReply(kProfileCdR, {kProfileCdR},
                                                    {{0x002D, {0, 0, 0, 0}},
                                                     {0x002E, {0x28, 0, 0, 0}}}));
    MmcDevice device(drive.Open());
    WriteModes w;
    ASSERT_TRUE(ProbeWriteModes(device, &w));
    EXPECT_TRUE(w.rawPQ);
    EXPECT_FALSE(w.rawPW);
    ScriptedDrive taoOnly;
    taoOnly.Answer(kOpGetConfiguration,
                   ConfigurationReply(kProfileCdR, {kProfileCdR}, {{0x002D, {0, 0, 0, 0}}}));
    MmcDevice taoDevice(taoOnly.Open());
    ASSERT_TRUE(ProbeWriteModes(taoDevice, &w));
    EXPECT_TRUE(w.tao);
    EXPECT_FALSE(w.sao || w.rawPQ || w.rawPW);
}

TEST(EngineWriteModes, TriesWriteParametersOnDrivesWithoutFeaturesAndRestoresThem) {
    ScriptedDrive drive;
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpModeSense10, WriteParametersReply());
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
    ASSERT_TRUE(ProbeWriteModes(device, &w));
    EXPECT_TRUE(w.tao);
    EXPECT_TRUE(w.sao);
    EXPECT_TRUE(w.rawPQ);
    EXPECT_FALSE(w.rawPW);
    const auto& last = drive.Sent().back();
    ASSERT_EQ(last.cdb[0], kOpModeSelect10);
    EXPECT_EQ(last.dataOut, RestoredList());  // the page as it was before the trials
}

TEST(EngineWriteModes, ATrialThatFailsOrIsCancelledStillRestoresThePage) {
    ScriptedDrive drive;
    drive.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    drive.Answer(kOpModeSense10, WriteParametersReply());
    int selects = 0;
    // TAO accepted; the second trial never reaches the drive; the restore does.
    drive.On(kOpModeSelect10, [&](const ScsiRequest&) {
        return ++selects == 2 ? ScsiResult::SystemFailure(1117) : ScsiResult::Ok(0);
    });
    MmcDevice device(drive.Open());
    WriteModes w;
    device.BeginOperation();
    EXPECT_FALSE(ProbeWriteModes(device, &w));
    device.EndOperation();
    EXPECT_EQ(device.LastFailure().outcome, Outcome::SystemError);
    EXPECT_EQ(device.LastFailure().systemError, 1117u);
    ASSERT_EQ(drive.Count(kOpModeSelect10), 3u);
    EXPECT_EQ(drive.Sent().back().dataOut, RestoredList());

    // Cancelled while the drive accepts the first trial.
    ScriptedDrive cancelled;
    cancelled.Refuse(kOpGetConfiguration, 0x05, 0x20, 0x00);
    cancelled.Answer(kOpModeSense10, WriteParametersReply());
    cancelled.Answer(kOpModeSelect10, {});
    MmcDevice device2(cancelled.Open());
    cancelled.beforeEach = [&] {
        if (cancelled.Sent().size() == 2) device2.Cancel();  // GET CONFIGURATION, MODE SENSE done
    };
    device2.BeginOperation();
    EXPECT_FALSE(ProbeWriteModes(device2, &w));
    EXPECT_EQ(device2.LastFailure().outcome, Outcome::Cancelled);
    device2.EndOperation();
    ASSERT_EQ(cancelled.Count(kOpModeSelect10), 2u);
    EXPECT_EQ(cancelled.Sent().back().dataOut, RestoredList());
}

TEST(EngineSpeeds, KeepsTheUnchangedDirectionAtItsCurrentSpeed) {
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x0009));
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 4234, 1411));
    drive.Answer(kOpSetCdSpeed, {});
    MmcDevice device(drive.Open());

    ASSERT_TRUE(SetSpeeds(device, kSpeedUnchanged, 2822));
    const auto& cd = drive.Sent().back();
    ASSERT_EQ(cd.cdb[0], kOpSetCdSpeed);
    EXPECT_EQ(GetBe16(cd.cdb.data() + 2), 4234);  // FFFFh here would mean "fastest"
    EXPECT_EQ(GetBe16(cd.cdb.data() + 4), 2822);

    ASSERT_TRUE(SetSpeeds(device, 1764, kSpeedUnchanged));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 2), 1764);
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 4), 1411);

    // DVD media take SET STREAMING with both performances in one descriptor.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(0x001B));
    drive.Answer(kOpReadCapacity, {0x00, 0x23, 0x05, 0x3F, 0, 0, 8, 0});
    drive.Answer(kOpSetStreaming, {});
    ASSERT_TRUE(SetSpeeds(device, kSpeedUnchanged, 5540));
    const auto& streaming = drive.Sent().back();
    ASSERT_EQ(streaming.cdb[0], kOpSetStreaming);
    ASSERT_EQ(streaming.dataOut.size(), 28u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 8), 0x0023053Fu);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 12), 4234u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 20), 5540u);
    EXPECT_EQ(GetBe32(streaming.dataOut.data() + 24), 1000u);

    const size_t before = drive.Sent().size();
    EXPECT_TRUE(SetSpeeds(device, kSpeedUnchanged, kSpeedUnchanged));
    EXPECT_EQ(drive.Sent().size(), before);
}

TEST(EngineSpeeds, TheCurrentSpeedsComeFromTheFieldsCurrentDrivesFill) {
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileCdR));
    // The obsolete bytes 14-15 and 20-21 say 0; "write speed selected" and GET PERFORMANCE do.
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 0, 2822, 0));
    drive.On(kOpGetPerformance, Performance(4234, 0, {}));
    drive.Answer(kOpSetCdSpeed, {});
    MmcDevice device(drive.Open());
    ASSERT_TRUE(SetSpeeds(device, kSpeedUnchanged, 1411));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 2), 4234);
    ASSERT_TRUE(SetSpeeds(device, 1764, kSpeedUnchanged));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 4), 2822);
    Speeds s;
    ASSERT_TRUE(ReadSpeeds(device, &s));
    EXPECT_EQ(s.currentRead, 4234u);
    EXPECT_EQ(s.currentWrite, 2822u);

    // No "write speed selected": GET PERFORMANCE for writing, before the obsolete field.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileDvdPlusR));
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 0, 0, 0));
    drive.On(kOpGetPerformance, Performance(11080, 5540, {{16620, 11080}}));
    drive.Answer(kOpReadCapacity, {0x00, 0x23, 0x05, 0x3F, 0, 0, 8, 0});
    drive.Answer(kOpSetStreaming, {});
    ASSERT_TRUE(SetSpeeds(device, 2770, kSpeedUnchanged));
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 12), 2770u);
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 20), 5540u);

    // A drive that fills only the obsolete fields still keeps its speeds.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileCdR));
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 1764, 0, 706));
    drive.Refuse(kOpGetPerformance, 0x05, 0x20, 0x00);
    ASSERT_TRUE(SetSpeeds(device, kSpeedUnchanged, 2822));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 2), 1764);
    ASSERT_TRUE(SetSpeeds(device, 4234, kSpeedUnchanged));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 4), 706);
}

TEST(EngineSpeeds, ZeroMeansTheFastestOnEveryMedium) {
    ScriptedDrive drive;
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileCdR));
    drive.Answer(kOpModeSense10, CapabilitiesReply(true, 4234, 1411));
    drive.Answer(kOpSetCdSpeed, {});
    MmcDevice device(drive.Open());
    ASSERT_TRUE(SetSpeeds(device, kSpeedMaximum, kSpeedMaximum));
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 2), 0xFFFF);
    EXPECT_EQ(GetBe16(drive.Sent().back().cdb.data() + 4), 0xFFFF);

    // DVD: the fastest speeds the drive lists for the disc, never 0 kB/s.
    drive.Answer(kOpGetConfiguration, ConfigurationHeader(kProfileDvdPlusR));
    drive.On(kOpGetPerformance, Performance(5540, 5540, {{16620, 5540}, {16620, 11080}}));
    drive.Answer(kOpReadCapacity, {0x00, 0x23, 0x05, 0x3F, 0, 0, 8, 0});
    drive.Answer(kOpSetStreaming, {});
    ASSERT_TRUE(SetSpeeds(device, kSpeedMaximum, kSpeedMaximum));
    ASSERT_EQ(drive.Sent().back().cdb[0], kOpSetStreaming);
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 12), 16620u);
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 20), 11080u);
    ASSERT_TRUE(SetSpeeds(device, kSpeedUnchanged, kSpeedMaximum));
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 12), 5540u);
    EXPECT_EQ(GetBe32(drive.Sent().back().dataOut.data() + 20), 11080u);
}
