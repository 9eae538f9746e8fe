// Page-aligned owned memory, so a pass-through transfer never needs a bounce copy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace burnlib::mmc {

class AlignedBuffer {
public:
    static constexpr size_t kAlignment = 4096;

    AlignedBuffer() = default;
    // Throws std::bad_alloc when the memory is not there.
    explicit AlignedBuffer(size_t bytes);
    ~AlignedBuffer();
    AlignedBuffer(AlignedBuffer&& other) noexcept;
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept;
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    void Free();

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

}  // namespace burnlib::mmc
