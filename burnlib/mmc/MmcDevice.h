// The command engine for one opened drive: it sends commands, reads sense, retries what may be
// retried, honours a cancel, and keeps what a drive's nature fixes (its features, its capability
// page) so each is read once per drive object. The queries live in files of their own and work
// on an MmcDevice&. Not thread-safe except Cancel; the library serialises calls per drive.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "burnlib/mmc/Cdb.h"
#include "burnlib/mmc/Parsers.h"
#include "burnlib/transport/ScsiTransport.h"

namespace burnlib::mmc {

enum class Outcome : uint8_t {
    Ok,
    Cancelled,
    SystemError,      // the command never reached the drive
    CheckCondition,   // the drive refused it (sense filled)
    BadResponse,      // the answer could not be parsed
    NotSupported,
    InvalidParameter,
};

// What went wrong in the last failing command.
struct CommandFailure {
    Outcome outcome = Outcome::Ok;
    std::string text;
    uint32_t systemError = 0;
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    uint8_t status = 0;
    uint8_t sense[kSenseBufferSize] = {};
    uint8_t senseLength = 0;
    uint8_t senseKey = 0, asc = 0, ascq = 0;
    // Sense response code 71h: the error belongs to an earlier command of the operation (a
    // buffered write, an Immed command), reported on this one.
    bool deferred = false;
};

class MmcDevice {
public:
    // onCommand sees the opcode of every command sent (for call statistics).
    explicit MmcDevice(std::unique_ptr<ScsiTransport> transport,
                       std::function<void(uint8_t)> onCommand = {});
    MmcDevice(const MmcDevice&) = delete;
    MmcDevice& operator=(const MmcDevice&) = delete;

    // ---- Operations and cancel
    // An operation is one library call. Begin forgets the previous failure and any stale cancel;
    // End marks the operation ended and clears the cancel.
    void BeginOperation();
    void EndOperation();
    // Any thread. While an operation runs it fails with Outcome::Cancelled before its next
    // command (clean-up commands excepted); while none runs a cancel does nothing.
    void Cancel();
    // True when the operation has failed on a cancel.
    bool Cancelled() const { return m_failure.outcome == Outcome::Cancelled; }
    // A cancel reached the running operation, whether or not it has sent a command since.
    bool CancelRequested() const { return m_cancel.load(); }
    // Called on the cancelling thread when a cancel reaches the running operation, so a wait that
    // sends no command (an image read) ends too; at once when the cancel came already. Must not
    // call back into this object. An empty function removes it; EndOperation does as well.
    void SetCancelListener(std::function<void()> listener);

    // While one exists, commands are sent although the operation was cancelled, so a cancelled
    // write can still synchronise the cache, close, unlock the tray or restore page 05. Failures
    // inside it never replace the operation's first failure.
    class CleanupScope {
    public:
        explicit CleanupScope(MmcDevice& device);
        ~CleanupScope();
        CleanupScope(const CleanupScope&) = delete;
        CleanupScope& operator=(const CleanupScope&) = delete;

    private:
        MmcDevice& m_device;
        CommandFailure m_before;
    };

    // ---- Commands
    // Sends one command with up to `length` bytes in or out; *transferred = bytes moved. A unit
    // attention is retried a few times, unless the operation has already sent a command that
    // changes the medium: then the medium or the drive's buffer changed under it and the
    // operation ends. A drive still busy with earlier work (02/04/07, 02/04/08) is asked again
    // after growing pauses, for at most kLongWriteLimitMs; the calls below do their own waiting.
    bool Execute(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                 uint32_t* transferred = nullptr, uint32_t timeoutSeconds = 30);
    // A WRITE: while the drive answers 02/04/08 (long write in progress, its buffer is full) the
    // same command is sent again after a short sleep, for at most kLongWriteLimitMs of sleeping.
    bool ExecuteWrite(const Cdb& cdb, const uint8_t* data, uint32_t length,
                      uint32_t timeoutSeconds = 200);
    // An Immed command (SYNCHRONIZE CACHE, CLOSE TRACK/SESSION, BLANK, FORMAT): sent again while
    // the drive is still busy with an earlier one (02/04/07, 02/04/08), then WaitWhileBusy.
    bool ExecuteImmediate(const Cdb& cdb, uint32_t limitSeconds,
                          DataDirection direction = DataDirection::None, uint8_t* data = nullptr,
                          uint32_t length = 0);
    // Polls TEST UNIT READY, then READ DISC INFORMATION (some drives report ready while still
    // busy), until neither says 02/04/xx "in progress". A deferred error, a missing medium or
    // more than limitSeconds of waiting fail the operation.
    bool WaitWhileBusy(uint32_t limitSeconds);
    // Tests make waiting instant; the default sleeps the calling thread.
    void SetSleep(std::function<void(uint32_t milliseconds)> sleep);
    // Called at every poll of WaitWhileBusy (every kPollIntervalMs), so a caller that reports
    // progress can show it is alive while the drive finishes. Empty removes it.
    void SetPollObserver(std::function<void()> observer) { m_pollObserver = std::move(observer); }

