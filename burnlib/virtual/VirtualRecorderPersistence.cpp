// Where a virtual disc's data lives: a temporary file, or the files of a store folder that keep
// the disc from one run of the program to the next.
#include <cstdio>
#include <string>

#include "burnlib/virtual/DiscStateFile.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

namespace fs = std::filesystem;

fs::path VirtualRecorder::StorePath(const char* extension) const {
    return fs::path(m_storeFolder) / (std::string(1, m_storeLetter) + extension);
}

bool VirtualRecorder::EnsureUserStore(Medium& m) {
    if (m.userData) return true;
    std::string error;
    m.userData = !m_keepWrittenData        ? DiscStore::CreateDiscarding()
                 : m_storeFolder.empty() ? DiscStore::CreateTemporary(&error)
                                         : DiscStore::Open(StorePath(".iso"), true, &error);
    if (!m.userData) m_storeError = error;
    return m.userData != nullptr;
}

// Only the real disc is saved: a test write leaves the files as they were, and so does an empty
// drive (the files keep the disc that was taken out).
void VirtualRecorder::SaveState() {
    if (m_storeFolder.empty() || m_medium.profile == kProfileNone) return;
    std::string error;
    if (!SaveMediumState(StorePath(".state"), m_medium, &error)) m_storeError = error;
}

// The raw blocks of a raw write, one after another in address order, and the description the
// raw file checkers read: first block, count and block size.
void VirtualRecorder::AppendRawBlocks(int32_t first, uint32_t blocks, uint32_t blockSize, const uint8_t* data) {
    if (m_storeFolder.empty()) return;
    std::string error;
    const bool starting = !m_rawStore;
    if (starting) m_rawStore = DiscStore::Open(StorePath(".raw"), true, &error);
    if (!m_rawStore) {
        m_storeError = error;
        return;
    }
    const uint64_t offset = m_rawStore->Size();
    if (!m_rawStore->Write(offset, data, size_t{blocks} * blockSize)) {
        m_storeError = "cannot write " + StorePath(".raw").string();
        return;
    }
    const uint64_t count = m_rawStore->Size() / blockSize;
    const int32_t firstBlock = first - static_cast<int32_t>(offset / blockSize);
    FILE* text = std::fopen(StorePath(".txt").string().c_str(), "wb");
    if (text == nullptr) {
        m_storeError = "cannot write " + StorePath(".txt").string();
        return;
    }
    std::fprintf(text, "first %d\ncount %llu\nblocksize %u\n", firstBlock, static_cast<unsigned long long>(count),
                 blockSize);
    std::fclose(text);
}

void VirtualRecorder::SetStoreFolder(std::string folder, char letter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_storeError.clear();
    std::error_code code;
    fs::create_directories(folder, code);
    if (code || folder.empty() || letter == 0) {
        m_storeError = folder.empty() || letter == 0 ? "a store folder needs a folder and a drive letter"
                                                     : "cannot make the folder " + folder + ": " + code.message();
        return;
    }
    m_storeFolder = std::move(folder);
    m_storeLetter = letter;
    m_rawStore.reset();

    // A disc of the same kind left there by an earlier run is the disc in the drive now.
    Medium saved;
    std::string error;
    if (fs::exists(StorePath(".state"), code) && LoadMediumState(StorePath(".state"), &saved, &error)) {
        const bool sameKind = !saved.shortName.empty() && !m_medium.shortName.empty()
                                  ? saved.shortName == m_medium.shortName
                                  : saved.profile == m_medium.profile;
        if (sameKind && m_medium.profile != kProfileNone) {
            if (!saved.tracks.empty() || IsOverwritableProfile(saved.profile)) {
                saved.userData = DiscStore::Open(StorePath(".iso"), false, &error);
                if (!saved.userData) m_storeError = error;
            }
            saved.becomingReadyCalls = m_medium.becomingReadyCalls;
            m_medium = std::move(saved);
            EndSimulation();
            m_mastering.reset();
            return;
        }
    } else if (!error.empty()) {
        m_storeError = error;  // a damaged state is replaced by the disc in the drive
    }
    // Otherwise the disc in the drive moves into the folder, with what it holds so far.
    if (m_medium.userData) {
        std::shared_ptr<DiscStore> file = DiscStore::Open(StorePath(".iso"), true, &error);
        if (file && file->CopyFrom(*m_medium.userData))
            m_medium.userData = file;
        else
            m_storeError = file ? "cannot copy the disc into " + StorePath(".iso").string() : error;
    } else {
        fs::remove(StorePath(".iso"), code);
    }
    fs::remove(StorePath(".raw"), code);
    fs::remove(StorePath(".txt"), code);
    SaveState();
}

void VirtualRecorder::SetKeepWrittenData(bool keep) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepWrittenData = keep;
}

std::string VirtualRecorder::StoreError() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_storeError;
}

std::vector<uint8_t> VirtualRecorder::ReadUserData(int32_t lba, uint32_t blocks) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uint8_t> data(size_t{blocks} * 2048u, 0);
    if (lba >= 0 && m_medium.userData) m_medium.userData->Read(uint64_t(lba) * 2048u, data.data(), data.size());
    return data;
}

}  // namespace burnlib
