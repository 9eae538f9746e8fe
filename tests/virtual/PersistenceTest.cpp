// A disc kept in a store folder: the user data in <letter>.iso from block 0, its state beside it,
// and a recorder made later on the same folder finds the same written disc.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "burnlib/virtual/DiscStateFile.h"
#include "tests/virtual/RecorderHarness.h"

using namespace burnlib;
using namespace qftest;

namespace fs = std::filesystem;

namespace {

class Folder {
public:
    Folder() {
        m_path = fs::temp_directory_path() /
                 ("qf-virtual-discs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string Path() const { return m_path.string(); }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::unique_ptr<VirtualRecorder> InFolder(const char* medium, const Folder& folder) {
    auto r = MakeRecorder("dvd-dl-writer", medium);
    r->SetStoreFolder(folder.Path(), 'E');
    EXPECT_EQ(r->StoreError(), "");
    TestUnitReady(*r);
    return r;
}

}  // namespace

TEST(Persistence, AWrittenDiscIsTheSameWrittenDiscForTheNextRecorder) {
    Folder folder;
    {
        auto r = InFolder("cd-r-blank", folder);
        ASSERT_TRUE(Write10(*r, 0, 40, Blocks(0, 40)).Good());
        ASSERT_TRUE(SynchronizeCache(*r).Good());
        ASSERT_TRUE(Close(*r, 1, 1).Good());
        ASSERT_TRUE(Close(*r, 2).Good());
        EXPECT_EQ(FileBytes(folder / "E.iso"), Blocks(0, 40));  // there as soon as written
    }
    auto next = InFolder("cd-r-blank", folder);
    Answer disc = ReadDiscInfo(*next);
    ASSERT_TRUE(disc.Good());
    EXPECT_EQ(disc.data[2] & 0x03, 2);  // finalized, not blank
    Answer toc = ReadToc(*next, 0, false);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(Be32(toc.data, 16), 40u);
    EXPECT_EQ(Read10(*next, 0, 40).data, Blocks(0, 40));
    EXPECT_EQ(next->ReadUserData(0, 40), Blocks(0, 40));
}

TEST(Persistence, AnOpenDiscIsAppendedToInTheNextRun) {
    Folder folder;
    {
        auto r = InFolder("dvd+r-blank", folder);
        ASSERT_TRUE(Write10(*r, 0, 32, Blocks(0, 32)).Good());
        ASSERT_TRUE(SynchronizeCache(*r).Good());
    }
    auto next = InFolder("dvd+r-blank", folder);
    EXPECT_EQ(ReadDiscInfo(*next).data.at(2) & 0x0F, 0x05);  // the session is still open
    EXPECT_EQ(Write10(*next, 0, 16, Blocks(0, 16)).Sense(), "05/21/02");
    EXPECT_TRUE(Write10(*next, 32, 16, Blocks(32, 16)).Good());
    EXPECT_EQ(FileBytes(folder / "E.iso"), Blocks(0, 48));
}

// The state left by another kind of disc does not stand for the one in the drive now.
TEST(Persistence, ADiscOfAnotherKindStartsAfresh) {
    Folder folder;
    {
        auto r = InFolder("cd-r-blank", folder);
        ASSERT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
        ASSERT_TRUE(SynchronizeCache(*r).Good());
    }
    auto other = InFolder("dvd+r-blank", folder);
    EXPECT_EQ(ReadDiscInfo(*other).data.at(2) & 0x03, 0);
    EXPECT_FALSE(fs::exists(folder / "E.iso"));
}

TEST(Persistence, ATestWriteLeavesTheFilesAlone) {
    Folder folder;
    auto r = InFolder("cd-r-blank", folder);
    ASSERT_TRUE(SetWritePage(*r, [](std::vector<uint8_t>& p) { p[2] |= 0x10; }).Good());
    ASSERT_TRUE(Write10(*r, 0, 16, Blocks(0, 16)).Good());
    ASSERT_TRUE(SynchronizeCache(*r).Good());
    EXPECT_FALSE(fs::exists(folder / "E.iso"));
    Medium saved;
    ASSERT_TRUE(LoadMediumState(folder / "E.state", &saved, nullptr));
    EXPECT_EQ(saved.state, DiscState::Blank);
}

TEST(Persistence, StateFileRoundTripsAndRefusesDamage) {
    Medium m = *MediumByName("dvd-r-blank");
    m.state = DiscState::Appendable;
    m.lastSessionOpen = true;
    RecordedTrack t;
    t.start = 0;
    t.length = 48;
    t.complete = false;
    t.incremental = true;
    t.control = 5;
    m.tracks = {t};
    Medium back;
    std::string error;
    ASSERT_TRUE(ParseMediumState(DescribeMediumState(m), &back, &error)) << error;
    EXPECT_EQ(DescribeMediumState(back), DescribeMediumState(m));
    EXPECT_EQ(back.tracks.at(0).length, 48u);
    EXPECT_FALSE(back.tracks.at(0).complete);

    std::string text = DescribeMediumState(m);
    EXPECT_FALSE(ParseMediumState(text.substr(0, text.size() / 2) + "track x\n", &back, &error));
    EXPECT_NE(error.find("line"), std::string::npos);
    EXPECT_FALSE(ParseMediumState("something else\n", &back, &error));
    EXPECT_FALSE(ParseMediumState("", &back, &error));
}
