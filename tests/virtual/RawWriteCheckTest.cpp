#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/virtual/RawWriteCheck.h"
#include "tests/support/Sha1.h"

using burnlib::CueLayout;
using burnlib::ParseCueSheet;
using burnlib::RawDiscChecker;
using burnlib::RawVerdict;
namespace cd = burnlib::cd;

namespace {

constexpr size_t kUser = 2048;
constexpr size_t kSector = 2352;

// A binary time into Q bytes at..at+2, in BCD.
void PutTime(cd::QFrame& q, size_t at, cd::Msf time) {
    const cd::Msf bcd = cd::ToBcd(time);
    q[at] = bcd.minute;
    q[at + 1] = bcd.second;
    q[at + 2] = bcd.frame;
}
// Another TOC item in a lead-in frame: POINT and its PMIN/PSEC/PFRAME.
void PutItem(cd::QFrame& q, uint8_t point, cd::Msf value) {
    q[2] = point;
    PutTime(q, 7, value);
}

// A disc the engine's encoder builds: three cycles of the lead-in's TOC, the pregap, a track of
// 300 blocks and a short lead-out. Block 0 holds zeros (the published sector).
class RawDiscCheck : public ::testing::Test {
protected:
    using Change = std::function<void(int32_t lba, std::vector<uint8_t>& block)>;
    struct Outcome {
        int32_t lba = 0;  // of the refused block, or the end of the disc
        RawVerdict verdict;
    };

    void SetUp() override {
        m_layout.leadInStart = -186;
        m_layout.trackBlocks = 300;
        m_layout.leadOutBlocks = 30;
        m_image.resize(m_layout.trackBlocks * kUser);
        for (size_t i = kUser; i < m_image.size(); ++i) m_image[i] = static_cast<uint8_t>((i * 2654435761u) >> 11);
    }

    uint8_t DataBlockType() const { return m_layout.subchannel == cd::Subchannel::Pq16 ? 1 : 3; }
    size_t BlockSize() const { return cd::RawBlockSize(m_layout.subchannel); }

    std::vector<uint8_t> Block(int32_t lba) const {
        std::vector<uint8_t> block(BlockSize());
        const uint8_t* user = lba >= 0 && lba < m_layout.trackBlocks ? &m_image[lba * kUser] : nullptr;
        EXPECT_TRUE(cd::GenerateRawBlocks(m_layout, lba, 1, user, block.data()));
        return block;
    }

    // Feeds the disc in order, each block passed through `change`, up to the first refusal.
    Outcome Run(const Change& change = {}, RawDiscChecker* checker = nullptr) {
        RawDiscChecker own(m_layout.leadInStart, DataBlockType());
        if (!checker) checker = &own;
        m_user.clear();
        m_userLbas.clear();
        std::array<uint8_t, kUser> user{};
        for (int32_t lba = m_layout.leadInStart; lba < cd::DiscEnd(m_layout); ++lba) {
            std::vector<uint8_t> block = Block(lba);
            if (change) change(lba, block);
            bool isUser = true;
            RawVerdict v = checker->Check(lba, block.data(), user.data(), &isUser);
            if (!v.Ok()) return {lba, v};
            if (isUser) {
                m_userLbas.push_back(lba);
                m_user.insert(m_user.end(), user.begin(), user.end());
            }
        }
        return {cd::DiscEnd(m_layout), {}};
    }

    void ExpectRefused(const Change& change, int32_t lba, const std::string& reason, uint8_t asc = 0x26) {
        Outcome o = Run(change);
        EXPECT_EQ(o.lba, lba) << o.verdict.reason;
        EXPECT_EQ(o.verdict.key, 0x05);
        EXPECT_EQ(o.verdict.asc, asc);
        EXPECT_EQ(o.verdict.ascq, 0x00);
        EXPECT_NE(o.verdict.reason.find(reason), std::string::npos) << o.verdict.reason;
    }

