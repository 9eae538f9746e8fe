// An in-process MMC recorder with its disc: answers what a real drive answers and refuses what a
// real drive refuses, with the sense data a real drive gives. Shared by every transport opened on
// the same drive, so every entry point is thread-safe.
//
// The recorder keeps its own opcode, profile, feature and page tables and never includes the
// engine's (burnlib/mmc): a misreading of MMC in one then shows up as a failing test instead of
// agreeing with itself. Only neutral helpers (burnlib/common) are shared.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "burnlib/transport/ScsiTransport.h"
#include "burnlib/virtual/DiscStore.h"
#include "burnlib/virtual/DriveModel.h"
#include "burnlib/virtual/Medium.h"

namespace burnlib {

class VirtualRecorder : public ScsiTarget {
public:
    VirtualRecorder(DriveModel model, Medium medium);
    VirtualRecorder(const VirtualRecorder&) = delete;
    VirtualRecorder& operator=(const VirtualRecorder&) = delete;
    ~VirtualRecorder() override;

    ScsiResult Execute(const ScsiRequest& request) override;
    // One opener at a time holds the drive, as a real drive's exclusive lock allows.
    bool ClaimExclusive(const void* owner) override;
    void ReleaseExclusive(const void* owner) override;

    // The user puts a disc in (tray closed afterwards) or takes it out.
    void InsertMedium(Medium medium);
    void EjectMedium();
    Medium CurrentMedium() const;

    // Every command waits this long before it is answered.
    void SetCommandLatency(std::chrono::microseconds latency);

    // From the fromNthCall-th command with this opcode (0xFF: any command) counted from now, count
    // commands fail with the given sense before the drive looks at them.
    void InjectFault(uint8_t opcode, uint32_t fromNthCall, uint8_t key, uint8_t asc, uint8_t ascq,
                     uint32_t count = 1);
    void ClearFaults();

    uint64_t CommandCount() const;
    uint64_t CommandCount(uint8_t opcode) const;

    const DriveModel& Model() const { return m_model; }
    uint32_t CurrentReadSpeed() const;
    uint32_t CurrentWriteSpeed() const;
    bool TrayOpen() const;
    bool RemovalPrevented() const;
    // The write parameters page (05h) as the host last set it, from its page code byte on.
    std::vector<uint8_t> WriteParametersPage() const;

    // Faults of the write side, each firing once. A WRITE whose blocks cover lba fails with a
    // write error (03/0C/00); finds the disc gone (06/28/00 for it, 02/3A for what follows); or
    // meets a buffer underrun (03/0C/09) unless page 05 has BUFE set, when the drive recovers.
    void InjectWriteError(int32_t lba);
    void InjectMediumRemovalDuringWrite(int32_t lba);
    void InjectUnderrun(int32_t lba);
    // The next SEND OPC INFORMATION fails with a power calibration error (03/73/03).
    void InjectOpcError();
    // WRITE then takes as long as the current write speed needs for its data (off by default).
    void SetWriteSpeedPacing(bool on);
    // Why the last refused command was refused, in words; empty when none was.
    std::string LastRefusal() const;

    // The user data on the disc, 2048-byte blocks from lba (never-written blocks read as zeros).
    std::vector<uint8_t> ReadUserData(int32_t lba, uint32_t blocks) const;
    // Keeps the disc in files of the folder: <letter>.iso (user data from block 0), <letter>.raw
    // and <letter>.txt (the raw blocks of a raw write and where they start), <letter>.state. A
    // state left there by an earlier recorder with a disc of the same kind is taken over: the
    // disc is the one written then. StoreError() says what went wrong with the folder, if anything.
    void SetStoreFolder(std::string folder, char letter);
    std::string StoreError() const;
    // false: the next disc written keeps nothing (reads give zeros), so a benchmark measures the
    // writer rather than the store.
    void SetKeepWrittenData(bool keep);

private:
    struct Fault {
        uint8_t opcode;
        uint32_t callsToSkip;
        uint32_t remaining;
        uint8_t key, asc, ascq;
    };
    using Handler = ScsiResult (VirtualRecorder::*)(const ScsiRequest&);
    enum class Phase : uint8_t { None, In, Out };  // the command's data phase
    enum class Needs : uint8_t { Nothing, ReadyMedium };
    struct CommandEntry {
        uint8_t opcode;
        Phase phase;
        Needs needs;
        bool passesUnitAttention;
        Handler handler;
    };
    static const CommandEntry* FindCommand(uint8_t opcode);

