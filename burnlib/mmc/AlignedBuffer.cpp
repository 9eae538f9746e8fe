#include "burnlib/mmc/AlignedBuffer.h"

#include <new>
#include <utility>

namespace burnlib::mmc {

AlignedBuffer::AlignedBuffer(size_t bytes) : m_size(bytes) {
    if (bytes != 0)
        m_data = static_cast<uint8_t*>(::operator new(bytes, std::align_val_t{kAlignment}));
}

AlignedBuffer::~AlignedBuffer() { Free(); }

AlignedBuffer::AlignedBuffer(AlignedBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

AlignedBuffer& AlignedBuffer::operator=(AlignedBuffer&& other) noexcept {
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void AlignedBuffer::Free() {
    if (m_data != nullptr) ::operator delete(m_data, std::align_val_t{kAlignment});
    m_data = nullptr;
    m_size = 0;
}

}  // namespace burnlib::mmc