    // Puts Q (resealed after `edit`) and P into the block's sub-channel, in the layout's form.
    void PutQ(std::vector<uint8_t>& block, cd::QFrame q, bool p) const {
        cd::SealQ(q);
        if (m_layout.subchannel == cd::Subchannel::Pq16)
            cd::PackPq16(q, p, block.data() + kSector);
        else
            cd::PackPw96(q, p, block.data() + kSector);
    }
    Change EditQ(int32_t at, std::function<void(cd::QFrame&)> edit) const {
        return [this, at, edit](int32_t lba, std::vector<uint8_t>& block) {
            if (lba != at) return;
            cd::QFrame q = cd::BlockQ(m_layout, lba);
            edit(q);
            PutQ(block, q, cd::BlockP(m_layout, lba));
        };
    }
    Change SetP(int32_t at, bool p) const {
        return [this, at, p](int32_t lba, std::vector<uint8_t>& block) {
            if (lba == at) PutQ(block, cd::BlockQ(m_layout, lba), p);
        };
    }
    // A sound sector, but with another block's header address or other user data.
    static Change Sector(int32_t at, int32_t headerLba, const uint8_t* user = nullptr) {
        return [at, headerLba, user](int32_t lba, std::vector<uint8_t>& block) {
            if (lba == at) cd::EncodeMode1Sector(headerLba, user, block.data());
        };
    }

    cd::RawDiscLayout m_layout;
    std::vector<uint8_t> m_image;
    std::vector<uint8_t> m_user;
    std::vector<int32_t> m_userLbas;
};

}  // namespace

TEST_F(RawDiscCheck, SoundDiscInBothFormsGivesBackTheTrack) {
    for (auto form : {cd::Subchannel::Pq16, cd::Subchannel::Pw96}) {
        m_layout.subchannel = form;
        RawDiscChecker checker(m_layout.leadInStart, DataBlockType());
        EXPECT_EQ(checker.BlockSize(), BlockSize());
        Outcome o = Run({}, &checker);
        ASSERT_TRUE(o.verdict.Ok()) << o.verdict.reason;
        EXPECT_EQ(m_user, m_image);
        ASSERT_EQ(m_userLbas.size(), 300u);
        EXPECT_EQ(m_userLbas.front(), 0);
        EXPECT_EQ(m_userLbas.back(), 299);
        EXPECT_TRUE(checker.LayoutKnown());
        EXPECT_EQ(checker.LeadOutStart(), 300);
        EXPECT_EQ(checker.TrackControl(), 4);
        EXPECT_EQ(checker.LeadOutBlocksWritten(), 30);
        EXPECT_FALSE(checker.Complete());  // 30 of 6750 lead-out blocks
    }
}

TEST_F(RawDiscCheck, LayoutBecomesKnownWithTheFirstA2) {
    // Items cycle 01, A0, A1, A2 three blocks each: the first A2 stands at -186 + 9.
    RawDiscChecker checker(m_layout.leadInStart, DataBlockType());
    for (int32_t lba = m_layout.leadInStart; lba < -177; ++lba) {
        ASSERT_TRUE(checker.Check(lba, Block(lba).data(), nullptr, nullptr).Ok());
        EXPECT_FALSE(checker.LayoutKnown());
        EXPECT_EQ(checker.LeadOutStart(), 0);
    }
    ASSERT_TRUE(checker.Check(-177, Block(-177).data(), nullptr, nullptr).Ok());
    EXPECT_TRUE(checker.LayoutKnown());
    EXPECT_EQ(checker.LeadOutStart(), 300);
}

TEST_F(RawDiscCheck, PublishedSectorAndQFrameAtBlockZero) {
    const std::vector<uint8_t> block = Block(0);
    EXPECT_EQ(Sha1Hex(std::span<const uint8_t>(block).first(kSector)), "5d6926fd53a6c19a5898806069460996b0e37904");
    const uint8_t q[12] = {0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x28, 0x32};
    EXPECT_EQ(std::memcmp(block.data() + kSector, q, sizeof q), 0);
    ASSERT_TRUE(Run().verdict.Ok());
    EXPECT_EQ(std::vector<uint8_t>(m_user.begin(), m_user.begin() + kUser), std::vector<uint8_t>(kUser, 0));
}