    ScsiResult Dispatch(const ScsiRequest& request);
    ScsiResult Fail(uint8_t key, uint8_t asc, uint8_t ascq);
    // Why the disc cannot be used now (GOOD result when it can).
    ScsiResult MediumCondition() const;
    bool MediumReady() const;
    uint16_t CurrentProfile() const;
    uint32_t DataPhaseLength(const ScsiRequest& request) const;
    ScsiResult CheckDataPhase(const CommandEntry& entry, const ScsiRequest& request) const;
    ScsiResult Reply(const ScsiRequest& request, const std::vector<uint8_t>& data);
    // The parameter list a data-out command sends, as long as its command block says.
    std::vector<uint8_t> TakeParameters(const ScsiRequest& request) const;
    void MediumChanged();

    // A speed request meaning "the fastest the disc allows".
    static constexpr uint32_t kSpeedMax = 0xFFFFFFFFu;

    // Speeds (VirtualRecorderSpeeds.cpp).
    const std::vector<uint32_t>& WriteSteps(MediumFamily family) const;
    const std::vector<uint32_t>& ReadSteps(MediumFamily family) const;
    std::vector<uint32_t> UsableWriteSteps() const;
    std::vector<uint32_t> UsableReadSteps() const;
    uint32_t PickStep(const std::vector<uint32_t>& steps, uint32_t request) const;
    uint32_t ReadSpeedLocked() const;
    uint32_t WriteSpeedLocked() const;
    void ResetSpeeds();
    ScsiResult SetCdSpeed(const ScsiRequest& r);
    ScsiResult SetStreaming(const ScsiRequest& r);
    ScsiResult GetPerformance(const ScsiRequest& r);

    // Identity, readiness, tray and sense (VirtualRecorderUnit.cpp).
    ScsiResult TestUnitReady(const ScsiRequest& r);
    ScsiResult RequestSense(const ScsiRequest& r);
    ScsiResult Inquiry(const ScsiRequest& r);
    ScsiResult StartStopUnit(const ScsiRequest& r);
    ScsiResult PreventAllow(const ScsiRequest& r);
    ScsiResult ReadBufferCapacity(const ScsiRequest& r);

    // GET CONFIGURATION (VirtualRecorderConfiguration.cpp).
    ScsiResult GetConfiguration(const ScsiRequest& r);
    std::vector<uint8_t> ConfigurationFeatures(uint8_t requestType, uint16_t startingFeature) const;

    // Disc, track, capacity and TOC queries (VirtualRecorderDiscQueries.cpp).
    ScsiResult ReadDiscInformation(const ScsiRequest& r);
    ScsiResult ReadTrackInformation(const ScsiRequest& r);
    ScsiResult ReadCapacity(const ScsiRequest& r);
    ScsiResult ReadTocPmaAtip(const ScsiRequest& r);
    std::vector<uint8_t> TrackInformation(uint8_t trackNumber) const;
    std::vector<RecordedTrack> TocTracks() const;
    ScsiResult ReadToc(const ScsiRequest& r, bool msf, uint8_t first);
    ScsiResult ReadSessionInfo(const ScsiRequest& r, bool msf);
    ScsiResult ReadFullToc(const ScsiRequest& r);
    ScsiResult ReadAtip(const ScsiRequest& r);

    // Mode pages (VirtualRecorderModePages.cpp).
    ScsiResult ModeSense10(const ScsiRequest& r);
    ScsiResult ModeSelect10(const ScsiRequest& r);
    std::vector<uint8_t> DefaultWritePage() const;
    std::vector<uint8_t> ChangeableWritePage() const;
    std::vector<uint8_t> CapabilitiesPage() const;
    ScsiResult CheckWritePage(const uint8_t* page, size_t length);

