#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/rawdecoder/RawDecoder.h"
#include "tests/support/Sha1.h"
#include "tests/rawdecoder/TestBlocks.h"

using namespace rawdecoder;
using testblocks::Plain;

namespace {

std::span<const uint8_t> Ascii(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The LBA 0 sector of 2048 zero bytes, from its published bytes; the parity bytes the table
// does not list are completed by the test's generator and then pinned by the digest.
Plain ZeroSectorAtLba0() {
    Plain s{};
    for (int i = 1; i < 11; ++i) s[i] = 0xFF;
    const uint8_t header[4] = {0x00, 0x02, 0x00, 0x01};
    const uint8_t edc[4] = {0xC5, 0x13, 0x68, 0x2B};
    for (int i = 0; i < 4; ++i) {
        s[12 + i] = header[i];
        s[2064 + i] = edc[i];
    }
    return s;
}

}  // namespace

TEST(CheckValues, EdcScramblerAndField) {
    EXPECT_EQ(Edc(Ascii("123456789")), 0x6EC2EDC4u);

    const auto& sequence = ScrambleSequence();
    const uint8_t head[16] = {0x01, 0x80, 0x00, 0x60, 0x00, 0x28, 0x00, 0x1E,
                              0x80, 0x08, 0x60, 0x06, 0xA8, 0x02, 0xFE, 0x81};
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(sequence[i], head[i]) << i;
    const uint8_t tail[4] = {0x72, 0xDD, 0xE5, 0x99};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sequence[sequence.size() - 4 + i], tail[i]) << i;

    // alpha = 2 is primitive for x^8+x^4+x^3+x^2+1: alpha^8 = 1D, and its powers reach 1 first at 255.
    EXPECT_EQ(GfMul(0x80, 0x02), 0x1D);
    uint8_t power = 1;
    for (int k = 1; k <= 255; ++k) {
        power = GfMul(power, 2);
        if (k < 255) {
            ASSERT_NE(power, 1) << k;
        }
    }
    EXPECT_EQ(power, 1);
    EXPECT_EQ(GfMul(0x03, 0xF4), 0x01);  // (alpha+1)^-1, which the parity solve divides by
}

