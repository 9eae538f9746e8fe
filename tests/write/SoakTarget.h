// A recorder as the library sees it in the soak: counts the commands of one burn, notes whether a
// WRITE covered a watched block, and cancels the burn from another thread at its Nth WRITE.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "burnlib/api/StarBurn.h"
#include "burnlib/transport/ScsiTransport.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace soak {

class SoakTarget : public burnlib::ScsiTarget {
public:
    explicit SoakTarget(std::shared_ptr<burnlib::VirtualRecorder> recorder);

    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override;
    bool ClaimExclusive(const void* owner) override;
    void ReleaseExclusive(const void* owner) override;

    // Starts a burn: no block watched when watch is INT64_MIN, no cancel when cancelAtWrite is 0.
    void Reset(int64_t watch, uint32_t cancelAtWrite);
    void SetGrabber(STARBURN_GRABBER grabber);
    std::array<uint32_t, 256> Counts() const;  // commands of this burn by opcode
    bool Covered() const;
    bool Cancelled() const;
    uint64_t Claims() const;  // over the whole run
    uint64_t Releases() const;
    burnlib::VirtualRecorder& Recorder() { return *m_recorder; }

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
    mutable std::mutex m_mutex;
    std::array<uint32_t, 256> m_counts{};
    uint32_t m_writes = 0;
    int64_t m_watch = INT64_MIN;
    bool m_covered = false;
    uint32_t m_cancelAtWrite = 0;
    bool m_cancelled = false;
    STARBURN_GRABBER m_grabber = nullptr;
    uint64_t m_claims = 0, m_releases = 0;
};

}  // namespace soak