TEST_F(RawDiscCheck, EveryConventionSourcesDifferOnIsTakenButNotMixed) {
    const int32_t first = m_layout.leadInStart;
    // Lead-in header from 00:00:00: block n of the lead-in carries the header of LBA n - 150.
    auto headerFromZero = [first](int32_t lba, std::vector<uint8_t>& block) {
        if (lba < -150) cd::EncodeMode1Sector(lba - first - 150, nullptr, block.data());
    };
    // Lead-in running time as the block's absolute time.
    auto runningAbsolute = [this](int32_t lba, std::vector<uint8_t>& block) {
        if (lba >= -150) return;
        cd::QFrame q = cd::BlockQ(m_layout, lba);
        PutTime(q, 3, cd::LbaToMsf(lba));
        PutQ(block, q, false);
    };
    // Pregap relative time reaching 00:00:00 at the track's first block.
    auto pregapToTrack = [this](int32_t lba, std::vector<uint8_t>& block) {
        if (lba < -150 || lba >= 0) return;
        cd::QFrame q = cd::BlockQ(m_layout, lba);
        PutTime(q, 3, cd::FramesToMsf(-lba));
        PutQ(block, q, true);
    };
    // The 16-byte form's CRC not inverted.
    auto plainCrc = [](int32_t, std::vector<uint8_t>& block) {
        block[kSector + 10] ^= 0xFF;
        block[kSector + 11] ^= 0xFF;
    };
    // The lead-out's P as the other writers give it: 1 for 2 s, then 19 blocks on, 19 off.
    auto leadOutP = [this](int32_t lba, std::vector<uint8_t>& block) {
        if (lba < 300) return;
        const int32_t n = lba - 300;
        PutQ(block, cd::BlockQ(m_layout, lba), n < 150 || (n - 150) / 19 % 2 == 0);
    };
    Outcome o = Run([&](int32_t lba, std::vector<uint8_t>& block) {
        headerFromZero(lba, block);
        runningAbsolute(lba, block);
        pregapToTrack(lba, block);
        leadOutP(lba, block);
        plainCrc(lba, block);
    });
    EXPECT_TRUE(o.verdict.Ok()) << o.verdict.reason;
    EXPECT_EQ(m_user, m_image);

    ExpectRefused([&](int32_t lba, std::vector<uint8_t>& block) { if (lba == -180) headerFromZero(lba, block); },
                  -180, "header address is 00:00:06, expected 99:59:45");
    ExpectRefused([&](int32_t lba, std::vector<uint8_t>& block) { if (lba == -170) runningAbsolute(lba, block); },
                  -170, "Q running time is 99:59:55, expected 00:00:16");
    ExpectRefused([&](int32_t lba, std::vector<uint8_t>& block) { if (lba == -9) pregapToTrack(lba, block); },
                  -9, "Q relative time is 00:00:09, expected 00:00:08");
    ExpectRefused([&](int32_t lba, std::vector<uint8_t>& block) { if (lba == 100) plainCrc(lba, block); },
                  100, "Q CRC inversion differs");
    // The 96-byte form records Q as on the disc: only the inverted CRC.
    m_layout.subchannel = cd::Subchannel::Pw96;
    ExpectRefused([&](int32_t lba, std::vector<uint8_t>& block) {
                      if (lba != 20) return;
                      cd::QFrame q = cd::BlockQ(m_layout, lba);
                      q[10] ^= 0xFF;
                      q[11] ^= 0xFF;
                      cd::PackPw96(q, false, block.data() + kSector);
                  },
                  20, "Q CRC mismatch");
}

