// The neutral helpers the recorder shares with the engine: big-endian fields and CD addresses.
// Values from mmc-facts (signed LBA fields, the MSF conversion and its worked examples).
#include <gtest/gtest.h>

#include "burnlib/common/BigEndian.h"
#include "burnlib/common/Msf.h"

using namespace burnlib;

TEST(BigEndian, FieldsReadAndWriteMostSignificantByteFirst) {
    uint8_t b[4] = {};
    be::Put32(b, static_cast<uint32_t>(-150));
    EXPECT_EQ(std::vector<uint8_t>(b, b + 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x6A}));
    EXPECT_EQ(static_cast<int32_t>(be::Get32(b)), -150);
    be::Put32(b, static_cast<uint32_t>(-11635));
    EXPECT_EQ(std::vector<uint8_t>(b, b + 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xD2, 0x8D}));
    be::Put24(b, 0x123456);
    EXPECT_EQ(be::Get24(b), 0x123456u);
    EXPECT_EQ(b[3], 0x8D);  // untouched
    be::Put16(b, 0x1FFFF);  // only the low 16 bits
    EXPECT_EQ(be::Get16(b), 0xFFFF);
    std::vector<uint8_t> out;
    be::Append16(out, 0x0102);
    be::Append32(out, 0x03040506);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Msf, ProgramAreaAndLeadInAddressesConvertBothWays) {
    EXPECT_EQ(LbaToMsf(-150), (Msf{0, 0, 0}));
    EXPECT_EQ(LbaToMsf(0), (Msf{0, 2, 0}));
    EXPECT_EQ(LbaToMsf(300000), (Msf{66, 42, 0}));   // the lead-out of a 300000-block track
    EXPECT_EQ(LbaToMsf(359849), (Msf{79, 59, 74}));  // last possible lead-out of an 80-minute CD
    EXPECT_EQ(LbaToMsf(-11635), (Msf{97, 26, 65}));  // a typical ATIP lead-in start
    EXPECT_EQ(LbaToMsf(-151), (Msf{99, 59, 74}));
    EXPECT_EQ(MsfToLba(97, 26, 65), -11635);
    EXPECT_EQ(MsfToLba(Msf{0, 2, 0}), 0);
    EXPECT_EQ(MsfToLba(89, 59, 74), 404849);
    for (int32_t lba = -45150; lba < 404850; lba += 997) EXPECT_EQ(MsfToLba(LbaToMsf(lba)), lba) << lba;
    EXPECT_EQ(LbaToMsf(-500000), (Msf{0, 0, 0}));  // before any lead-in
}
