// The Windows pass-through as far as it can be checked without a drive: the command block the
// port driver reads, what we make of what it writes back, and devices that do not open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/transport/SptiTransport.h"
#include "burnlib/api/StarBurn.h"

using namespace burnlib;

TEST(SptiCommandBlock, DescribesTheRequestWhereThePortDriverLooks) {
    uint8_t data[96];
    ScsiRequest request;
    request.cdb[0] = 0x12;
    request.cdb[4] = 96;
    request.cdbLength = 6;
    request.direction = DataDirection::In;
    request.data = data;
    request.dataLength = sizeof data;
    request.timeoutSeconds = 45;
    SptiCommandBlock block;
    std::memset(&block, 0xCC, sizeof block);
    PrepareCommandBlock(request, data, &block);
    EXPECT_EQ(block.sptd.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(block.sptd.SenseInfoOffset, offsetof(SptiCommandBlock, sense));
    EXPECT_EQ(block.sptd.SenseInfoLength, 32);
    EXPECT_EQ(block.sptd.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(block.sptd.DataTransferLength, 96u);
    EXPECT_EQ(block.sptd.DataBuffer, data);
    EXPECT_EQ(block.sptd.TimeOutValue, 45u);
    EXPECT_EQ(block.sptd.CdbLength, 6);
    EXPECT_EQ(block.sptd.Cdb[0], 0x12);
    EXPECT_EQ(block.sptd.Cdb[4], 96);
    EXPECT_EQ(block.sptd.Cdb[6], 0);  // stale bytes cleared
    EXPECT_EQ(block.sense[0], 0);

    request.direction = DataDirection::None;
    PrepareCommandBlock(request, data, &block);
    EXPECT_EQ(block.sptd.DataIn, SCSI_IOCTL_DATA_UNSPECIFIED);
    EXPECT_EQ(block.sptd.DataTransferLength, 0u);
    EXPECT_EQ(block.sptd.DataBuffer, nullptr);
    request.direction = DataDirection::Out;
    PrepareCommandBlock(request, data, &block);
    EXPECT_EQ(block.sptd.DataIn, SCSI_IOCTL_DATA_OUT);
}

TEST(SptiCommandBlock, TakesStatusSenseAndCountsFromTheFinishedBlock) {
    SptiCommandBlock block = {};
    block.sptd.ScsiStatus = kScsiStatusCheckCondition;
    block.sptd.DataTransferLength = 4096;  // more than was asked for
    block.sense[0] = 0x70;
    block.sense[2] = 0x05;
    block.sense[7] = 10;
    block.sense[12] = 0x24;
    ScsiResult r = ResultFromCommandBlock(block, true, 0, 100);
    EXPECT_TRUE(r.delivered);
    EXPECT_EQ(r.status, kScsiStatusCheckCondition);
    EXPECT_EQ(r.transferred, 100u);
    EXPECT_EQ(r.senseLength, 18);
    EXPECT_EQ(r.SenseKey(), 0x05);
    EXPECT_EQ(r.Asc(), 0x24);

    block.sense[7] = 0xF0;  // claims more sense than the buffer holds
    r = ResultFromCommandBlock(block, true, 0, 100);
    EXPECT_EQ(r.senseLength, 32);

    block.sense[0] = 0x00;  // no valid sense at all
    r = ResultFromCommandBlock(block, true, 0, 100);
    EXPECT_EQ(r.senseLength, 0);

    r = ResultFromCommandBlock(block, false, ERROR_INVALID_PARAMETER, 100);
    EXPECT_FALSE(r.delivered);
    EXPECT_EQ(r.systemError, static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
}

TEST(SptiDevices, ANameThatDoesNotOpenFailsWithTheSystemError) {
    DWORD error = 0;
    EXPECT_EQ(SptiTransport::Open("QuillfireNoSuchDrive9", &error), nullptr);
    EXPECT_NE(error, 0u);

    StarBurn_UpStartEx();  // the program's own provider: the SPTI one
    char text[STARBURN_TEXT_SIZE] = {};
    uint32_t system = 0;
    STARBURN_FAILURE_RECORD failure = {};
    STARBURN_GRABBER g = nullptr;
    EXPECT_EQ(StarBurn_CdvdBurnerGrabber_CreateEx(&g, text, sizeof text, &system, &failure, nullptr,
                                                  nullptr, "QuillfireNoSuchDrive9", 1),
              STARBURN_ERROR_SYSTEM);
    EXPECT_EQ(g, nullptr);
    EXPECT_EQ(system, error);
    EXPECT_NE(std::string(text).find("QuillfireNoSuchDrive9"), std::string::npos) << text;
    StarBurn_DownShut();
}
