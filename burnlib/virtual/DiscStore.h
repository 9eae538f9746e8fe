// What was written on a virtual disc, kept in a file: block n of 2048 bytes at byte n * 2048 (or
// raw blocks one after another). Nothing of the disc is held in memory, whatever its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace burnlib {

class DiscStore {
public:
    // A file in the system's temporary folder, deleted with the store. Null, with *error, when
    // none can be made.
    static std::shared_ptr<DiscStore> CreateTemporary(std::string* error);
    // The file at path, made when missing and emptied when truncate is set. Null, with *error,
    // when it cannot be opened for reading and writing.
    static std::shared_ptr<DiscStore> Open(const std::filesystem::path& path, bool truncate, std::string* error);
    // Keeps nothing: writes only count, reads give zeros. For measuring a writer, not a disc.
    static std::shared_ptr<DiscStore> CreateDiscarding();

    DiscStore(const DiscStore&) = delete;
    DiscStore& operator=(const DiscStore&) = delete;
    ~DiscStore();

    bool Write(uint64_t offset, const uint8_t* data, size_t bytes);
    // Bytes past the end of the file read as zeros (never written).
    bool Read(uint64_t offset, uint8_t* data, size_t bytes);
    bool Truncate();
    bool Flush();
    uint64_t Size() const { return m_size; }
    const std::filesystem::path& Path() const { return m_path; }
    // Copies another store's bytes into this one, from offset 0.
    bool CopyFrom(DiscStore& other);

private:
    DiscStore(std::filesystem::path path, bool temporary);
    bool OpenStream(bool truncate);

    std::filesystem::path m_path;
    bool m_temporary;
    bool m_discarding = false;
    std::fstream m_file;
    uint64_t m_size = 0;
};

}  // namespace burnlib