    // Writing and reading back (VirtualRecorderWrite.cpp).
    ScsiResult Write10(const ScsiRequest& r);
    ScsiResult Read10(const ScsiRequest& r);
    ScsiResult SynchronizeCache(const ScsiRequest& r);
    uint32_t WriteBlockSize() const;
    bool WritePageApplies() const;  // CD and DVD-R media follow page 05; the others ignore it
    // The disc writes go to: a copy that is thrown away during a test write.
    Medium& Working();
    void EndSimulation();
    ScsiResult CheckWriteFaults(int32_t lba, uint32_t blocks);
    ScsiResult WriteSequential(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data);
    ScsiResult WriteAnywhere(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data);
    ScsiResult StoreUserData(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data);
    RecordedTrack* TrackWithNextWritable(Medium& m, int32_t lba);
    RecordedTrack& OpenNewTrack(Medium& m, uint32_t reserved);
    void CloseTrack(Medium& m, RecordedTrack& t);
    // Closes the open session; finalizes the disc unless appendable is set and room is left.
    void CloseSession(Medium& m, bool appendable);
    bool MultiSessionAppendable() const { return (m_writePage[3] >> 6) == 3; }
    // TEST UNIT READY answers 02/04/ascq this many more times (an Immed operation finishing).
    void StartBusy(uint8_t ascq);

    // Tracks, sessions, calibration, blanking and formatting (VirtualRecorderSession.cpp).
    ScsiResult CloseTrackSession(const ScsiRequest& r);
    ScsiResult ReserveTrack(const ScsiRequest& r);
    ScsiResult SendOpc(const ScsiRequest& r);
    ScsiResult Blank(const ScsiRequest& r);
    ScsiResult FormatUnit(const ScsiRequest& r);
    ScsiResult ReadFormatCapacities(const ScsiRequest& r);

    // Session-at-once and raw writing (VirtualRecorderMastering.cpp).
    struct Mastering;
    ScsiResult SendCueSheet(const ScsiRequest& r);
    ScsiResult WriteMastered(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data);
    ScsiResult WriteRaw(Medium& m, int32_t lba, uint32_t blocks, const uint8_t* data);
    // After SYNCHRONIZE CACHE: a finished session-at-once or raw write closes its session.
    void FinishMastering(Medium& m);
    uint32_t MasteredBlockSize() const;

    // Files of the disc (VirtualRecorderPersistence.cpp).
    bool EnsureUserStore(Medium& m);
    void SaveState();
    std::filesystem::path StorePath(const char* extension) const;
    void AppendRawBlocks(int32_t first, uint32_t blocks, uint32_t blockSize, const uint8_t* data);

    // Refusals with their reason for LastRefusal().
    ScsiResult Refuse(uint8_t key, uint8_t asc, uint8_t ascq, std::string why);

    static const CommandEntry kCommands[];

    const DriveModel m_model;
    mutable std::mutex m_mutex;
    std::chrono::microseconds m_latency{0};
    Medium m_medium;           // on the tray when m_trayOpen
    bool m_trayOpen = false;
    bool m_unitAttention = false;
    bool m_preventRemoval = false;
    std::vector<uint8_t> m_writePage;
    // The speeds last asked for, KB/s (kSpeedMax: the fastest); what they select depends on the
    // disc, so they are resolved against its steps when needed.
    uint32_t m_readRequest;
    uint32_t m_writeRequest;
    std::vector<Fault> m_faults;
    uint64_t m_commandCount = 0;
    const void* m_exclusiveOwner = nullptr;
    std::array<uint64_t, 256> m_opcodeCounts{};

    enum class WriteFaultKind : uint8_t { WriteError, MediumRemoval, Underrun };
    struct WriteFault {
        WriteFaultKind kind;
        int32_t lba;
    };
    std::vector<WriteFault> m_writeFaults;
    bool m_opcFault = false;
    bool m_pacing = false;
    std::chrono::microseconds m_pacingDue{0};  // slept after the command, outside the lock
    uint8_t m_opcode = 0;                      // of the command being answered
    std::string m_lastRefusal;
    uint32_t m_busyPolls = 0;
    uint8_t m_busyAscq = 0;
    std::optional<Medium> m_simulation;  // the disc as a test write leaves it; the real one stays
    std::shared_ptr<Mastering> m_mastering;
    std::string m_storeFolder;  // empty: the disc lives in a temporary file
    char m_storeLetter = 0;
    std::string m_storeError;
    bool m_keepWrittenData = true;
    std::shared_ptr<DiscStore> m_rawStore;
};

}  // namespace burnlib