TEST_F(RawDiscCheck, DamagedSectorsAreRefusedAndEndTheWrite) {
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == 5) b[3] = 0xFE; }, 5,
                  "sync pattern wrong at byte 3");
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == 7) b[16 + 1000] ^= 0x04; }, 7,
                  "EDC mismatch");
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == -100) b[2076 + 10] ^= 0x01; }, -100,
                  "ECC P check failed (plane 0, column 5");
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == 310) b[2300 + 3] ^= 0x80; }, 310,
                  "ECC Q check failed (plane 1, diagonal 1");
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == -2) b[15] ^= 0x03; }, -2,
                  "mode byte is 02, expected 01");
    auto unscrambled = [](int32_t lba, std::vector<uint8_t>& b) {
        if (lba == 10) cd::EncodeMode1Sector(10, nullptr, b.data(), false);
    };
    ExpectRefused(unscrambled, 10, "sector not scrambled");
    ExpectRefused(Sector(10, 11), 10, "header address is 00:02:11, expected 00:02:10");
    ExpectRefused(Sector(-160, -159), -160, "header address is 99:59:66, expected 99:59:65");
    ExpectRefused(Sector(-50, -51), -50, "header address is 00:01:24, expected 00:01:25");
    ExpectRefused(Sector(305, 304), 305, "header address is 00:06:04, expected 00:06:05");
    const std::vector<uint8_t> ones(kUser, 1);
    ExpectRefused(Sector(-3, -3, ones.data()), -3, "user data of a pregap block is not zero (byte 0)");
    ExpectRefused(Sector(-170, -170, ones.data()), -170, "user data of a lead-in block is not zero");
    ExpectRefused(Sector(300, 300, ones.data()), 300, "user data of a lead-out block is not zero");

    // The disc would hold the damaged block: nothing after it is taken, not even the sound block.
    RawDiscChecker checker(m_layout.leadInStart, DataBlockType());
    Outcome o = Run([](int32_t lba, std::vector<uint8_t>& b) { if (lba == 4) b[100] ^= 1; }, &checker);
    ASSERT_EQ(o.lba, 4);
    RawVerdict again = checker.Check(4, Block(4).data(), nullptr, nullptr);
    EXPECT_EQ(again.reason, o.verdict.reason);
    EXPECT_EQ(again.asc, 0x26);
    EXPECT_EQ(checker.Failure().reason, o.verdict.reason);
    EXPECT_EQ(checker.NextLba(), 4);
}

