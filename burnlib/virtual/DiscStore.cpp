#include "burnlib/virtual/DiscStore.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <vector>

namespace burnlib {

namespace fs = std::filesystem;

DiscStore::DiscStore(fs::path path, bool temporary) : m_path(std::move(path)), m_temporary(temporary) {}

DiscStore::~DiscStore() {
    m_file.close();
    if (m_temporary) {
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
}

bool DiscStore::OpenStream(bool truncate) {
    m_file.close();
    m_file.clear();
    std::error_code error;
    if (truncate || !fs::exists(m_path, error)) {
        // fstream opens for in|out only when the file exists.
        std::ofstream create(m_path, std::ios::binary | std::ios::trunc);
        if (!create) return false;
    }
    m_file.open(m_path, std::ios::binary | std::ios::in | std::ios::out);
    if (!m_file) return false;
    m_file.seekg(0, std::ios::end);
    const std::streamoff end = m_file.tellg();
    m_size = end > 0 ? static_cast<uint64_t>(end) : 0;
    return true;
}

std::shared_ptr<DiscStore> DiscStore::CreateTemporary(std::string* error) {
    static std::atomic<uint32_t> counter{0};
    std::error_code code;
    const fs::path folder = fs::temp_directory_path(code);
    if (code) {
        if (error != nullptr) *error = "no temporary folder for the virtual disc: " + code.message();
        return nullptr;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string name =
            "quillfire-disc-" + std::to_string(random()) + "-" + std::to_string(++counter) + ".tmp";
        const fs::path path = folder / name;
        if (fs::exists(path, code)) continue;
        std::shared_ptr<DiscStore> store(new DiscStore(path, true));
        if (store->OpenStream(true)) return store;
    }
    if (error != nullptr) *error = "cannot create a temporary file for the virtual disc in " + folder.string();
    return nullptr;
}

std::shared_ptr<DiscStore> DiscStore::Open(const fs::path& path, bool truncate, std::string* error) {
    std::shared_ptr<DiscStore> store(new DiscStore(path, false));
    if (!store->OpenStream(truncate)) {
        if (error != nullptr) *error = "cannot open " + path.string() + " for reading and writing";
        return nullptr;
    }
    return store;
}

std::shared_ptr<DiscStore> DiscStore::CreateDiscarding() {
    std::shared_ptr<DiscStore> store(new DiscStore({}, false));
    store->m_discarding = true;
    return store;
}

bool DiscStore::Write(uint64_t offset, const uint8_t* data, size_t bytes) {
    if (m_discarding) {
        m_size = std::max<uint64_t>(m_size, offset + bytes);
        return true;
    }
    m_file.clear();
    m_file.seekp(static_cast<std::streamoff>(offset));
    m_file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(bytes));
    if (!m_file) return false;
    m_size = std::max<uint64_t>(m_size, offset + bytes);
    return true;
}

bool DiscStore::Read(uint64_t offset, uint8_t* data, size_t bytes) {
    std::memset(data, 0, bytes);
    if (offset >= m_size || m_discarding) return true;
    const size_t available = static_cast<size_t>(std::min<uint64_t>(bytes, m_size - offset));
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(offset));
    m_file.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(available));
    return static_cast<bool>(m_file);
}

bool DiscStore::Truncate() {
    if (m_discarding) {
        m_size = 0;
        return true;
    }
    return OpenStream(true);
}

bool DiscStore::Flush() {
    if (m_discarding) return true;
    m_file.clear();
    m_file.flush();
    return static_cast<bool>(m_file);
}

bool DiscStore::CopyFrom(DiscStore& other) {
    if (!Truncate()) return false;
    std::vector<uint8_t> chunk(1 << 20);
    for (uint64_t at = 0; at < other.Size(); at += chunk.size()) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), other.Size() - at));
        if (!other.Read(at, chunk.data(), n) || !Write(at, chunk.data(), n)) return false;
    }
    return Flush();
}

}  // namespace burnlib
