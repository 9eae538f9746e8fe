#include <gtest/gtest.h>

#include <mbctype.h>

#include "app/QuillfireApp.h"

namespace {
// Restores the multibyte code page a test changed.
class CodePage {
public:
    explicit CodePage(int page) : m_previous(_getmbcp()) { m_ok = _setmbcp(page) == 0; }
    ~CodePage() { _setmbcp(m_previous); }
    bool ok() const { return m_ok; }

private:
    int m_previous;
    bool m_ok = false;
};
}  // namespace

TEST(AppDirectory, KeepsEverythingUpToTheLastBackslash) {
    EXPECT_EQ(AppDirectoryOf("C:\\Programs\\Q\\Quillfire.exe"), "C:\\Programs\\Q\\");
    EXPECT_EQ(AppDirectoryOf("C:\\q.exe"), "C:\\");
    EXPECT_EQ(AppDirectoryOf("\\\\server\\share\\q.exe"), "\\\\server\\share\\");
}

TEST(AppDirectory, PathWithoutBackslashGivesEmptyDirectory) {
    EXPECT_EQ(AppDirectoryOf("q.exe"), "");
    EXPECT_EQ(AppDirectoryOf(""), "");
    EXPECT_EQ(AppDirectoryOf(nullptr), "");
}

TEST(AppDirectory, TrailByte0x5COfADoubleByteCharacterIsNoBackslash) {
    CodePage japanese(932);
    ASSERT_TRUE(japanese.ok());
    // 0x95 0x5C is one character in code page 932; its second byte looks like a backslash.
    EXPECT_EQ(AppDirectoryOf("C:\\\x95\x5C\\\x95\x5C.exe"), "C:\\\x95\x5C\\");
    EXPECT_EQ(AppDirectoryOf("C:\\dir\\\x95\x5Cq.exe"), "C:\\dir\\");
    EXPECT_EQ(AppDirectoryOf("\x95\x5C.exe"), "");
}

TEST(AppDirectory, SkinAndHelpPathsFollowTheDirectory) {
    // The two files beside the program are found by appending their names.
    EXPECT_EQ(AppDirectoryOf("C:\\q.exe") + "skin.skf", "C:\\skin.skf");
    EXPECT_EQ(AppDirectoryOf("q.exe") + "help.chm", "help.chm");
}
