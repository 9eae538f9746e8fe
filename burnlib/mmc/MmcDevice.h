// The command engine: one opened drive and the queries the library answers from it. Every
// command goes through Execute, which checks the cancel flag first, so a cancelled call ends
// within one command. Not thread-safe except Cancel; the library serialises calls per drive.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
};

struct TocTrack {
    uint8_t session = 0;
    uint8_t adrControl = 0;  // ADR high nibble, CONTROL low nibble
    uint8_t number = 0;
    int32_t start = 0;
    int32_t end = 0;         // first block after the track
    bool isData = false;
    uint8_t dataMode = 0;    // 1, 2, or 0 for audio
    uint32_t blockSize = 0;  // user bytes per block
};

struct TableOfContents {
    uint8_t firstTrack = 0, lastTrack = 0;
    uint8_t firstSession = 0, lastSession = 0;
    int32_t leadOut = 0;
    uint8_t discStatus = 0;  // 0 blank, 1 appendable, 2 finalized, 3 other
    std::vector<TocTrack> tracks;
};

// One flag per (medium, direction), in the order of the library's media-formats record.
struct MediaSupport {
    bool cdRomRead = false, cdRRead = false, cdRWrite = false, cdRwRead = false,
         cdRwWrite = false;
    bool dvdRomRead = false, dvdRRead = false, dvdRWrite = false, dvdRDlRead = false,
         dvdRDlWrite = false;
    bool dvdRwRead = false, dvdRwWrite = false, dvdRwDlRead = false, dvdRwDlWrite = false;
    bool dvdRamRead = false, dvdRamWrite = false;
    bool dvdPlusRwRead = false, dvdPlusRwWrite = false, dvdPlusRwDlRead = false,
         dvdPlusRwDlWrite = false;
    bool dvdPlusRRead = false, dvdPlusRWrite = false, dvdPlusRDlRead = false,
         dvdPlusRDlWrite = false;
    bool bdRomRead = false, bdRRead = false, bdRWrite = false, bdReRead = false,
         bdReWrite = false;
    bool hdDvdRomRead = false, hdDvdRRead = false, hdDvdRWrite = false, hdDvdRamRead = false,
         hdDvdRamWrite = false, hdDvdRwRead = false, hdDvdRwWrite = false;
};

struct WriteModes {
    bool tao = false;
    bool sao = false;
    bool rawPQ = false;   // raw 2352 + 16 (data block type 1)
    bool rawPW = false;   // raw 2352 + 96 (data block types 2/3)
};

struct Speeds {
    uint32_t currentRead = 0, maximumRead = 0, currentWrite = 0, maximumWrite = 0;  // kB/s
};

class MmcDevice {
public:
    // onCommand sees the opcode of every command sent (for call statistics).
    explicit MmcDevice(std::unique_ptr<ScsiTransport> transport,
                       std::function<void(uint8_t)> onCommand = {});
    MmcDevice(const MmcDevice&) = delete;
    MmcDevice& operator=(const MmcDevice&) = delete;

    // Any thread. The running (or next) operation fails with Outcome::Cancelled before its next
    // command; the flag is spent by the operation that fails on it (see EndOperation).
    void Cancel() { m_cancel.store(true); }
    // Around each library call: Begin forgets the previous call's failure, End clears a cancel
    // that the call has acted on.
    void BeginOperation() { m_failure = CommandFailure{}; }
    void EndOperation();

    bool Identify(InquiryData* out);
    // Unit attentions (medium changed, reset) are retried; true = a medium is ready.
    bool TestUnitReady();
    bool ReadCurrentProfile(uint16_t* profile);
    bool ReadConfiguration(Configuration* out);  // every feature
    // The drive's features and profiles as the last full read found them: what a drive supports
    // does not change with the disc (only the "current" bits do, and they are not kept).
    bool ReadSupportedFeatures(const Configuration** out);
    bool ReadDiscInformation(DiscInformation* out);
    bool ReadTrackInformation(uint8_t addressType, uint32_t value, TrackInformation* out);
    bool ReadToc(Toc* out);
    bool ReadFullToc(FullToc* out);
    bool ReadAtip(Atip* out);
    bool ReadCapabilities(Capabilities* out);

    // Inserted-disc code 0..22; 14 when no medium is present or the drive is not ready.
    int32_t InsertedDiscType();
    // fast = format 0 only; otherwise the full TOC adds sessions and the disc type.
    bool ReadTableOfContents(bool fast, TableOfContents* out);
    // 255 = the invisible track (the one that would be written next).
    bool ReadTrack(uint8_t trackNumber, TrackInformation* out);
    bool ReadMediaSupport(MediaSupport* out);
    bool ProbeWriteModes(WriteModes* out);
    bool ReadSpeeds(Speeds* out);
    // kB/s; kSpeedUnchanged leaves that direction as it is.
    bool SetSpeeds(uint32_t readKBps, uint32_t writeKBps);
    static constexpr uint32_t kSpeedUnchanged = 0xFFFF;

    uint16_t BufferSizeKB();
    const CommandFailure& LastFailure() const { return m_failure; }
    uint32_t MaxTransferLength() const { return m_transport->MaxTransferLength(); }
    bool GetAddress(ScsiAddress* address) const { return m_transport->GetAddress(address); }

    // Sends one command with up to `allocation` bytes in or out; *transferred = bytes moved.
    bool Execute(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                 uint32_t* transferred = nullptr, uint32_t timeoutSeconds = 30);

private:
    bool ExecuteOnce(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                     uint32_t* transferred, uint32_t timeoutSeconds, ScsiResult* result);
    void Fail(Outcome outcome, const Cdb& cdb, std::string text);
    bool BadResponse(const Cdb& cdb, uint32_t transferred);
    bool Cancelled() const { return m_failure.outcome == Outcome::Cancelled; }
    bool FailedWith(uint8_t key, uint8_t asc) const;
    bool ReadModePage(uint8_t page, uint8_t pageControl, std::vector<uint8_t>* reply,
                      size_t* offset, size_t* pageLength);
    bool LegacyDiscType(int32_t* code);
    bool TryWriteParameters(const std::vector<uint8_t>& base, size_t offset, uint8_t writeType,
                            uint8_t dataBlockType, bool* accepted);
    bool ProbeWriteModesByTrial(WriteModes* out);
    bool ReadMaximumSpeedsFromPerformance(Speeds* speeds);
    int32_t CapacityEndLba();

    std::unique_ptr<ScsiTransport> m_transport;
    std::function<void(uint8_t)> m_onCommand;
    std::atomic<bool> m_cancel{false};
    bool m_cancelSeen = false;
    CommandFailure m_failure;
    int m_bufferSizeKB = -1;  // cached: a drive's buffer does not change
    std::unique_ptr<Configuration> m_features;
};

}  // namespace burnlib::mmc
