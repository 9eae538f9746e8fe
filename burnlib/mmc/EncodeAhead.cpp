#include "burnlib/mmc/EncodeAhead.h"

namespace burnlib::mmc {

EncodeAhead::EncodeAhead(const cd::RawDiscLayout& layout, cd::Kernel kernel, size_t bufferBytes)
    : m_layout(layout), m_kernel(kernel), m_buffers{AlignedBuffer(bufferBytes), AlignedBuffer(bufferBytes)} {
    m_thread = std::thread([this] { Run(); });
}

EncodeAhead::~EncodeAhead() {
    {
        std::unique_lock lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void EncodeAhead::Start(int32_t lba, uint32_t count, const uint8_t* userData) {
    {
        std::unique_lock lock(m_mutex);
        m_lba = lba;
        m_count = count;
        m_userData = userData;
        m_out = m_buffers[m_next].data();
        m_pending = true;
        m_building = true;
    }
    m_wake.notify_one();
}

const uint8_t* EncodeAhead::Take() {
    std::unique_lock lock(m_mutex);
    if (!m_pending) return nullptr;
    m_done.wait(lock, [this] { return !m_building; });
    m_pending = false;
    const uint8_t* out = m_ok ? m_buffers[m_next].data() : nullptr;
    m_next ^= 1;
    return out;
}

// Ends only between builds, so no user data is read after the writer has let it go.
void EncodeAhead::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_building || m_stop; });
        if (!m_building) return;
        const int32_t lba = m_lba;
        const uint32_t count = m_count;
        const uint8_t* userData = m_userData;
        uint8_t* out = m_out;
        lock.unlock();
        const bool ok = cd::GenerateRawBlocks(m_layout, lba, count, userData, out, m_kernel);
        lock.lock();
        m_ok = ok;
        m_building = false;
        m_done.notify_one();
    }
}

}  // namespace burnlib::mmc
