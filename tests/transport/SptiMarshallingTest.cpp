// The pass-through's requests as a port driver unpacks them, answered by a virtual recorder: what
// the engine sends must arrive as it would through VirtualTransport, and what the drive answers
// must come back the same way.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "burnlib/transport/SptiTransport.h"
#include "burnlib/transport/VirtualTransport.h"
#include "burnlib/virtual/Catalog.h"
#include "tests/support/SptiTestSystem.h"

using namespace burnlib;

namespace {

// Page-aligned memory, as VirtualAlloc gives it.
class PageBuffer {
public:
    explicit PageBuffer(size_t bytes)
        : m_data(static_cast<uint8_t*>(
              VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~PageBuffer() { VirtualFree(m_data, 0, MEM_RELEASE); }
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    uint8_t* data() { return m_data; }

private:
    uint8_t* m_data;
};

std::shared_ptr<VirtualRecorder> Recorder(const char* model = "cdrw-writer",
                                          const char* medium = "cd-r-closed") {
    return std::make_shared<VirtualRecorder>(*DriveModelByName(model), *MediumByName(medium));
}

ScsiResult Send(ScsiTransport& t, std::initializer_list<uint8_t> cdb, DataDirection direction,
               uint8_t* data, uint32_t length) {
    ScsiRequest r;
    std::copy(cdb.begin(), cdb.end(), r.cdb);
    r.cdbLength = static_cast<uint8_t>(cdb.size());
    r.direction = direction;
    r.data = data;
    r.dataLength = length;
    r.timeoutSeconds = 75;
    return t.Execute(r);
}

ScsiResult TestUnitReady(ScsiTransport& t) {
    return Send(t, {0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0);
}

ScsiResult Inquiry(ScsiTransport& t, uint8_t* data, uint16_t allocation) {
    return Send(t, {0x12, 0, 0, static_cast<uint8_t>(allocation >> 8),
                   static_cast<uint8_t>(allocation), 0},
               DataDirection::In, data, allocation);
}

ScsiResult GetConfiguration(ScsiTransport& t, uint8_t* data, uint32_t bufferLength,
                            uint16_t allocation) {
    return Send(t, {0x46, 0x00, 0, 0, 0, 0, 0, static_cast<uint8_t>(allocation >> 8),
                   static_cast<uint8_t>(allocation), 0},
               DataDirection::In, data, bufferLength);
}

class SptiMarshalling : public ::testing::Test {
protected:
    void Open(const char* name = "CdRom0") {
        DWORD error = 0;
        transport = SptiTransport::Open(name, &error, system->Calls());
        ASSERT_NE(transport, nullptr) << "system error " << error;
        // The disc was just put in: the drive reports that once (06/28/00).
        TestUnitReady(*transport);
        system->ClearPassThroughs();
    }
    PassThroughSeen Last() const {
        const std::vector<PassThroughSeen> seen = system->PassThroughs();
        return seen.empty() ? PassThroughSeen{} : seen.back();
    }

    std::shared_ptr<VirtualRecorder> recorder = Recorder();
    std::shared_ptr<SptiTestSystem> system = SptiTestSystem::Create({recorder});
    std::unique_ptr<SptiTransport> transport;
};

}  // namespace

TEST_F(SptiMarshalling, DataInComesBackAsThroughTheVirtualTransport) {
    Open();
    VirtualTransport direct(Recorder(), ScsiAddress{});
    TestUnitReady(direct);
    PageBuffer viaSpti(4096), viaDirect(4096);
    std::memset(viaSpti.data(), 0xEE, 4096);
    std::memset(viaDirect.data(), 0xEE, 4096);

    const ScsiResult a = GetConfiguration(*transport, viaSpti.data(), 2048, 2048);
    const ScsiResult b = GetConfiguration(direct, viaDirect.data(), 2048, 2048);
    ASSERT_TRUE(a.Good()) << a.systemError;
    ASSERT_TRUE(b.Good());
    EXPECT_EQ(a.transferred, b.transferred);
    EXPECT_EQ(std::memcmp(viaSpti.data(), viaDirect.data(), 4096), 0);

    const PassThroughSeen seen = Last();
    EXPECT_EQ(seen.cdb[0], 0x46);
    EXPECT_EQ(seen.cdbLength, 10);
    EXPECT_EQ(seen.dataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(seen.dataTransferLength, 2048u);
    EXPECT_EQ(seen.dataBuffer, viaSpti.data());
    EXPECT_EQ(seen.timeOutValue, 75u);
    EXPECT_EQ(seen.senseInfoLength, kSenseBufferSize);
}

// A drive may move fewer bytes than the host asked for: INQUIRY moves its additional length + 5.
TEST_F(SptiMarshalling, AShortTransferReportsTheBytesMoved) {
    Open();
    PageBuffer buffer(4096);
    const ScsiResult r = Inquiry(*transport, buffer.data(), 255);
    ASSERT_TRUE(r.Good());
    const uint32_t reply = buffer.data()[4] + 5u;
    ASSERT_LT(reply, 255u);
    EXPECT_EQ(r.transferred, reply);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 8, 6),
              recorder->Model().vendor.substr(0, 6));
}

TEST_F(SptiMarshalling, CheckConditionCarriesStatusAndSense) {
    Open();
    recorder->InjectFault(0x00, 0, kSenseIllegalRequest, 0x24, 0x00);
    const ScsiResult r = TestUnitReady(*transport);
    EXPECT_TRUE(r.delivered);  // the IOCTL itself succeeds
    EXPECT_EQ(r.status, kScsiStatusCheckCondition);
    EXPECT_EQ(r.SenseKey(), kSenseIllegalRequest);
    EXPECT_EQ(r.Asc(), 0x24);
    EXPECT_EQ(r.Ascq(), 0x00);
    EXPECT_EQ(r.senseLength, 18);  // fixed format: 8 + additional length 10
    EXPECT_EQ(r.transferred, 0u);

    // No disc: not ready, medium not present, from a data-in command (after the one report of
    // the change).
    recorder->EjectMedium();
    TestUnitReady(*transport);
    PageBuffer buffer(4096);
    const ScsiResult capacity =
        Send(*transport, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::In, buffer.data(), 8);
    EXPECT_EQ(capacity.status, kScsiStatusCheckCondition);
    EXPECT_EQ(capacity.SenseKey(), kSenseNotReady);
    EXPECT_EQ(capacity.Asc(), 0x3A);
}

TEST_F(SptiMarshalling, NoDataAndDataOutGoTheirWay) {
    Open();
    EXPECT_TRUE(TestUnitReady(*transport).Good());
    PassThroughSeen seen = Last();
    EXPECT_EQ(seen.dataIn, SCSI_IOCTL_DATA_UNSPECIFIED);
    EXPECT_EQ(seen.dataTransferLength, 0u);
    EXPECT_EQ(seen.dataBuffer, nullptr);

    // Page 05 read back, its write type set to Session-at-Once (2), and sent with MODE SELECT.
    PageBuffer sense(4096);
    ASSERT_TRUE(Send(*transport, {0x5A, 0, 0x05, 0, 0, 0, 0, 0x01, 0x00, 0}, DataDirection::In,
                    sense.data(), 256)
                    .Good());
    const uint32_t pageLength = sense.data()[9] + 2u;
    PageBuffer list(4096);
    std::memcpy(list.data() + 8, sense.data() + 8, pageLength);
    list.data()[8] &= 0x7F;  // PS is reserved in MODE SELECT
    list.data()[10] = static_cast<uint8_t>((list.data()[10] & 0xF0) | 2);
    const uint32_t listLength = 8 + pageLength;
    const ScsiResult select =
        Send(*transport, {0x55, 0x10, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(listLength), 0},
            DataDirection::Out, list.data(), listLength);
    ASSERT_TRUE(select.Good()) << int(select.SenseKey()) << " " << int(select.Asc());
    seen = Last();
    EXPECT_EQ(seen.dataIn, SCSI_IOCTL_DATA_OUT);
    EXPECT_EQ(seen.dataTransferLength, listLength);
    EXPECT_EQ(recorder->WriteParametersPage().at(2) & 0x0F, 2);
}

// A buffer shorter than the allocation length is a data overrun: the IOCTL fails, as Windows
// fails it, and nothing is reported as moved.
TEST_F(SptiMarshalling, ADataPhaseFaultFailsTheIoctl) {
    Open();
    PageBuffer buffer(4096);
    const ScsiResult r =
        Send(*transport, {0x12, 0, 0, 0, 96, 0}, DataDirection::In, buffer.data(), 36);
    EXPECT_FALSE(r.delivered);
    EXPECT_EQ(r.systemError, static_cast<uint32_t>(ERROR_IO_DEVICE));
    EXPECT_EQ(r.transferred, 0u);
}

TEST_F(SptiMarshalling, AlignedBuffersGoStraightToTheDriveOddOnesThroughTheBounceBuffer) {
    system->SetAdapter(65536, 0x3);
    Open();
    EXPECT_EQ(transport->AlignmentMask(), 0x3u);
    PageBuffer aligned(8192), odd(8192);
    const ScsiResult straight = GetConfiguration(*transport, aligned.data(), 2048, 2048);
    ASSERT_TRUE(straight.Good());
    EXPECT_EQ(Last().dataBuffer, aligned.data());

    uint8_t* unaligned = odd.data() + 1;
    std::memset(unaligned, 0xEE, 2048);
    const ScsiResult r = GetConfiguration(*transport, unaligned, 2048, 2048);
    ASSERT_TRUE(r.Good()) << r.systemError;
    const PassThroughSeen seen = Last();
    EXPECT_NE(seen.dataBuffer, unaligned);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(seen.dataBuffer) & 0x3, 0u);
    ASSERT_EQ(r.transferred, straight.transferred);
    EXPECT_EQ(std::memcmp(unaligned, aligned.data(), r.transferred), 0);

