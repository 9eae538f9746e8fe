// The Windows SCSI pass-through: commands to \\.\CdRomN through IOCTL_SCSI_PASS_THROUGH_DIRECT.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <memory>
#include <string>

#include "burnlib/transport/ScsiTransport.h"

namespace burnlib {

// The pass-through block and the sense buffer the port driver fills, in one I/O buffer.
struct SptiCommandBlock {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG filler;  // keeps the sense buffer where SenseInfoOffset says, on both ABIs
    UCHAR sense[kSenseBufferSize];
};

#ifdef _WIN64
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56, "pass-through layout (x64)");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32, "x64 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36, "x64 layout");
static_assert(offsetof(SptiCommandBlock, sense) == 60, "sense offset (x64)");
static_assert(sizeof(SptiCommandBlock) == 96, "command block size (x64)");
#else
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "pass-through layout (x86)");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20, "x86 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24, "x86 layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28, "x86 layout");
static_assert(offsetof(SptiCommandBlock, sense) == 48, "sense offset (x86)");
static_assert(sizeof(SptiCommandBlock) == 80, "command block size (x86)");
#endif
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7, "pass-through layout");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8, "pass-through layout");

// Fills the command block for a request whose data lives at `buffer`.
void PrepareCommandBlock(const ScsiRequest& request, void* buffer, SptiCommandBlock* block);
// What the drive answered, from the finished command block and the IOCTL's own result.
ScsiResult ResultFromCommandBlock(const SptiCommandBlock& block, bool ioctlSucceeded,
                                  DWORD systemError, uint32_t requestedLength);

class SptiTransport final : public ScsiTransport {
public:
    // Opens \\.\<name> ("CdRom0", or "F:"); null with *systemError when it cannot be opened.
    static std::unique_ptr<SptiTransport> Open(const std::string& name, DWORD* systemError);
    ~SptiTransport() override;
    SptiTransport(const SptiTransport&) = delete;
    SptiTransport& operator=(const SptiTransport&) = delete;

    ScsiResult Execute(const ScsiRequest& request) override;
    uint32_t MaxTransferLength() const override { return m_maxTransfer; }
    uint32_t AlignmentMask() const override { return m_alignmentMask; }
    bool GetAddress(ScsiAddress* address) const override;

private:
    explicit SptiTransport(HANDLE handle);
    void QueryAdapter();

    HANDLE m_handle;
    uint32_t m_maxTransfer = 64 * 1024;
    uint32_t m_alignmentMask = 0;
    void* m_bounce = nullptr;  // page-aligned, m_maxTransfer bytes, for callers' odd buffers
};

}  // namespace burnlib