TEST_F(RawDiscCheck, QPositionsFollowTheAddress) {
    ExpectRefused(EditQ(12, [](cd::QFrame& q) { q[9] = 0x13; }), 12, "Q absolute time is 00:02:13, expected 00:02:12");
    ExpectRefused(EditQ(12, [](cd::QFrame& q) { q[5] = 0x11; }), 12, "Q relative time is 00:00:11, expected 00:00:12");
    ExpectRefused(EditQ(-100, [](cd::QFrame& q) { q[9] = 0x51; }), -100,
                  "Q absolute time is 00:00:51, expected 00:00:50");
    ExpectRefused(EditQ(-100, [](cd::QFrame& q) { q[4] = 0x00; }), -100, "Q relative time is 00:00:24");
    ExpectRefused(EditQ(325, [](cd::QFrame& q) { q[5] = 0x24; }), 325,
                  "Q relative time is 00:00:24, expected 00:00:25");
    ExpectRefused(EditQ(325, [](cd::QFrame& q) { q[8] = 0x05; }), 325,
                  "Q absolute time is 00:05:25, expected 00:06:25");
    ExpectRefused(EditQ(-1, [](cd::QFrame& q) { q[2] = 0x01; }), -1, "Q INDEX is 01, expected 00");
    ExpectRefused(EditQ(0, [](cd::QFrame& q) { q[2] = 0x00; }), 0, "Q INDEX is 00, expected 01");
    ExpectRefused(EditQ(120, [](cd::QFrame& q) { q[1] = 0x02; }), 120, "Q TNO is 02, expected 01");
    ExpectRefused(EditQ(300, [](cd::QFrame& q) { q[1] = 0x01; }), 300,
                  "Q TNO is 01, expected AA (TOC item A2 puts the lead-out here)");
    ExpectRefused(EditQ(-173, [](cd::QFrame& q) { q[1] = 0x01; }), -173, "Q TNO is 01 in the lead-in, expected 00");
    ExpectRefused(EditQ(50, [](cd::QFrame& q) { q[0] = 0x61; }), 50, "Q control 6 differs from the first block's 4");
    ExpectRefused(EditQ(-186, [](cd::QFrame& q) { q[0] = 0x01; }), -186, "Q control 0 is not a two-channel data track");
    ExpectRefused(EditQ(-186, [](cd::QFrame& q) { q[0] = 0xC1; }), -186,
                  "Q control 12 is not a two-channel data track");
    ExpectRefused(EditQ(77, [](cd::QFrame& q) { q[0] = 0x42; }), 77, "Q ADR is 2, expected 1");
    ExpectRefused(EditQ(78, [](cd::QFrame& q) { q[4] = 0x0A; }), 78, "Q relative time 00 0A 03 is not BCD MSF");
    ExpectRefused(EditQ(79, [](cd::QFrame& q) { q[6] = 0x01; }), 79, "Q byte 6 is 01, expected 00");
    ExpectRefused([](int32_t lba, std::vector<uint8_t>& b) { if (lba == 41) b[kSector + 3] ^= 0x10; }, 41,
                  "Q CRC mismatch");

    ExpectRefused(SetP(-180, true), -180, "P flag set in the lead-in");
    ExpectRefused(SetP(-150, false), -150, "P flag clear in the pregap");
    // P may rise in the track's last 2 s, not before.
    ExpectRefused(SetP(149, true), 149, "P flag set inside the track");
    EXPECT_TRUE(Run([this](int32_t lba, std::vector<uint8_t>& b) {
                    if (lba >= 150 && lba < 300) PutQ(b, cd::BlockQ(m_layout, lba), true);
                }).verdict.Ok());
}

