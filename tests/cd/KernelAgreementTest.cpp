// Every encoder the processor runs gives the scalar encoder's bytes, and the scalar encoder's
// parity satisfies the P and Q check equations on data that is not mostly zero.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "burnlib/cd/Sector.h"
#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd {
namespace {

void ExpectAllKernelsAgree(int32_t lba, const uint8_t* user, const char* what) {
    for (bool scramble : {false, true}) {
        uint8_t expected[kRawSectorSize];
        EncodeMode1Sector(lba, user, expected, scramble, Kernel::Scalar);
        for (Kernel kernel : AvailableKernels()) {
            uint8_t actual[kRawSectorSize + 64];
            std::memset(actual, 0xA5, sizeof actual);
            EncodeMode1Sector(lba, user, actual + 1, scramble, kernel);  // not aligned on purpose
            ASSERT_EQ(std::memcmp(actual + 1, expected, kRawSectorSize), 0)
                << KernelName(kernel) << " " << what << " lba " << lba << " scramble " << scramble;
            ASSERT_EQ(actual[0], 0xA5) << KernelName(kernel) << " wrote before the sector";
            ASSERT_EQ(actual[kRawSectorSize + 1], 0xA5) << KernelName(kernel) << " wrote past the sector";
        }
    }
}

TEST(KernelAgreement, RandomSectorsAcrossTheDisc) {
    std::mt19937 rng(20240807);
    std::uniform_int_distribution<int32_t> lbas(-45150, 404849);
    std::vector<uint8_t> user(kUserDataSize);
    for (int n = 0; n < 300; ++n) {
        for (auto& b : user) b = static_cast<uint8_t>(rng());
        ExpectAllKernelsAgree(lbas(rng), user.data(), "random");
    }
    for (int32_t lba : {-11635, -151, -150, -1, 0, 1, 404849}) ExpectAllKernelsAgree(lba, nullptr, "zero");
}

TEST(KernelAgreement, EverySingleByteOfUserData) {
    // One non-zero byte at a time reaches each P column and Q diagonal through its own lane.
    std::vector<uint8_t> user(kUserDataSize, 0);
    for (size_t i = 0; i < kUserDataSize; ++i) {
        user[i] = static_cast<uint8_t>(0x80 | (i * 13));
        ExpectAllKernelsAgree(static_cast<int32_t>(i) - 200, user.data(), "impulse");
        user[i] = 0;
    }
    std::vector<uint8_t> ones(kUserDataSize, 0xFF);
    ExpectAllKernelsAgree(12345, ones.data(), "all ones");
}

// Check equations: every P column and Q diagonal sums to zero, plain and weighted.
TEST(ScalarParity, SatisfiesCheckEquationsOnRandomData) {
    std::mt19937 rng(7);
    std::vector<uint8_t> user(kUserDataSize);
    for (int n = 0; n < 20; ++n) {
        for (auto& b : user) b = static_cast<uint8_t>(rng());
        uint8_t s[kRawSectorSize];
        EncodeMode1Sector(n * 1000 - 11635, user.data(), s, false, Kernel::Scalar);
        for (size_t plane = 0; plane < 2; ++plane) {
            auto word = [&](size_t w) { return s[12 + 2 * w + plane]; };
            for (size_t c = 0; c < 43; ++c) {
                uint8_t plain = 0, weighted = 0;
                for (size_t m = 0; m < 26; ++m) {
                    plain ^= word(c + 43 * m);
                    weighted ^= detail::GfMulExp(word(c + 43 * m), static_cast<int>(25 - m));
                }
                EXPECT_EQ(plain, 0) << "P column " << c;
                EXPECT_EQ(weighted, 0) << "P column " << c;
            }
            for (size_t d = 0; d < 26; ++d) {
                uint8_t plain = 0, weighted = 0;
                for (size_t m = 0; m < 45; ++m) {
                    const size_t w = m < 43 ? (44 * m + 43 * d) % 1118 : (m == 43 ? 1118 + d : 1144 + d);
                    plain ^= word(w);
                    weighted ^= detail::GfMulExp(word(w), static_cast<int>(44 - m));
                }
                EXPECT_EQ(plain, 0) << "Q diagonal " << d;
                EXPECT_EQ(weighted, 0) << "Q diagonal " << d;
            }
        }
    }
}

}  // namespace
}  // namespace burnlib::cd
