// The image page in the real wizard: the open dialog driven as a user drives it, the size line,
// the Next button and the refusals.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "res/resource.h"
#include "tests/pages/PageWizard.h"

namespace {

constexpr int64_t kCdCapacity = 736966656;  // 359,847 blocks: shown as 702.00

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    ::GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

// A file of the given size; its contents are never read, so it may be sparse.
bool MakeFile(const std::string& path, int64_t bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    size.QuadPart = bytes;
    bool ok = ::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    return ok;
}

std::string SizeLine(const char* file, const char* disc) {
    return std::string("File size: ") + file + " Mb      Disc size: " + disc + " Mb";
}

class ImagePage : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& path : m_files) ::DeleteFileA(path.c_str());
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it) ::RemoveDirectoryA(it->c_str());
    }
    std::string File(const std::string& name, int64_t bytes) {
        std::string path = TempPath(name);
        m_files.push_back(path);
        EXPECT_TRUE(MakeFile(path, bytes)) << path;
        return path;
    }

    // The text of the message box that appears next, which is closed with OK.
    std::string TakeErrorBox() const {
        HWND box = WaitForDialogOfThread(m_uiThread);
        if (!box) return "(no message box)";
        MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_TRUE(info.hasIcon);
        PressDialogButton(box, IDOK);
        PollUntil([&] { return !::IsWindowVisible(box); });
        return info.text;
    }

    std::vector<std::string> m_files;
    std::vector<std::string> m_dirs;
    DWORD m_uiThread = ::GetCurrentThreadId();
};

}  // namespace

TEST_F(ImagePage, SizesInWholeMebibytesAndNextOnlyWithAPath) {
    const std::string cdImage = File("qf-image-700.iso", 734003200);
    const std::string small = File("qf-image-small.iso", 1048575);
    PageWizard sheet(kImagePage);
    sheet.m_selectedDevice.m_freeBytes = kCdCapacity;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        EXPECT_EQ(driver.ControlText(IDC_IMAGE_INFO), SizeLine("0.00", "702.00"));
        EXPECT_EQ(driver.ControlText(IDC_IMAGE_PATH), "");
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonBack); }));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonNext));

        ASSERT_TRUE(driver.ChooseFile(IDC_BROWSE, cdImage));
        EXPECT_TRUE(PollUntil([&] {
            return driver.ControlText(IDC_IMAGE_INFO) == SizeLine("700.00", "702.00");
        })) << driver.ControlText(IDC_IMAGE_INFO);
        EXPECT_EQ(driver.ControlText(IDC_IMAGE_PATH), cdImage);
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonNext); }));

        ASSERT_TRUE(driver.ChooseFile(IDC_BROWSE, small));
        EXPECT_TRUE(PollUntil([&] {
            return driver.ControlText(IDC_IMAGE_INFO) == SizeLine("0.00", "702.00");
        })) << driver.ControlText(IDC_IMAGE_INFO);

        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kModePage));
    });
    EXPECT_STREQ(sheet.m_imagePath, small.c_str());
}

// The file is checked again on Next, not trusted from the browse; an image larger than the disc
// is not this page's affair.
TEST_F(ImagePage, FileGoneSinceBrowsingIsRefusedAndALargeImagePasses) {
    const std::string image = File("qf-image-gone.iso", 3 * 1048576);
    PageWizard sheet(kImagePage);
    sheet.m_selectedDevice.m_freeBytes = 1048576;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        ASSERT_TRUE(driver.ChooseFile(IDC_BROWSE, image));
        EXPECT_TRUE(PollUntil([&] {
            return driver.ControlText(IDC_IMAGE_INFO) == SizeLine("3.00", "1.00");
        })) << driver.ControlText(IDC_IMAGE_INFO);
        ASSERT_TRUE(::DeleteFileA(image.c_str()));

        driver.Press(PSBTN_NEXT);
        EXPECT_EQ(TakeErrorBox(), "Incorrect image file path");
        EXPECT_EQ(driver.ActivePage(), sheet.GetPage(kImagePage)->m_hWnd);
        EXPECT_EQ(driver.ControlText(IDC_IMAGE_PATH), image);

        ASSERT_TRUE(MakeFile(image, 3 * 1048576));
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kModePage));
    });
    EXPECT_STREQ(sheet.m_imagePath, image.c_str());
}

// The path field is read-only to the user; the program itself puts text into it, as a test may.
TEST_F(ImagePage, EmptyPathIsRefusedAndTheStoredPathIsTrimmed) {
    const std::string image = File("qf-image-trim.iso", 4096);
    PageWizard sheet(kImagePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        HWND edit = ::GetDlgItem(driver.ActivePage(), IDC_IMAGE_PATH);
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(" \t "));
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonBack); }));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonNext));
        driver.Press(PSBTN_NEXT);
        EXPECT_EQ(TakeErrorBox(), "Image file don't specified");
        EXPECT_EQ(driver.ActivePage(), sheet.GetPage(kImagePage)->m_hWnd);

        std::string padded = "  " + image + " \t";
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(padded.c_str()));
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonNext); }));
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kModePage));
    });
    EXPECT_STREQ(sheet.m_imagePath, image.c_str());
}

// The wizard's field holds 259 characters: a readable file with a 260-character path, and a
// 400-character path, are refused whole, although their first 259 characters name another
// readable file; that 259-character path itself is taken.
TEST_F(ImagePage, PathLongerThanTheWizardHoldsIsRefused) {
    std::string dir = TempPath("qf-long-path-");
    dir += std::string(200 - dir.size(), 'd');
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    m_dirs.push_back(dir);
    std::string shorter = dir + "\\" + std::string(259 - dir.size() - 5, 'f') + ".iso";
    ASSERT_EQ(shorter.size(), 259u);
    const std::string longer = shorter + "x";
    m_files.push_back(shorter);
    m_files.push_back(longer);
    ASSERT_TRUE(MakeFile(shorter, 4096));
    ASSERT_TRUE(MakeFile(longer, 4096)) << "the system cannot make a 260-character path";

    PageWizard sheet(kImagePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        HWND edit = ::GetDlgItem(driver.ActivePage(), IDC_IMAGE_PATH);
        for (const std::string& path : {longer, shorter + std::string(141, 'x')}) {
            SCOPED_TRACE(path.size());
            ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonNext); }));
            driver.Press(PSBTN_NEXT);
            EXPECT_EQ(TakeErrorBox(), "Incorrect image file path");
            EXPECT_EQ(driver.ActivePage(), sheet.GetPage(kImagePage)->m_hWnd);
        }
        ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(shorter.c_str()));
        EXPECT_TRUE(PollUntil([&] { return driver.IsButtonEnabled(kButtonNext); }));
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kModePage));
    });
    EXPECT_STREQ(sheet.m_imagePath, shorter.c_str());
}
