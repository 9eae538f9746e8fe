#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string_view>

#include "tests/rawdecoder/RawDecoder.h"
#include "tests/rawdecoder/TestBlocks.h"

using namespace rawdecoder;
using testblocks::Disc;
using testblocks::Parts;

namespace {

class RawWrite : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("qf-rawdecoder-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        m_disc.image.resize(40 * kUserSize);
        for (size_t i = 0; i < m_disc.image.size(); ++i)
            m_disc.image[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    Check Run(const testblocks::Tamper& tamper = {}, const testblocks::Damage& damage = {}) {
        testblocks::WriteDisc(m_folder, 'E', m_disc, tamper, damage);
        m_user.clear();
        m_lbas.clear();
        return CheckSavedRawWrite(
            m_folder, 'E',
            [this](int32_t lba, std::span<const uint8_t, kUserSize> user) {
                m_lbas.push_back(lba);
                m_user.insert(m_user.end(), user.begin(), user.end());
            },
            m_options);
    }

    void ExpectFault(const testblocks::Tamper& tamper, std::string_view reason) {
        Check c = Run(tamper);
        EXPECT_FALSE(c);
        EXPECT_NE(c.reason.find(reason), std::string::npos) << c.reason;
    }

    std::filesystem::path m_folder;
    Disc m_disc;
    RawWriteOptions m_options{.minLeadOutBlocks = 20};
    std::vector<uint8_t> m_user;
    std::vector<int32_t> m_lbas;
};

}  // namespace

TEST_F(RawWrite, SoundWriteGivesBackTheImageInBothBlockSizes) {
    for (size_t blockSize : {kPwBlockSize, kPqBlockSize}) {
        m_disc.blockSize = blockSize;
        Check c = Run();
        ASSERT_TRUE(c) << blockSize << ": " << c.reason;
        EXPECT_EQ(m_user, m_disc.image) << blockSize;
        ASSERT_EQ(m_lbas.size(), 40u);
        for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(m_lbas[i], i);
    }
}

TEST_F(RawWrite, EitherConventionWhereSourcesDiffer) {
    m_disc.leadInFromZero = true;
    m_disc.pregapEndsAtLastBlock = true;
    m_disc.blockSize = kPqBlockSize;
    m_disc.crcInverted = false;
    Check c = Run();
    ASSERT_TRUE(c) << c.reason;
    EXPECT_EQ(m_user, m_disc.image);

    // A real lead-in start: the first block's times are 97:26:65 or 00:00:00.
    m_disc.first = -11635;
    m_disc.leadInFromZero = false;
    RawWriteChecker checker(m_disc.first, m_disc.blockSize);
    for (int32_t lba = m_disc.first; lba < m_disc.first + 12; ++lba) {
        Parts parts = testblocks::DiscParts(m_disc, lba);
        if (lba == m_disc.first) {
            EXPECT_EQ(parts.header, (Msf{97, 26, 65}));
        }
        Check fed = checker.Feed(testblocks::Assemble(m_disc, parts));
        ASSERT_TRUE(fed) << fed.reason;
    }
    EXPECT_EQ(checker.NextLba(), -11623);
}

TEST_F(RawWrite, MixedConventionsAreRefused) {
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -155) p.header = MsfOfFrames(lba + 162); },
                "LBA -155: header address is 00:00:07, expected 99:59:70");
    m_disc.pregapEndsAtLastBlock = true;
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -20) p.q[5] = 0x20; },
                "LBA -20: Q relative time is 00:00:20, expected 00:00:19");
    m_disc.blockSize = kPqBlockSize;
    Check c = Run({}, [](int32_t lba, std::vector<uint8_t>& raw) {
        if (lba == 7) {
            raw[kSectorSize + 10] ^= 0xFF;
            raw[kSectorSize + 11] ^= 0xFF;
        }
    });
    EXPECT_NE(c.reason.find("LBA 7: Q CRC inversion differs"), std::string::npos) << c.reason;
}

TEST_F(RawWrite, PositionsFollowTheAddress) {
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 3) p.header = MsfOfLba(4); },
                "LBA 3: header address is 00:02:04, expected 00:02:03");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 12) p.q[9] = 0x13; },
                "LBA 12: Q absolute time is 00:02:13, expected 00:02:12");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 12) p.q[5] = 0x11; },
                "LBA 12: Q relative time is 00:00:11, expected 00:00:12");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -100) p.header = MsfOfLba(-99); },
                "LBA -100: header address is 00:00:51, expected 00:00:50");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -100) p.q[4] = 0x00; },
                "LBA -100: Q relative time is 00:00:25, expected 00:01:25");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 45) p.q[5] = 0x04; },
                "LBA 45: Q relative time is 00:00:04, expected 00:00:05");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -160) p.q[5] = 0x00; },
                "LBA -160: Q running time is 99:59:00, expected 99:59:65");
}