TEST_F(RawDiscCheck, LeadInCarriesOneConsistentToc) {
    // Cycles start at -186, -174, -162; within each: 01 at +0, A0 at +3, A1 at +6, A2 at +9.
    auto everyA2 = [this](uint8_t frameBcd) {
        return [this, frameBcd](int32_t lba, std::vector<uint8_t>& block) {
            cd::QFrame q = cd::BlockQ(m_layout, lba);
            if (lba >= -150 || q[2] != cd::kPointLeadOut) return;
            q[9] = frameBcd;
            PutQ(block, q, false);
        };
    };
    // A2 one block late: the lead-out starts where the track should go on, and one block early.
    ExpectRefused(everyA2(0x01), 300, "Q TNO is AA, expected 01 (TOC item A2 puts the lead-out at LBA 301)");
    m_layout.trackBlocks = 301;
    m_image.resize(301 * kUser);
    ExpectRefused(everyA2(0x00), 300, "Q TNO is 01, expected AA (TOC item A2 puts the lead-out here)");
    m_layout.trackBlocks = 300;
    m_image.resize(300 * kUser);

    ExpectRefused(EditQ(-165, [](cd::QFrame& q) { q[9] = 0x01; }), -165,
                  "TOC item A2 lead-out 00:06:01 differs from the earlier 00:06:00");
    ExpectRefused(EditQ(-177, [](cd::QFrame& q) { PutTime(q, 7, {0, 0, 0}); }), -177,
                  "TOC item A2 puts the lead-out at 00:00:00, before any data");
    ExpectRefused(EditQ(-183, [](cd::QFrame& q) { q[7] = 0x02; }), -183,
                  "TOC item A0 PMIN/PSEC/PFRAME is 02:00:00, expected 01:00:00");
    ExpectRefused(EditQ(-183, [](cd::QFrame& q) { q[8] = 0x20; }), -183,
                  "TOC item A0 PMIN/PSEC/PFRAME is 01:20:00, expected 01:00:00");
    ExpectRefused(EditQ(-168, [](cd::QFrame& q) { q[7] = 0x02; }), -168,
                  "TOC item A1 PMIN/PSEC/PFRAME is 02:00:00, expected 01:00:00");
    ExpectRefused(EditQ(-186, [](cd::QFrame& q) { q[9] = 0x01; }), -186,
                  "TOC item 01 start is 00:02:01, expected 00:02:00");
    ExpectRefused(EditQ(-185, [](cd::QFrame& q) { q[2] = 0x02; }), -185, "lead-in carries POINT 02");
    ExpectRefused(EditQ(-184, [](cd::QFrame& q) { PutItem(q, cd::kPointFirstTrack, {1, 0, 0}); }), -184,
                  "TOC item 01 given 2 times in a row, expected 3");
    ExpectRefused(EditQ(-183, [](cd::QFrame& q) { PutItem(q, 0x01, {0, 2, 0}); }), -183,
                  "TOC item 01 repeated more than 3 times in a row");
    // Every A1 turned into 01: the lead-in ends without it.
    ExpectRefused([this](int32_t lba, std::vector<uint8_t>& block) {
                      cd::QFrame q = cd::BlockQ(m_layout, lba);
                      if (lba >= -150 || q[2] != cd::kPointLastTrack) return;
                      PutItem(q, 0x01, {0, 2, 0});
                      PutQ(block, q, false);
                  },
                  -150, "the lead-in never carried TOC item A1");
    // A lead-in too short for one cycle (the encoder builds none such): six blocks, 01 and A0
    // three times each, running from 00:00:00.
    RawDiscChecker shortLeadIn(-156, DataBlockType());
    for (int32_t lba = -156; lba < -150; ++lba) {
        std::vector<uint8_t> block = Block(lba);
        cd::QFrame q = cd::BlockQ(m_layout, lba);
        const int32_t n = lba + 156;
        if (n < 3)
            PutItem(q, 0x01, {0, 2, 0});
        else
            PutItem(q, cd::kPointFirstTrack, {1, 0, 0});
        PutTime(q, 3, cd::FramesToMsf(n));
        PutQ(block, q, false);
        ASSERT_TRUE(shortLeadIn.Check(lba, block.data(), nullptr, nullptr).Ok()) << lba;
    }
    const RawVerdict v = shortLeadIn.Check(-150, Block(-150).data(), nullptr, nullptr);
    EXPECT_EQ(v.asc, 0x26);
    EXPECT_NE(v.reason.find("the lead-in never carried TOC item A1"), std::string::npos) << v.reason;
}

TEST_F(RawDiscCheck, AddressesInOrderFromTheLeadIn) {
    RawDiscChecker checker(m_layout.leadInStart, DataBlockType());
    auto expectAddressRefusal = [](const RawVerdict& v, const std::string& reason) {
        EXPECT_EQ(v.key, 0x05);
        EXPECT_EQ(v.asc, 0x21);
        EXPECT_EQ(v.ascq, 0x02);
        EXPECT_NE(v.reason.find(reason), std::string::npos) << v.reason;
    };
    expectAddressRefusal(checker.Check(-185, Block(-185).data(), nullptr, nullptr),
                         "LBA -185: out of order, the next block of the write is LBA -186");
    for (int32_t lba = -186; lba < 3; ++lba) ASSERT_TRUE(checker.Check(lba, Block(lba).data(), nullptr, nullptr).Ok());
    expectAddressRefusal(checker.Check(2, Block(2).data(), nullptr, nullptr), "next block of the write is LBA 3");
    expectAddressRefusal(checker.Check(4, Block(4).data(), nullptr, nullptr), "next block of the write is LBA 3");
    // A misplaced block harms nothing: the write goes on where it stood.
    bool isUser = false;
    std::array<uint8_t, kUser> user{};
    EXPECT_TRUE(checker.Check(3, Block(3).data(), user.data(), &isUser).Ok());
    EXPECT_TRUE(isUser);
    EXPECT_EQ(std::memcmp(user.data(), &m_image[3 * kUser], kUser), 0);

    for (int32_t start : {-150, -100, 0}) {
        RawDiscChecker late(start, 1);
        expectAddressRefusal(late.Check(start, Block(-150).data(), nullptr, nullptr),
                             "the write starts after the lead-in");
    }
    // Lead-in times begin at 90:00:00 (LBA -45150).
    RawDiscChecker early(-45151, 1);
    expectAddressRefusal(early.Check(-45151, Block(-150).data(), nullptr, nullptr),
                         "the write starts before the lead-in");
}