TEST(ZeroSectorVector, PublishedBytesAndDigests) {
    Plain s = ZeroSectorAtLba0();
    EXPECT_EQ(Edc(std::span<const uint8_t>(s).first(2064)), 0x2B6813C5u);
    testblocks::FillParity(s);

    const std::pair<size_t, std::array<uint8_t, 8>> listed[] = {
        {2076, {0x00, 0xF7, 0x00, 0xF5, 0x00, 0x00, 0x00, 0x00}},
        {2162, {0x00, 0xF5, 0x00, 0xF4, 0x00, 0x00, 0x00, 0x00}},
        {2248, {0x00, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {2300, {0x00, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const auto& [offset, bytes] : listed)
        for (size_t i = 0; i < 8; ++i) EXPECT_EQ(s[offset + i], bytes[i]) << offset + i;
    EXPECT_EQ(Sha1Hex(s), "d9ee3c3ce5f425e5adb786706f65f363fd785695");
    EXPECT_EQ(FirstNonZeroSyndrome(s), "");

    Check unscrambled = DecodeSector(s, std::make_unique<Sector>().get());
    EXPECT_FALSE(unscrambled);
    EXPECT_NE(unscrambled.reason.find("not scrambled"), std::string::npos) << unscrambled.reason;

    testblocks::Scramble(s);
    EXPECT_EQ(Sha1Hex(s), "5d6926fd53a6c19a5898806069460996b0e37904");
    auto sector = std::make_unique<Sector>();
    Check decoded = DecodeSector(s, sector.get());
    ASSERT_TRUE(decoded) << decoded.reason;
    EXPECT_EQ(sector->header, (Msf{0, 2, 0}));
    EXPECT_EQ(sector->mode, 1);
    for (uint8_t b : sector->User()) ASSERT_EQ(b, 0);
}

TEST(SectorDecode, ReturnsHeaderAndUserData) {
    std::vector<uint8_t> user(kUserSize);
    for (size_t i = 0; i < user.size(); ++i) user[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    Plain raw = testblocks::MakeSector(MsfOfLba(1234), user);
    auto sector = std::make_unique<Sector>();
    Check c = DecodeSector(raw, sector.get());
    ASSERT_TRUE(c) << c.reason;
    EXPECT_EQ(sector->header, (Msf{0, 18, 34}));
    EXPECT_TRUE(std::equal(user.begin(), user.end(), sector->User().begin()));

    EXPECT_FALSE(DecodeSector(std::span<const uint8_t>(raw).first(2351), sector.get()));
}

struct Corruption {
    const char* name;
    size_t byte;
    uint8_t mask;
    const char* reason;
};

TEST(SectorDecode, EachCorruptionIsNamed) {
    std::vector<uint8_t> user(kUserSize);
    for (size_t i = 0; i < user.size(); ++i) user[i] = static_cast<uint8_t>(i * 13 + 5);
    const Plain sound = testblocks::MakeSector(MsfOfLba(1234), user);  // header 00 18 34

    const Corruption cases[] = {
        {"sync", 5, 0x10, "sync pattern wrong at byte 5"},
        {"user data", 16 + 700, 0x04, "EDC mismatch"},
        {"EDC", 2065, 0x80, "EDC mismatch"},
        {"header seconds, still BCD", 13, 0x01, "EDC mismatch"},
        {"header frames, no longer BCD", 14, 0x08, "is not BCD MSF"},
        {"mode", 15, 0x02, "mode byte is 03"},
        {"intermediate zeros", 2070, 0x01, "intermediate byte 2070"},
        {"P parity, even plane", 2076 + 20, 0x01, "ECC P check failed (plane 0, column 10"},
        {"P parity, odd plane", 2162 + 85, 0x40, "ECC P check failed (plane 1, column 42"},
        {"Q parity, odd plane", 2248 + 5, 0x20, "ECC Q check failed (plane 1, diagonal 2"},
        {"Q parity, even plane", 2300 + 50, 0x01, "ECC Q check failed (plane 0, diagonal 25"},
    };
    for (const Corruption& k : cases) {
        Plain raw = sound;
        raw[k.byte] ^= k.mask;
        auto sector = std::make_unique<Sector>();
        Check c = DecodeSector(raw, sector.get());
        EXPECT_FALSE(c) << k.name;
        EXPECT_NE(c.reason.find(k.reason), std::string::npos) << k.name << ": " << c.reason;
    }

    // The same bit flipped in both parity symbols of one P column keeps their XOR; only the
    // weighted syndrome sees it.
    Plain raw = sound;
    raw[2076 + 10] ^= 0x01;
    raw[2162 + 10] ^= 0x01;
    Check c = DecodeSector(raw, std::make_unique<Sector>().get());
    EXPECT_NE(c.reason.find("ECC P check failed (plane 0, column 5"), std::string::npos) << c.reason;

    Plain unscrambled = sound;
    testblocks::Scramble(unscrambled);
    c = DecodeSector(unscrambled, std::make_unique<Sector>().get());
    EXPECT_NE(c.reason.find("not scrambled"), std::string::npos) << c.reason;
}

namespace {

// The start of the message naming the first unsound vector.
std::string VectorName(const char* kind, int plane, int vector) {
    return std::string("ECC ") + kind + " check failed (plane " + std::to_string(plane) + ", " +
           (kind[0] == 'P' ? "column " : "diagonal ") + std::to_string(vector) + ",";
}

uint8_t& Symbol(Plain& s, int plane, int word) { return s[12 + 2 * word + plane]; }

}  // namespace

// Every symbol of the 1170 words of both planes: P column c holds words c + 43m (m < 26), Q
// diagonal d holds words (44m + 43d) mod 1118 (m < 43) and its parity words 1118 + 26k + d.
TEST(Syndromes, EachKindSeesEveryFaultInItsVectors) {
    std::vector<uint8_t> user(kUserSize);
    for (size_t i = 0; i < user.size(); ++i) user[i] = static_cast<uint8_t>(i * 29 + (i >> 7));
    Plain sound = testblocks::Unsealed(Msf{12, 34, 56}, user);
    testblocks::StoreEdc(sound);
    testblocks::FillParity(sound);
    ASSERT_TRUE(PVectorsSound(sound));
    ASSERT_TRUE(QVectorsSound(sound));
    ASSERT_EQ(FirstNonZeroSyndrome(sound), "");

    // One wrong symbol: each kind that holds it sees it, and the first such vector is named.
    for (int word = 0; word < 1170; ++word) {
        for (int plane = 0; plane < 2; ++plane) {
            Plain s = sound;
            Symbol(s, plane, word) ^= static_cast<uint8_t>(1u << ((word + plane) % 8));
            EXPECT_EQ(PVectorsSound(s), word >= 1118) << "word " << word << " plane " << plane;
            EXPECT_FALSE(QVectorsSound(s)) << "word " << word << " plane " << plane;
            const std::string want = word < 1118 ? VectorName("P", plane, word % 43)
                                                 : VectorName("Q", plane, (word - 1118) % 26);
            const std::string got = FirstNonZeroSyndrome(s);
            ASSERT_EQ(got.rfind(want, 0), 0u) << "word " << word << " plane " << plane << ": " << got;
        }
    }

    // Two wrong symbols m and m + 1 of one vector: changed alike they keep its XOR, changed by e and
    // alpha * e its weighted sum; each sum alone must see what the other cannot.
    const auto qWord = [](int diagonal, int m) {
        return m < 43 ? (44 * m + 43 * diagonal) % 1118 : 1118 + 26 * (m - 43) + diagonal;
    };
    const uint8_t e = 0x5A;
    for (const uint8_t second : {e, GfMul(e, 2)}) {
        for (int plane = 0; plane < 2; ++plane) {
            for (int column = 0; column < 43; ++column) {
                for (int m = 0; m + 1 < 26; ++m) {
                    Plain s = sound;
                    Symbol(s, plane, column + 43 * m) ^= e;
                    Symbol(s, plane, column + 43 * (m + 1)) ^= second;
                    EXPECT_FALSE(PVectorsSound(s)) << "column " << column << " m " << m << " plane " << plane;
                }
            }
            for (int diagonal = 0; diagonal < 26; ++diagonal) {
                for (int m = 0; m + 1 < 45; ++m) {
                    Plain s = sound;
                    Symbol(s, plane, qWord(diagonal, m)) ^= e;
                    Symbol(s, plane, qWord(diagonal, m + 1)) ^= second;
                    EXPECT_FALSE(QVectorsSound(s)) << "diagonal " << diagonal << " m " << m << " plane " << plane;
                }
            }
        }
    }
}
