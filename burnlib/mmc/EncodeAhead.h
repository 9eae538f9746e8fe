// The raw blocks of the next WRITE, built on a thread of its own while the current WRITE runs,
// so that on a host with two cores encoding and sending overlap. Only the encoding moves: the
// image is taken and every command is sent on the writing thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/mmc/AlignedBuffer.h"

namespace burnlib::mmc {

class EncodeAhead {
public:
    // Two buffers of `bufferBytes`: one being sent, one being built.
    EncodeAhead(const cd::RawDiscLayout& layout, cd::Kernel kernel, size_t bufferBytes);
    ~EncodeAhead();  // waits for a build still running, then ends the thread
    EncodeAhead(const EncodeAhead&) = delete;
    EncodeAhead& operator=(const EncodeAhead&) = delete;

    // Starts building blocks lba .. lba + count - 1 into the buffer not last returned by Take;
    // userData (their track blocks) must stay as it is until Take returns.
    void Start(int32_t lba, uint32_t count, const uint8_t* userData);
    // Waits for the build Start began: its blocks, or null when they could not be built.
    const uint8_t* Take();

private:
    void Run();

    const cd::RawDiscLayout m_layout;
    const cd::Kernel m_kernel;
    AlignedBuffer m_buffers[2];
    int m_next = 0;  // the buffer Start builds into

    std::mutex m_mutex;
    std::condition_variable m_wake;  // the builder waits on it
    std::condition_variable m_done;  // Take waits on it
    bool m_pending = false;          // a build started and not yet taken
    bool m_building = false;         // the builder has not finished the build started last
    bool m_stop = false;
    int32_t m_lba = 0;
    uint32_t m_count = 0;
    const uint8_t* m_userData = nullptr;
    uint8_t* m_out = nullptr;
    bool m_ok = false;
    std::thread m_thread;
};

}  // namespace burnlib::mmc
