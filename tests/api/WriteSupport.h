// What the write-call tests share: image files made in the test, a drive object created for
// burning with its progress recorded, and the four write calls with the burn worker's arguments.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "burnlib/api/StarBurn.h"
#include "tests/api/Session.h"

namespace apitest {

// A file in the temporary folder, removed with the object.
class ImageFile {
public:
    ImageFile(const std::string& name, const std::vector<uint8_t>& bytes);
    // A sparse file of `bytes` zero bytes (nothing is written to the disk).
    ImageFile(const std::string& name, uint64_t bytes);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    const std::string& Path() const { return m_path; }
    std::filesystem::path FsPath() const { return m_fsPath; }

private:
    std::filesystem::path m_fsPath;
    std::string m_path;
};

// `bytes` bytes in which every 2048-byte block differs from the others.
std::vector<uint8_t> Pattern(size_t bytes);
// The bytes padded with zeros to whole 2048-byte blocks.
std::vector<uint8_t> PadToBlocks(std::vector<uint8_t> bytes);

enum class Method { TrackAtOnce, SessionAtOnce, DiscAtOncePq, DiscAtOnceRawPw };
const char* MethodName(Method method);

class Burner {
public:
    // probing 0 as the burn worker creates its drive object.
    explicit Burner(const char* device = "CdRom0", uint32_t probing = 0);
    ~Burner();
    Burner(const Burner&) = delete;
    Burner& operator=(const Burner&) = delete;

    STARBURN_GRABBER Handle() const { return m_grabber; }
    // The write call of `method` with (data mode 0, testWrite, multisession 0, copy 0, lock 1,
    // 5 MB) unless told otherwise.
    uint32_t Write(Method method, const std::string& path, uint32_t testWrite = 0,
                   uint32_t bufferMegabytes = 5);
    uint32_t CloseSession();
    uint32_t Eject();

    // Progress reports (reason 12) as {done, total}.
    std::vector<std::pair<int64_t, int64_t>> Progress() const;
    std::function<void(int64_t done, int64_t total)> onProgress;

    Errors errors;

private:
    static void Callback(uint32_t reason, void* context, void* data1, void* data2);

    STARBURN_GRABBER m_grabber = nullptr;
    mutable std::mutex m_lock;
    std::vector<std::pair<int64_t, int64_t>> m_progress;
};

STARBURN_SESSION_LAYOUT SessionLayout(const std::string& path);
STARBURN_DISC_LAYOUT DiscLayout(const std::string& path);

}  // namespace apitest
