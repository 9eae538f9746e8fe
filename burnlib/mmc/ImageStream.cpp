#include "burnlib/mmc/ImageStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace burnlib::mmc {

namespace {

// errno for the text; on Windows the runtime keeps the system's own code in _doserrno.
struct SystemFailure {
    int errorNumber = 0;
    uint32_t systemError = 0;
};

void ClearSystemFailure() {
    errno = 0;
#ifdef _WIN32
    _doserrno = 0;
#endif
}

SystemFailure CaptureSystemFailure() {
    SystemFailure failure;
    failure.errorNumber = errno;
    failure.systemError = static_cast<uint32_t>(failure.errorNumber);
#ifdef _WIN32
    if (_doserrno != 0) failure.systemError = static_cast<uint32_t>(_doserrno);
#endif
    return failure;
}

std::string Describe(int errorNumber, uint32_t systemError) {
    // generic_category, not strerror: the reader thread formats texts too.
    std::string text = errorNumber != 0 ? std::generic_category().message(errorNumber) : "unknown error";
    return text + " (system error " + std::to_string(systemError) + ")";
}

std::string Quoted(const std::string& name) { return "The image file \"" + name + "\""; }

#ifdef _WIN32
int Seek64(std::FILE* file, int64_t offset, int origin) { return _fseeki64(file, offset, origin); }
int64_t Tell64(std::FILE* file) { return _ftelli64(file); }
bool IsRegularFile(std::FILE* file) {
    struct _stat64 status;
    return _fstat64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
}
#else
int Seek64(std::FILE* file, int64_t offset, int origin) { return fseeko(file, static_cast<off_t>(offset), origin); }
int64_t Tell64(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }
bool IsRegularFile(std::FILE* file) {
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}
#endif

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Unbuffered, so fread puts the bytes straight into the ring's chunk.
class FileImageSource final : public ImageSource {
public:
    explicit FileImageSource(FilePtr file) : m_file(std::move(file)) {}

    Result Read(uint8_t* into, size_t bytes) override {
        Result result;
        ClearSystemFailure();
        result.bytes = std::fread(into, 1, bytes, m_file.get());
        if (result.bytes < bytes && std::ferror(m_file.get())) {
            const SystemFailure failure = CaptureSystemFailure();
            result.failed = true;
            result.errorNumber = failure.errorNumber;
            result.systemError = failure.systemError;
        }
        return result;
    }

private:
    FilePtr m_file;
};

}  // namespace

std::unique_ptr<ImageStream> ImageStream::Open(const std::string& path, std::string* error,
                                               uint32_t* systemError) {
    std::string localError;
    uint32_t localSystemError = 0;
    if (error == nullptr) error = &localError;
    if (systemError == nullptr) systemError = &localSystemError;
    error->clear();
    *systemError = 0;

    // The path stays in the ANSI code page, which is what fopen takes on Windows.
    ClearSystemFailure();
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        const SystemFailure failure = CaptureSystemFailure();
        *error = Quoted(path) + " cannot be opened: " + Describe(failure.errorNumber, failure.systemError) + ".";
        *systemError = failure.systemError;
        return nullptr;
    }
    if (!IsRegularFile(file.get())) {
        *error = Quoted(path) + " cannot be read: it is not a file.";
        return nullptr;
    }
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    ClearSystemFailure();
    int64_t size = -1;
    if (Seek64(file.get(), 0, SEEK_END) == 0) size = Tell64(file.get());
    if (size < 0 || Seek64(file.get(), 0, SEEK_SET) != 0) {
        const SystemFailure failure = CaptureSystemFailure();
        *error = "The size of the image file \"" + path +
                 "\" cannot be read: " + Describe(failure.errorNumber, failure.systemError) + ".";
        *systemError = failure.systemError;
        return nullptr;
    }
    return FromSource(std::make_unique<FileImageSource>(std::move(file)), static_cast<uint64_t>(size), path);
}

std::unique_ptr<ImageStream> ImageStream::FromSource(std::unique_ptr<ImageSource> source, uint64_t bytes,
                                                     std::string name) {
    return std::unique_ptr<ImageStream>(new ImageStream(std::move(source), bytes, std::move(name)));
}

ImageStream::ImageStream(std::unique_ptr<ImageSource> source, uint64_t bytes, std::string name)
    : m_source(std::move(source)), m_fileBytes(bytes), m_name(std::move(name)) {}

ImageStream::~ImageStream() { Stop(); }

