// An image whose path holds double-byte characters of code page 932, some with a trail byte that
// reads as a backslash (0x5C), burned by the real worker: the path must reach the file unchanged.
// Runs with the Japanese ANSI code page (LC_ALL=ja_JP.UTF-8 under Wine).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/reliability/Workload.h"

namespace {

std::string Ansi(const std::wstring& wide) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

}  // namespace

TEST(DoubleBytePath, AnImageInAFolderWithTrailBackslashBytesIsBurned) {
    ASSERT_EQ(::GetACP(), 932u) << "run with the Japanese ANSI code page";
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // ソ is 83 5C and 表 is 95 5C in code page 932: a byte-wise search for '\' splits them.
    const std::wstring folder = std::wstring(temp) + L"\x30BD\x30D5\x30C8\x8868";
    const std::wstring file = folder + L"\\\x8868\x793A\x30C7\x30A3\x30B9\x30AF.iso";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
        << "error " << ::GetLastError();
    std::vector<char> bytes(200 * 2048);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 2048 + 1);
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);

    const std::string path = Ansi(file);
    ASSERT_NE(path.find('\x5C', Ansi(folder).size() - 1), std::string::npos);
    reliability::Workload work;
    for (int32_t method : {0, 1, 3}) {
        SCOPED_TRACE(method);
        work.InsertFreshDisc();
        const reliability::BurnOutcome outcome = work.Burn(method, path);
        ASSERT_TRUE(outcome.succeeded) << outcome.lastRow();
        EXPECT_EQ(work.CdWriter().ReadUserData(0, 200),
                  std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