TEST_F(RawWrite, TrackLayoutAndFlags) {
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -1) p.q[2] = 0x01; }, "LBA -1: Q INDEX is 01, expected 00");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 0) p.q[2] = 0x00; }, "LBA 0: Q INDEX is 00, expected 01");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 40) p.q[1] = 0x01; }, "LBA 40: Q TNO is 01, expected AA");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 39) p.q[1] = 0xAA; },
                "LBA 39: Q TNO is AA, expected 01 (TOC item A2 puts the lead-out at LBA 40)");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -150) p.p = false; }, "LBA -150: P flag clear in the pregap");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -162) p.p = true; }, "LBA -162: P flag set in the lead-in");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 0) p.q[0] = 0x61; }, "LBA 0: Q control 6 differs");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 44) p.user[100] = 1; },
                "LBA 44: user data of a lead-out block is not zero (byte 100)");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -5) p.mode = 2; }, "LBA -5: mode byte is 02");

    // Two seconds before the lead-out P may rise; earlier it may not.
    m_disc.image.resize(200 * kUserSize, 0x5A);
    EXPECT_TRUE(Run([](int32_t lba, Parts& p) { if (lba >= 50) p.p = true; }));
    ExpectFault([](int32_t lba, Parts& p) { if (lba == 49) p.p = true; }, "LBA 49: P flag set inside the track");
}

TEST_F(RawWrite, LeadInCarriesTheToc) {
    // Items cycle 01 A0 A1 A2, three blocks each, from LBA -162.
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -153) p.q[8] = 0x00; },
                "LBA -153: TOC item A2 puts the lead-out at 00:00:40, before any data");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -159) p.q[7] = 0x02; },
                "LBA -159: TOC item A0 PMIN/PSEC/PFRAME is 02:00:00, expected 01:00:00");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -162) p.q[9] = 0x01; },
                "LBA -162: TOC item 01 start is 00:02:01, expected 00:02:00");
    ExpectFault([](int32_t lba, Parts& p) {
                    if (lba < -150 && p.q[2] == 0xA1) {
                        p.q[2] = 0x01;
                        p.q[7] = 0x00;
                        p.q[8] = 0x02;
                    }
                },
                "LBA -150: the lead-in never carried TOC item A1");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -160) p.q = {0x41, 0x00, 0xA0, 0x99, 0x59, 0x65, 0, 1, 0, 0}; },
                "LBA -160: TOC item 01 given 2 times in a row, expected 3");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -159) p.q = {0x41, 0x00, 0x01, 0x99, 0x59, 0x66, 0, 0, 2, 0}; },
                "LBA -159: TOC item 01 repeated more than 3 times in a row");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -159) p.q[2] = 0x02; },
                "LBA -159: lead-in carries POINT 02");
    ExpectFault([](int32_t lba, Parts& p) { if (lba == -161) p.q[1] = 0x01; }, "LBA -161: Q TNO is 01 in the lead-in");

    // A2 one block late: the lead-out starts where the track should go on.
    ExpectFault([](int32_t lba, Parts& p) { if (lba < -150 && p.q[2] == 0xA2) p.q[9] = 0x41; },
                "LBA 40: Q TNO is AA, expected 01 (TOC item A2 puts the lead-out at LBA 41)");
}

TEST_F(RawWrite, DamagedBlocksAndFiles) {
    Check c = Run({}, [](int32_t lba, std::vector<uint8_t>& raw) { if (lba == 5) raw[900] ^= 0x10; });
    EXPECT_NE(c.reason.find("LBA 5: EDC mismatch"), std::string::npos) << c.reason;
    c = Run({}, [](int32_t lba, std::vector<uint8_t>& raw) { if (lba == 41) raw[kSectorSize + 8 * 11 + 2] ^= 0x40; });
    EXPECT_NE(c.reason.find("LBA 41: Q CRC mismatch"), std::string::npos) << c.reason;
    c = Run({}, [](int32_t lba, std::vector<uint8_t>& raw) {
        if (lba == -30) {
            const auto& sequence = ScrambleSequence();
            for (size_t i = 12; i < kSectorSize; ++i) raw[i] ^= sequence[i - 12];
        }
    });
    EXPECT_NE(c.reason.find("LBA -30: sector not scrambled"), std::string::npos) << c.reason;

    ASSERT_TRUE(Run());
    std::filesystem::resize_file(m_folder / "E.raw", std::filesystem::file_size(m_folder / "E.raw") - 1);
    c = CheckSavedRawWrite(m_folder, 'E', {}, m_options);
    EXPECT_NE(c.reason.find("blocks of 2448"), std::string::npos) << c.reason;

    m_options.minLeadOutBlocks = RawWriteOptions{}.minLeadOutBlocks;
    c = Run();
    EXPECT_NE(c.reason.find("the lead-out has 20 blocks, at least 6750 expected"), std::string::npos) << c.reason;

    m_disc.first = -150;
    c = Run();
    EXPECT_NE(c.reason.find("the write starts after the lead-in"), std::string::npos) << c.reason;
}

