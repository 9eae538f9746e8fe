#include <gtest/gtest.h>

#include <string_view>

#include "tests/rawdecoder/RawDecoder.h"
#include "tests/rawdecoder/TestBlocks.h"

using namespace rawdecoder;

namespace {

const std::array<uint8_t, 10> kTrackStart = {0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};

Check Decode(std::span<const uint8_t> sub, QFrame* q) { return DecodeSubchannel(sub, q); }

void ExpectReason(const Check& c, std::string_view part) {
    EXPECT_FALSE(c);
    EXPECT_NE(c.reason.find(part), std::string::npos) << c.reason;
}

}  // namespace

TEST(QCrc, CheckValues) {
    const std::string_view text = "123456789";
    EXPECT_EQ(QCrc({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), 0xCE3C);
    EXPECT_EQ(QCrc(kTrackStart), 0x2832);
}

TEST(Subchannel, RawInterleavedBlockByHand) {
    // Q 41 01 01 00 00 00 00 00 02 00 28 32 with P set: bit j (MSB first) of Q byte k is bit 6 of
    // byte 8k+j, P is bit 7 everywhere.
    const uint8_t q[12] = {0x41, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x28, 0x32};
    std::array<uint8_t, 96> sub{};
    for (size_t k = 0; k < 12; ++k)
        for (size_t j = 0; j < 8; ++j) sub[8 * k + j] = 0x80 | (((q[k] >> (7 - j)) & 1) ? 0x40 : 0);
    EXPECT_EQ(sub[1], 0xC0);  // 41: second bit
    EXPECT_EQ(sub[7], 0xC0);  // 41: last bit
    EXPECT_EQ(sub[0], 0x80);

    QFrame frame;
    Check c = Decode(sub, &frame);
    ASSERT_TRUE(c) << c.reason;
    EXPECT_EQ(frame.control, 4);
    EXPECT_EQ(frame.adr, 1);
    EXPECT_EQ(frame.tno, 1);
    EXPECT_EQ(frame.indexOrPoint, 1);
    EXPECT_EQ(frame.relative, (Msf{0, 0, 0}));
    EXPECT_EQ(frame.absolute, (Msf{0, 2, 0}));
    EXPECT_TRUE(frame.p);
    EXPECT_TRUE(frame.crcInverted);

    for (uint8_t& b : sub) b &= 0x7F;
    ASSERT_TRUE(Decode(sub, &frame));
    EXPECT_FALSE(frame.p);
}

TEST(Subchannel, PqBlockTakesEitherCrcForm) {
    QFrame frame;
    auto inverted = testblocks::Pq16(testblocks::WithCrc(kTrackStart, true), true);
    EXPECT_EQ(inverted[10], 0x28);
    EXPECT_EQ(inverted[11], 0x32);
    ASSERT_TRUE(Decode(inverted, &frame));
    EXPECT_TRUE(frame.crcInverted);
    EXPECT_TRUE(frame.p);

    auto plain = testblocks::Pq16(testblocks::WithCrc(kTrackStart, false), false);
    EXPECT_EQ(plain[10], 0xD7);
    EXPECT_EQ(plain[11], 0xCD);
    ASSERT_TRUE(Decode(plain, &frame));
    EXPECT_FALSE(frame.crcInverted);
    EXPECT_FALSE(frame.p);

    // The 96-byte form has one CRC form only.
    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc(kTrackStart, false), false), &frame), "Q CRC mismatch");
}

TEST(Subchannel, LeadInAndLeadOutFields) {
    QFrame frame;
    // TOC item A2: lead-out at 66:42:00, running time 97:26:65.
    auto leadIn = testblocks::Pw96(testblocks::WithCrc({0x41, 0x00, 0xA2, 0x97, 0x26, 0x65, 0x00, 0x66, 0x42, 0x00}), false);
    ASSERT_TRUE(Decode(leadIn, &frame));
    EXPECT_TRUE(frame.LeadIn());
    EXPECT_EQ(frame.indexOrPoint, kPointLeadOut);
    EXPECT_EQ(frame.relative, (Msf{97, 26, 65}));
    EXPECT_EQ(frame.absolute, (Msf{66, 42, 0}));

    auto leadOut = testblocks::Pw96(testblocks::WithCrc({0x41, 0xAA, 0x01, 0x00, 0x00, 0x12, 0x00, 0x66, 0x42, 0x12}), false);
    ASSERT_TRUE(Decode(leadOut, &frame));
    EXPECT_EQ(frame.tno, kLeadOutTno);
    EXPECT_EQ(frame.relative, (Msf{0, 0, 12}));
    EXPECT_EQ(frame.absolute, (Msf{66, 42, 12}));

    // A0..A2 are points of the lead-in only; as an INDEX they are not BCD.
    auto badIndex = testblocks::Pw96(testblocks::WithCrc({0x41, 0x01, 0xA2, 0, 0, 0, 0, 0, 2, 0}), false);
    ExpectReason(Decode(badIndex, &frame), "Q INDEX A2 is not BCD");
}

TEST(Subchannel, EachCorruptionIsNamed) {
    QFrame frame;
    const auto q = testblocks::WithCrc(kTrackStart);
    auto pw = testblocks::Pw96(q, false);

    auto crcBit = pw;
    crcBit[8 * 10 + 3] ^= 0x40;
    ExpectReason(Decode(crcBit, &frame), "Q CRC mismatch (stored 3832, computed 2832)");
    auto dataBit = pw;
    dataBit[8 * 8 + 6] ^= 0x40;  // absolute frame-seconds 02 -> 00
    ExpectReason(Decode(dataBit, &frame), "Q CRC mismatch");
    auto rw = pw;
    rw[40] |= 0x01;
    ExpectReason(Decode(rw, &frame), "R-W sub-channel bits set in byte 40");
    auto p = pw;
    p[17] |= 0x80;
    ExpectReason(Decode(p, &frame), "P channel is neither all set nor all clear (1 of 96)");

    auto pq = testblocks::Pq16(q, false);
    auto pqCrc = pq;
    pqCrc[11] ^= 0x01;
    ExpectReason(Decode(pqCrc, &frame), "Q CRC mismatch");
    auto pqPad = pq;
    pqPad[13] = 0x01;
    ExpectReason(Decode(pqPad, &frame), "PQ byte 13 is not zero");
    auto pqFlag = pq;
    pqFlag[15] = 0x40;
    ExpectReason(Decode(pqFlag, &frame), "PQ byte 15");

    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc({0x42, 0x01, 0x01, 0, 0, 0, 0, 0, 2, 0}), false), &frame),
                 "Q ADR is 2");
    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc({0x41, 0x1A, 0x01, 0, 0, 0, 0, 0, 2, 0}), false), &frame),
                 "Q TNO 1A is not BCD");
    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc({0x41, 0x01, 0x01, 0, 0x60, 0, 0, 0, 2, 0}), false), &frame),
                 "Q relative time 00 60 00 is not BCD MSF");
    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc({0x41, 0x01, 0x01, 0, 0, 0x75, 0, 0, 2, 0}), false), &frame),
                 "Q relative time 00 00 75 is not BCD MSF");
    ExpectReason(Decode(testblocks::Pw96(testblocks::WithCrc({0x41, 0x01, 0x01, 0, 0, 0, 0x01, 0, 2, 0}), false), &frame),
                 "Q byte 6 is 01");
    ExpectReason(Decode(std::span<const uint8_t>(pw).first(95), &frame), "95 bytes");
}
