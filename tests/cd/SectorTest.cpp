// Mode 1 sectors against the published values: layout, EDC, P and Q parity, scrambling.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "tests/support/Sha1.h"
#include "burnlib/cd/Msf.h"
#include "burnlib/cd/Sector.h"
#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const uint8_t* sector, size_t offset, size_t size) { return Bytes(sector + offset, sector + offset + size); }

TEST(Sha1Helper, KnownDigest) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(Sha1Hex({abc, 3}), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Edc, CatalogueCheckValue) {
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(detail::EdcBytewise(text, 9), 0x6EC2EDC4u);
    EXPECT_EQ(detail::EdcSliced(text, 9), 0x6EC2EDC4u);
    std::vector<uint8_t> longer(2064);
    for (size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<uint8_t>(i * 7 + (i >> 3));
    EXPECT_EQ(detail::EdcSliced(longer.data(), longer.size()), detail::EdcBytewise(longer.data(), longer.size()));
}

class SectorVectors : public ::testing::TestWithParam<Kernel> {};

TEST_P(SectorVectors, ZeroSectorAtBlockZero) {
    uint8_t sector[kRawSectorSize];
    std::memset(sector, 0xCC, sizeof sector);  // everything must be written
    EncodeMode1Sector(0, nullptr, sector, false, GetParam());

    EXPECT_EQ(Slice(sector, 0, 12), (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}));
    EXPECT_EQ(Slice(sector, 12, 4), (Bytes{0x00, 0x02, 0x00, 0x01}));
    EXPECT_EQ(Slice(sector, 16, 2048), Bytes(2048, 0));
    EXPECT_EQ(Slice(sector, 2064, 4), (Bytes{0xC5, 0x13, 0x68, 0x2B}));
    EXPECT_EQ(Slice(sector, 2068, 8), Bytes(8, 0));
    EXPECT_EQ(Slice(sector, 2076, 8), (Bytes{0x00, 0xF7, 0x00, 0xF5, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(sector, 2162, 8), (Bytes{0x00, 0xF5, 0x00, 0xF4, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(sector, 2248, 8), (Bytes{0x00, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Slice(sector, 2300, 8), (Bytes{0x00, 0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Sha1Hex({sector, kRawSectorSize}), "d9ee3c3ce5f425e5adb786706f65f363fd785695");

    EncodeMode1Sector(0, nullptr, sector, true, GetParam());
    EXPECT_EQ(Sha1Hex({sector, kRawSectorSize}), "5d6926fd53a6c19a5898806069460996b0e37904");
}

TEST_P(SectorVectors, ScramblingLeavesSyncAndXorsTheKnownSequence) {
    uint8_t user[kUserDataSize];
    for (size_t i = 0; i < sizeof user; ++i) user[i] = static_cast<uint8_t>(i * 31 + 5);
    uint8_t plain[kRawSectorSize], scrambled[kRawSectorSize];
    EncodeMode1Sector(1234, user, plain, false, GetParam());
    EncodeMode1Sector(1234, user, scrambled, true, GetParam());
    EXPECT_EQ(Slice(plain, 0, 12), Slice(scrambled, 0, 12));
    Bytes pattern(kRawSectorSize);
    for (size_t i = 0; i < kRawSectorSize; ++i) pattern[i] = plain[i] ^ scrambled[i];
    EXPECT_EQ(Slice(pattern.data(), 12, 16), (Bytes{0x01, 0x80, 0x00, 0x60, 0x00, 0x28, 0x00, 0x1E, 0x80, 0x08,
                                                    0x60, 0x06, 0xA8, 0x02, 0xFE, 0x81}));
    EXPECT_EQ(Slice(pattern.data(), 2348, 4), (Bytes{0x72, 0xDD, 0xE5, 0x99}));
    EXPECT_EQ(Slice(plain, 16, 2048), Bytes(user, user + sizeof user));
}

TEST_P(SectorVectors, HeaderCarriesTheBlockAddress) {
    struct Case {
        int32_t lba;
        Bytes header;
    };
    const Case cases[] = {
        {-11635, {0x97, 0x26, 0x65, 0x01}},  // a usual lead-in start
        {-151, {0x99, 0x59, 0x74, 0x01}},    // last lead-in block
        {-150, {0x00, 0x00, 0x00, 0x01}},    // pregap
        {-1, {0x00, 0x01, 0x74, 0x01}},
        {4499 - 150, {0x00, 0x59, 0x74, 0x01}},
        {333000, {0x74, 0x02, 0x00, 0x01}},
    };
    for (const Case& c : cases) {
        uint8_t sector[kRawSectorSize];
        EncodeMode1Sector(c.lba, nullptr, sector, false, GetParam());
        EXPECT_EQ(Slice(sector, 12, 4), c.header) << c.lba;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, SectorVectors, ::testing::ValuesIn(AvailableKernels().begin(), AvailableKernels().end()),
                         [](const auto& info) {
                             std::string name;
                             for (const char* c = KernelName(info.param); *c && std::isalnum(static_cast<unsigned char>(*c)); ++c) name += *c;
                             return name;
                         });

TEST(Msf, LeadInTimesWrapToNegativeBlocks) {
    EXPECT_EQ(MsfToLba(Msf{97, 26, 65}), -11635);
    EXPECT_EQ(MsfToLba(Msf{90, 0, 0}), kFirstLeadInLba);
    EXPECT_EQ(MsfToLba(Msf{0, 2, 0}), 0);
    for (int32_t lba : {-45150, -11635, -151, -150, -1, 0, 74, 75, 404849}) {
        const Msf msf = LbaToMsf(lba);
        EXPECT_EQ(MsfToLba(msf), lba);
    }
}

TEST(Kernels, BestIsAvailableAndBaselineAlwaysThere) {
    EXPECT_TRUE(KernelAvailable(BestKernel()));
    EXPECT_TRUE(KernelAvailable(Kernel::Scalar));
    EXPECT_TRUE(KernelAvailable(Kernel::Swar64));
#if defined(__x86_64__) || defined(_M_X64)
    EXPECT_TRUE(KernelAvailable(Kernel::Sse2));
#endif
}

}  // namespace
}  // namespace burnlib::cd