    // Out through the bounce buffer: the drive gets the caller's bytes.
    uint8_t* list = odd.data() + 4097;
    std::memset(list, 0, 8);
    ASSERT_TRUE(Send(*transport, {0x5A, 0, 0x05, 0, 0, 0, 0, 0x01, 0x00, 0}, DataDirection::In,
                    aligned.data(), 256)
                    .Good());
    const uint32_t pageLength = aligned.data()[9] + 2u;
    std::memcpy(list + 8, aligned.data() + 8, pageLength);
    list[8] &= 0x7F;
    list[10] = static_cast<uint8_t>((list[10] & 0xF0) | 2);
    const ScsiResult select = Send(
        *transport, {0x55, 0x10, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(8 + pageLength), 0},
        DataDirection::Out, list, 8 + pageLength);
    ASSERT_TRUE(select.Good());
    EXPECT_NE(Last().dataBuffer, list);
    EXPECT_EQ(recorder->WriteParametersPage().at(2) & 0x0F, 2);
}

// The adapter's limit is the transport's; a data phase over it is refused whole, never split.
TEST_F(SptiMarshalling, ADataPhaseOverTheAdaptersLimitIsRefusedNotSplit) {
    {
        Open();
        EXPECT_EQ(transport->MaxTransferLength(), 65536u);
        transport.reset();
    }
    system->SetAdapter(32768, 0);
    Open();
    EXPECT_EQ(transport->MaxTransferLength(), 32768u);
    PageBuffer buffer(65536);
    ASSERT_TRUE(GetConfiguration(*transport, buffer.data(), 32768, 32768).Good());
    EXPECT_EQ(Last().dataTransferLength, 32768u);
    system->ClearPassThroughs();

    const ScsiResult r = GetConfiguration(*transport, buffer.data(), 32768 + 2048, 32768 + 2048);
    EXPECT_FALSE(r.delivered);
    EXPECT_EQ(r.systemError, static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(system->PassThroughs().empty());
}

TEST_F(SptiMarshalling, AddressHandlesAndNamesAsTheSystemGivesThem) {
    Open();
    ScsiAddress address;
    ASSERT_TRUE(transport->GetAddress(&address));
    EXPECT_EQ(address, (ScsiAddress{1, 0, 0, 0}));
    EXPECT_EQ(system->OpenHandles(), 1u);
    transport.reset();
    EXPECT_EQ(system->OpenHandles(), 0u);
    EXPECT_EQ(system->BadCloses(), 0u);

    DWORD error = 0;
    EXPECT_EQ(SptiTransport::Open("CdRom7", &error, system->Calls()), nullptr);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Two transports on one drive share it, as the wizard's probe and burn objects do.
    auto two = SptiTestSystem::Create({Recorder(), Recorder()}, {0, 'f'});
    auto first = SptiTransport::Open("CdRom1", &error, two->Calls());
    auto second = SptiTransport::Open("F:", &error, two->Calls());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr) << error;
    ASSERT_TRUE(second->GetAddress(&address));
    EXPECT_EQ(address.target, 1);
    EXPECT_EQ(SptiDriveLetter("CdRom1", two->Calls()), 'F');
    EXPECT_EQ(SptiDriveLetter("CdRom0", two->Calls()), 0);
}

// What a port driver refuses never reaches the drive: the test system must catch a malformed
// block as Windows would, or the marshalling tests above prove nothing.
TEST_F(SptiMarshalling, MalformedBlocksAreRefusedBeforeTheDrive) {
    system->SetAdapter(65536, 0x3);
    const SptiSystemCalls calls = system->Calls();
    HANDLE h = calls.createFile("\\\\.\\CdRom0", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    PageBuffer buffer(8192);
    ScsiRequest inquiry;
    inquiry.cdb[0] = 0x12;
    inquiry.cdb[4] = 36;
    inquiry.cdbLength = 6;
    inquiry.direction = DataDirection::In;
    inquiry.data = buffer.data();
    inquiry.dataLength = 36;

    auto send = [&](SptiCommandBlock block, DWORD size = sizeof(SptiCommandBlock)) -> DWORD {
        DWORD returned = 0;
        if (calls.deviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, size, &block, size,
                                  &returned, nullptr))
            return 0;
        return GetLastError();
    };
    SptiCommandBlock good;
    PrepareCommandBlock(inquiry, buffer.data(), &good);
    const uint64_t before = recorder->CommandCount();
    EXPECT_EQ(send(good), 0u);
    EXPECT_EQ(recorder->CommandCount(), before + 1);

    SptiCommandBlock bad = good;
    bad.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT) - 4;
    EXPECT_EQ(send(bad), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    bad = good;
    bad.sptd.CdbLength = 17;
    EXPECT_EQ(send(bad), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    bad = good;
    bad.sptd.SenseInfoOffset = sizeof(SptiCommandBlock) - 8;  // sense past the buffer's end
    EXPECT_EQ(send(bad), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    bad = good;
    bad.sptd.DataBuffer = buffer.data() + 2;  // against the adapter's alignment mask
    EXPECT_EQ(send(bad), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    bad = good;
    bad.sptd.DataTransferLength = 65536 + 2048;
    EXPECT_EQ(send(bad), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(send(good, sizeof(SCSI_PASS_THROUGH_DIRECT) - 1),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(recorder->CommandCount(), before + 1);

    // A handle opened for reading only may not send pass-through commands.
    HANDLE readOnly = calls.createFile("\\\\.\\CdRom0", GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr);
    DWORD returned = 0;
    EXPECT_FALSE(calls.deviceIoControl(readOnly, IOCTL_SCSI_PASS_THROUGH_DIRECT, &good,
                                       sizeof good, &good, sizeof good, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(calls.closeHandle(readOnly));
    EXPECT_TRUE(calls.closeHandle(h));
    EXPECT_FALSE(calls.closeHandle(h));
    EXPECT_EQ(system->BadCloses(), 1u);
}
