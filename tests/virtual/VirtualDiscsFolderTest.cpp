// QuillfireVirtual.exe's drives keep their discs in the discs folder, one set of files per drive.
#include <gtest/gtest.h>

#include <filesystem>

#include "burnlib/api/VirtualDeviceProvider.h"

using namespace burnlib;

namespace fs = std::filesystem;

namespace {

ScsiResult Send(ScsiTransport& t, std::initializer_list<uint8_t> cdb, std::vector<uint8_t>* data,
                DataDirection direction) {
    ScsiRequest request;
    std::copy(cdb.begin(), cdb.end(), request.cdb);
    request.cdbLength = static_cast<uint8_t>(cdb.size());
    if (data != nullptr) {
        request.direction = direction;
        request.data = data->data();
        request.dataLength = static_cast<uint32_t>(data->size());
    }
    return t.Execute(request);
}

// The disc status of READ DISC INFORMATION byte 2, after the medium's unit attention.
int DiscStatusOfFirstDrive(DeviceProvider& provider) {
    OpenFailure failure;
    std::unique_ptr<ScsiTransport> t = provider.OpenByName("CdRom0", &failure);
    if (!t) return -1;
    Send(*t, {0x00, 0, 0, 0, 0, 0}, nullptr, DataDirection::None);
    std::vector<uint8_t> info(34);
    if (!Send(*t, {0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, &info, DataDirection::In).Good()) return -1;
    return info[2] & 0x03;
}

}  // namespace

TEST(VirtualDiscsFolder, SettingWinsEmptyMeansNoneDefaultIsBesideTheProgram) {
    EXPECT_EQ(VirtualDiscsFolder("D:\\discs", "C:\\prog"), "D:\\discs");
    EXPECT_EQ(VirtualDiscsFolder("", "C:\\prog"), "");
    EXPECT_EQ(VirtualDiscsFolder("-", "C:\\prog"), "");
    EXPECT_EQ(fs::path(VirtualDiscsFolder(nullptr, "prog")), fs::path("prog") / "VirtualDiscs");
    EXPECT_EQ(VirtualDiscsFolder(nullptr, ""), "");
}

TEST(VirtualDiscsFolder, ADiscBurnedInOneRunIsNotBlankInTheNext) {
    const fs::path folder = fs::temp_directory_path() / "qf-virtual-discs-provider-test";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    {
        auto provider = MakeVirtualDeviceProviderFromLine("cdrw-writer:cd-r-blank@G,cdrw-writer:cd-r-blank",
                                                          folder.string().c_str());
        ASSERT_EQ(DiscStatusOfFirstDrive(*provider), 0);
        OpenFailure failure;
        std::unique_ptr<ScsiTransport> t = provider->OpenByName("CdRom0", &failure);
        ASSERT_TRUE(t);
        std::vector<uint8_t> blocks(16 * 2048, 0x5A);
        EXPECT_TRUE(Send(*t, {0x2A, 0, 0, 0, 0, 0, 0, 0, 16, 0}, &blocks, DataDirection::Out).Good());
        EXPECT_TRUE(Send(*t, {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr, DataDirection::None).Good());
    }
    EXPECT_EQ(fs::file_size(folder / "G.iso"), 16u * 2048u);
    EXPECT_TRUE(fs::exists(folder / "1.state"));  // the drive without a letter, by its index
    auto next = MakeVirtualDeviceProviderFromLine("cdrw-writer:cd-r-blank@G", folder.string().c_str());
    EXPECT_EQ(DiscStatusOfFirstDrive(*next), 1);  // incomplete: written, not blank
    auto elsewhere = MakeVirtualDeviceProviderFromLine("cdrw-writer:cd-r-blank@G", nullptr);
    EXPECT_EQ(DiscStatusOfFirstDrive(*elsewhere), 0);
    next.reset();
    fs::remove_all(folder, ignored);
}
