// An image file read ahead of the writer by a thread of its own into a bounded ring of
// page-aligned chunks; memory is the ring's whatever the image's size. The writer takes the
// chunks in file order, each a whole number of 2048-byte blocks (the last padded with zeros).
// Acquire and Release belong to the one writer thread; Stop and the failure queries may come
// from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "burnlib/mmc/AlignedBuffer.h"

namespace burnlib::mmc {

// Where the stream's bytes come from: the image file, or in a test a source of its own.
class ImageSource {
public:
    struct Result {
        size_t bytes = 0;          // read into the caller's memory
        bool failed = false;       // a read error (else fewer bytes means the data ended)
        int errorNumber = 0;       // errno value, for the text
        uint32_t systemError = 0;  // the system's own code
    };
    virtual ~ImageSource() = default;
    // The next `bytes` bytes in order; fewer only at the end of the data or on an error.
    virtual Result Read(uint8_t* into, size_t bytes) = 0;
};

class ImageStream {
public:
    static constexpr uint32_t kBlockBytes = 2048;

    // Null, with *error (a sentence naming the file) and *systemError, when it cannot be opened.
    static std::unique_ptr<ImageStream> Open(const std::string& path, std::string* error,
                                             uint32_t* systemError);
    // A stream of `bytes` bytes from `source`; `name` names it in error texts.
    static std::unique_ptr<ImageStream> FromSource(std::unique_ptr<ImageSource> source,
                                                   uint64_t bytes, std::string name);
    ~ImageStream();  // stops and joins the reader
    ImageStream(const ImageStream&) = delete;
    ImageStream& operator=(const ImageStream&) = delete;

    uint64_t FileBytes() const { return m_fileBytes; }  // size when opened
    uint64_t Blocks() const { return (m_fileBytes + kBlockBytes - 1) / kBlockBytes; }

    // chunkBytes: a multiple of 2048 (else rounded down, at least one block); ringBytes: the
    // ring's total (at least two chunks are taken, never more than the image needs). Once;
    // memory it cannot get makes the stream Failed().
    void Start(uint32_t chunkBytes, uint64_t ringBytes);
    // The next chunk in file order; blocks until ready. *bytes is a multiple of 2048. False at
    // the end, after Stop(), or on a failure (Failed()). Gives back a chunk still held.
    bool Acquire(const uint8_t** data, uint32_t* bytes);
    void Release();  // gives the acquired chunk back to the reader
    bool Failed() const;
    std::string Error() const;
    uint32_t SystemError() const;
    // Any thread: wakes a waiting Acquire, which returns false, and ends the reader.
    void Stop();

private:
    ImageStream(std::unique_ptr<ImageSource> source, uint64_t bytes, std::string name);
    void ReadAhead();
    void ReadAheadGuarded();
    void Fail(std::string error, uint32_t systemError);
    void ReleaseLocked();

    const std::unique_ptr<ImageSource> m_source;
    const uint64_t m_fileBytes;
    const std::string m_name;

    mutable std::mutex m_mutex;
    std::condition_variable m_chunkReady;  // the writer waits on it
    std::condition_variable m_slotFree;    // the reader waits on it
    std::vector<AlignedBuffer> m_slots;
    std::vector<uint32_t> m_slotBytes;
    size_t m_fillIndex = 0;  // the reader's next slot
    size_t m_takeIndex = 0;  // the writer's next slot
    size_t m_filled = 0;     // slots filled and not yet released, the held one included
    bool m_holding = false;
    bool m_started = false;
    bool m_readerDone = false;
    bool m_stop = false;
    bool m_failed = false;
    std::string m_error;
    uint32_t m_systemError = 0;

    std::mutex m_threadMutex;  // Start and concurrent Stops around the one thread
    std::thread m_reader;
};

}  // namespace burnlib::mmc