    static constexpr uint32_t kLongWriteResendMs = 40;
    static constexpr uint32_t kLongWriteLimitMs = 120000;
    static constexpr uint32_t kFirstPollMs = 20;
    static constexpr uint32_t kPollIntervalMs = 500;

    // ---- Failures
    const CommandFailure& LastFailure() const { return m_failure; }
    void SetFailure(const CommandFailure& failure) { m_failure = failure; }
    bool FailedWith(uint8_t key, uint8_t asc) const;
    bool FailedBusy() const;  // 02/04/07 or 02/04/08, not deferred
    // Records that the answer to `cdb` (transferred bytes of it) could not be understood.
    bool BadResponse(const Cdb& cdb, uint32_t transferred);
    // The same for the last command sent, as it was sent.
    bool BadResponse();
    void Fail(Outcome outcome, const Cdb& cdb, std::string text);

    // ---- What a drive's nature fixes, read once per drive object
    // Every feature and profile the drive supports. The "current" bits in it are stale: only
    // presence and the drive's own feature fields may be used.
    bool ReadSupportedFeatures(const Configuration** out);
    // The capabilities page as first read: its media bits and buffer size describe the drive;
    // its speeds do not (they change with the disc and SET CD SPEED) and must be read afresh.
    bool ReadDriveCapabilities(const Capabilities** out);
    uint16_t BufferSizeKB();
    // The current profile changes with the disc, so it is kept only within one operation and
    // forgotten on a unit attention.
    bool ReadCurrentProfile(uint16_t* profile);

    uint32_t MaxTransferLength() const { return m_transport->MaxTransferLength(); }
    uint32_t AlignmentMask() const { return m_transport->AlignmentMask(); }
    // Keeps other programs off the drive while writing; see ScsiTransport.
    bool AcquireExclusiveAccess(uint32_t* systemError, bool* taken) {
        return m_transport->AcquireExclusiveAccess(systemError, taken);
    }
    void ReleaseExclusiveAccess() { m_transport->ReleaseExclusiveAccess(); }
    bool GetAddress(ScsiAddress* address) const { return m_transport->GetAddress(address); }

private:
    bool ExecuteOnce(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                     uint32_t* transferred, uint32_t timeoutSeconds);
    void Sleep(uint32_t milliseconds);

    std::unique_ptr<ScsiTransport> m_transport;
    std::function<void(uint8_t)> m_onCommand;
    std::function<void(uint32_t)> m_sleep;
    std::function<void()> m_pollObserver;

    std::mutex m_cancelLock;  // orders Cancel against Begin/End
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    std::function<void()> m_cancelListener;  // guarded by m_cancelLock
    int m_cleanupDepth = 0;
    int m_ownBusyWaitDepth = 0;  // inside a call that waits out "in progress" answers itself
    bool m_mediumWritten = false;  // this operation sent a command that changes the medium

    CommandFailure m_failure;
    Cdb m_lastCdb;
    uint32_t m_lastTransferred = 0;

    std::unique_ptr<Configuration> m_features;
    std::unique_ptr<Capabilities> m_capabilities;
    bool m_profileKnown = false;
    uint16_t m_profile = 0;
};

}  // namespace burnlib::mmc