void ImageStream::Start(uint32_t chunkBytes, uint64_t ringBytes) {
    std::lock_guard threadLock(m_threadMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_started || m_stop) return;
    }
    // Whole blocks per chunk (rounded down, so the count still fits 32 bits); at least two chunks
    // in the ring, so reading and writing overlap, but never more than the image fills.
    chunkBytes = std::max(kBlockBytes, chunkBytes / kBlockBytes * kBlockBytes);
    const uint64_t imageChunks = (m_fileBytes + chunkBytes - 1) / chunkBytes;
    const uint64_t slots = std::min(std::max<uint64_t>(ringBytes / chunkBytes, 2), std::max<uint64_t>(imageChunks, 1));
    std::vector<AlignedBuffer> ring;
    try {
        ring.reserve(static_cast<size_t>(slots));
        for (uint64_t i = 0; i < slots; ++i) ring.emplace_back(chunkBytes);
    } catch (const std::bad_alloc&) {
        std::lock_guard lock(m_mutex);
        m_started = true;
        m_readerDone = m_failed = true;
        m_error = "There is not enough memory to read the image file \"" + m_name + "\" ahead (" +
                  std::to_string(slots * chunkBytes) + " bytes).";
        return;
    }

    std::lock_guard lock(m_mutex);
    m_slots = std::move(ring);
    m_slotBytes.assign(m_slots.size(), 0);
    m_started = true;
    try {
        m_reader = std::thread(&ImageStream::ReadAheadGuarded, this);
    } catch (const std::system_error& e) {
        m_readerDone = m_failed = true;
        m_error = "The image file \"" + m_name + "\" cannot be read ahead: no thread (" + e.what() + ").";
        m_systemError = static_cast<uint32_t>(e.code().value());
    }
}

void ImageStream::ReadAheadGuarded() {
    try {
        ReadAhead();
    } catch (const std::exception&) {
        // Only the error texts allocate; the writer must still hear that the stream has ended.
        std::lock_guard lock(m_mutex);
        m_readerDone = true;
        if (!m_stop) {
            m_failed = true;
            try {
                m_error = Quoted(m_name) + " could not be read: out of memory.";
            } catch (const std::exception&) {
            }
        }
        m_chunkReady.notify_all();
    }
}

void ImageStream::ReadAhead() {
    uint64_t offset = 0;
    while (offset < m_fileBytes) {
        size_t slot = 0;
        {
            std::unique_lock lock(m_mutex);
            m_slotFree.wait(lock, [&] { return m_stop || m_filled < m_slots.size(); });
            if (m_stop) return;
            slot = m_fillIndex;
        }
        // The slot is neither filled nor held: the writer does not look at it until it is counted.
        AlignedBuffer& chunk = m_slots[slot];
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(chunk.size(), m_fileBytes - offset));
        const ImageSource::Result result = m_source->Read(chunk.data(), wanted);
        if (result.failed) {
            Fail(Quoted(m_name) + " could not be read at byte " + std::to_string(offset + result.bytes) + ": " +
                     Describe(result.errorNumber, result.systemError) + ".",
                 result.systemError);
            return;
        }
        if (result.bytes < wanted) {
            Fail(Quoted(m_name) + " became shorter while it was being written: it had " + std::to_string(m_fileBytes) +
                     " bytes and now ends after " + std::to_string(offset + result.bytes) + ".",
                 0);
            return;
        }
        offset += wanted;
        const size_t padded = (wanted + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        std::memset(chunk.data() + wanted, 0, padded - wanted);
        {
            std::lock_guard lock(m_mutex);
            m_slotBytes[slot] = static_cast<uint32_t>(padded);
            m_fillIndex = (slot + 1) % m_slots.size();
            ++m_filled;
        }
        m_chunkReady.notify_one();
    }
    std::lock_guard lock(m_mutex);
    m_readerDone = true;
    m_chunkReady.notify_all();
}

// A failure after a Stop is the cancel's consequence, not the image's fault.
void ImageStream::Fail(std::string error, uint32_t systemError) {
    std::lock_guard lock(m_mutex);
    m_readerDone = true;
    if (!m_stop) {
        m_failed = true;
        m_error = std::move(error);
        m_systemError = systemError;
    }
    m_chunkReady.notify_all();
}

bool ImageStream::Acquire(const uint8_t** data, uint32_t* bytes) {
    *data = nullptr;
    *bytes = 0;
    std::unique_lock lock(m_mutex);
    if (m_holding) ReleaseLocked();
    if (!m_started) return false;
    m_chunkReady.wait(lock, [&] { return m_stop || m_failed || m_filled > 0 || m_readerDone; });
    if (m_stop || m_failed || m_filled == 0) return false;
    m_holding = true;
    *data = m_slots[m_takeIndex].data();
    *bytes = m_slotBytes[m_takeIndex];
    return true;
}

void ImageStream::Release() {
    std::lock_guard lock(m_mutex);
    ReleaseLocked();
}

void ImageStream::ReleaseLocked() {
    if (!m_holding) return;
    m_holding = false;
    m_takeIndex = (m_takeIndex + 1) % m_slots.size();
    --m_filled;
    m_slotFree.notify_one();
}

bool ImageStream::Failed() const {
    std::lock_guard lock(m_mutex);
    return m_failed;
}

std::string ImageStream::Error() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

uint32_t ImageStream::SystemError() const {
    std::lock_guard lock(m_mutex);
    return m_systemError;
}

void ImageStream::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_chunkReady.notify_all();
        m_slotFree.notify_all();
    }
    // Concurrent Stops wait here for the one join; the reader never takes this mutex.
    std::lock_guard threadLock(m_threadMutex);
    if (m_reader.joinable()) m_reader.join();
}

}  // namespace burnlib::mmc
