#include "tests/write/SoakTarget.h"

#include <thread>

#include "burnlib/mmc/Cdb.h"

namespace soak {

namespace {

enum : uint8_t { kOpWrite10 = 0x2A, kOpWrite12 = 0xAA };

}  // namespace

SoakTarget::SoakTarget(std::shared_ptr<burnlib::VirtualRecorder> recorder)
    : m_recorder(std::move(recorder)) {}

burnlib::ScsiResult SoakTarget::Execute(const burnlib::ScsiRequest& request) {
    const uint8_t opcode = request.cdb[0];
    STARBURN_GRABBER cancel = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counts[opcode];
        if (opcode == kOpWrite10 || opcode == kOpWrite12) {
            const auto lba = static_cast<int32_t>(burnlib::mmc::GetBe32(&request.cdb[2]));
            const uint32_t blocks = opcode == kOpWrite10
                                        ? (uint32_t{request.cdb[7]} << 8) | request.cdb[8]
                                        : burnlib::mmc::GetBe32(&request.cdb[6]);
            if (m_watch >= lba && m_watch < lba + static_cast<int64_t>(blocks)) m_covered = true;
            if (++m_writes == m_cancelAtWrite && m_grabber != nullptr) {
                cancel = m_grabber;
                m_cancelled = true;
            }
        }
    }
    // The user's cancel comes from the page's thread while this WRITE is on its way to the drive.
    if (cancel != nullptr)
        std::thread([cancel] { StarBurn_CdvdBurnerGrabber_Cancel(cancel); }).join();
    return m_recorder->Execute(request);
}

bool SoakTarget::ClaimExclusive(const void* owner) {
    const bool claimed = m_recorder->ClaimExclusive(owner);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (claimed) ++m_claims;
    return claimed;
}

void SoakTarget::ReleaseExclusive(const void* owner) {
    m_recorder->ReleaseExclusive(owner);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_releases;
}

void SoakTarget::Reset(int64_t watch, uint32_t cancelAtWrite) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_counts = {};
    m_writes = 0;
    m_watch = watch;
    m_covered = false;
    m_cancelAtWrite = cancelAtWrite;
    m_cancelled = false;
    m_grabber = nullptr;
}

void SoakTarget::SetGrabber(STARBURN_GRABBER grabber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_grabber = grabber;
}

std::array<uint32_t, 256> SoakTarget::Counts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

bool SoakTarget::Covered() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_covered;
}

bool SoakTarget::Cancelled() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

uint64_t SoakTarget::Claims() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_claims;
}

uint64_t SoakTarget::Releases() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_releases;
}

}  // namespace soak