TEST_F(RawDiscCheck, BlockSizeFollowsTheDataBlockType) {
    EXPECT_EQ(RawDiscChecker(-11635, 1).BlockSize(), 2368u);
    EXPECT_EQ(RawDiscChecker(-11635, 2).BlockSize(), 2448u);
    EXPECT_EQ(RawDiscChecker(-11635, 3).BlockSize(), 2448u);
    RawDiscChecker cooked(-11635, 8);
    EXPECT_EQ(cooked.BlockSize(), 0u);
    std::vector<uint8_t> block(2448);
    RawVerdict v = cooked.Check(-11635, block.data(), nullptr, nullptr);
    EXPECT_EQ(v.asc, 0x26);
    EXPECT_NE(v.reason.find("carries no sub-channel"), std::string::npos) << v.reason;
}

TEST_F(RawDiscCheck, RealLeadInStartAndCopyPermittedTrack) {
    // The typical lead-in start 97:26:65; the engine's lead-in header carries that absolute time.
    m_layout.leadInStart = -11635;
    m_layout.copyPermitted = true;
    m_layout.subchannel = cd::Subchannel::Pw96;
    RawDiscChecker checker(-11635, 3);
    for (int32_t lba = -11635; lba < -11635 + 24; ++lba) {
        RawVerdict v = checker.Check(lba, Block(lba).data(), nullptr, nullptr);
        ASSERT_TRUE(v.Ok()) << v.reason;
    }
    EXPECT_EQ(checker.TrackControl(), 6);
    EXPECT_EQ(checker.LeadOutStart(), 300);
}

TEST_F(RawDiscCheck, LeadOutMustRunItsFull90Seconds) {
    m_layout.leadOutBlocks = RawDiscChecker::kFirstSessionLeadOutBlocks;
    RawDiscChecker checker(m_layout.leadInStart, DataBlockType());
    std::vector<uint8_t> blocks(BlockSize() * 64);
    const int32_t end = cd::DiscEnd(m_layout);
    for (int32_t lba = m_layout.leadInStart; lba < end - 1;) {
        const uint32_t count = static_cast<uint32_t>(std::min(64, end - 1 - lba));
        const uint8_t* user = lba < 300 ? &m_image[std::max(lba, 0) * kUser] : nullptr;
        ASSERT_TRUE(cd::GenerateRawBlocks(m_layout, lba, count, user, blocks.data()));
        for (uint32_t i = 0; i < count; ++i, ++lba) {
            RawVerdict v = checker.Check(lba, blocks.data() + i * BlockSize(), nullptr, nullptr);
            ASSERT_TRUE(v.Ok()) << v.reason;
            ASSERT_FALSE(checker.Complete()) << lba;
        }
    }
    EXPECT_EQ(checker.LeadOutBlocksWritten(), 6749);
    ASSERT_TRUE(checker.Check(end - 1, Block(end - 1).data(), nullptr, nullptr).Ok());
    EXPECT_TRUE(checker.Complete());
}