TEST_F(RawWrite, TrackAgainstTheImageFile) {
    const std::filesystem::path image = m_folder / "image.iso";
    auto writeImage = [&](size_t size, size_t flip) {
        std::vector<uint8_t> bytes(m_disc.image.begin(), m_disc.image.begin() + std::min(size, m_disc.image.size()));
        bytes.resize(size, 0);
        if (flip < size) bytes[flip] ^= 0x01;
        std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    };
    // Blocks 0..36 hold the image, whose end pads block 36 with 100 zero bytes; blocks 37..39 are
    // zero blocks a writer may add.
    const size_t imageSize = 37 * kUserSize - 100;
    std::fill(m_disc.image.begin() + imageSize, m_disc.image.end(), 0);
    m_disc.image[imageSize - 1] = 0xAB;
    testblocks::WriteDisc(m_folder, 'E', m_disc);
    const size_t none = SIZE_MAX;

    writeImage(imageSize, none);
    Check c = CheckSavedRawWriteHoldsImage(m_folder, 'E', image, m_options);
    EXPECT_TRUE(c) << c.reason;

    writeImage(imageSize, 7 * kUserSize + 5);
    c = CheckSavedRawWriteHoldsImage(m_folder, 'E', image, m_options);
    EXPECT_NE(c.reason.find("LBA 7 byte 5 differs from the image"), std::string::npos) << c.reason;
    writeImage(imageSize - 1, none);  // the track has a byte the image lacks
    c = CheckSavedRawWriteHoldsImage(m_folder, 'E', image, m_options);
    EXPECT_NE(c.reason.find("LBA 36 byte 1947 differs"), std::string::npos) << c.reason;
    writeImage(m_disc.image.size() + 1, none);
    c = CheckSavedRawWriteHoldsImage(m_folder, 'E', image, m_options);
    EXPECT_NE(c.reason.find("the track holds 81920 bytes of the image, not 81921"), std::string::npos) << c.reason;
}

TEST_F(RawWrite, EndsTooEarlyAndStaysFailed) {
    RawWriteChecker checker(m_disc.first, m_disc.blockSize, m_options);
    for (int32_t lba = m_disc.first; lba < 10; ++lba)
        ASSERT_TRUE(checker.Feed(testblocks::Assemble(m_disc, testblocks::DiscParts(m_disc, lba))));
    Check end = checker.Finish();
    EXPECT_NE(end.reason.find("the write ends before the lead-out"), std::string::npos) << end.reason;

    RawWriteChecker broken(m_disc.first, m_disc.blockSize, m_options);
    std::vector<uint8_t> block = testblocks::Assemble(m_disc, testblocks::DiscParts(m_disc, m_disc.first));
    block[0] = 1;
    Check first = broken.Feed(block);
    EXPECT_FALSE(first);
    Check next = broken.Feed(testblocks::Assemble(m_disc, testblocks::DiscParts(m_disc, m_disc.first + 1)));
    EXPECT_EQ(next.reason, first.reason);
    EXPECT_EQ(broken.Finish().reason, first.reason);
}

TEST(RawWriteInfoText, ParsesAndRefuses) {
    RawWriteInfo info;
    Check c = ParseRawWriteInfo("first -11635\ncount 12345\nblocksize 2448\n", &info);
    ASSERT_TRUE(c) << c.reason;
    EXPECT_EQ(info.first, -11635);
    EXPECT_EQ(info.count, 12345u);
    EXPECT_EQ(info.blockSize, 2448u);

    ASSERT_TRUE(ParseRawWriteInfo("# saved raw write\r\n\r\nblocksize\t2368\r\n  count 7\r\nfirst  -150", &info));
    EXPECT_EQ(info.first, -150);
    EXPECT_EQ(info.count, 7u);
    EXPECT_EQ(info.blockSize, 2368u);

    const std::pair<const char*, const char*> refused[] = {
        {"first -1\ncount 2\n", "'blocksize' is missing"},
        {"first -1\ncount 2\nblocksize 2448\ncount 3\n", "line 4: 'count' given twice"},
        {"first -1\ncount 2x\nblocksize 2448\n", "line 2: 'count' needs a whole number, not '2x'"},
        {"first\ncount 2\nblocksize 2448\n", "line 1: 'first' needs a whole number"},
        {"first -1\ncount 0\nblocksize 2448\n", "'count' is out of range: 0"},
        {"first -3000000000\ncount 1\nblocksize 2448\n", "'first' is out of range"},
        {"first -1\ncount 2\nblocksize 2448\nmode raw96\n", "line 4: unknown key 'mode'"},
    };
    for (const auto& [text, reason] : refused) {
        Check r = ParseRawWriteInfo(text, &info);
        EXPECT_FALSE(r) << text;
        EXPECT_NE(r.reason.find(reason), std::string::npos) << r.reason;
    }
}
