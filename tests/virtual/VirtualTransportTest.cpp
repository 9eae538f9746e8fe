#include <gtest/gtest.h>

#include "burnlib/transport/VirtualTransport.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"

using namespace burnlib;

namespace {
ScsiRequest Tur() {
    ScsiRequest r;
    r.cdbLength = 6;
    return r;
}
}  // namespace

TEST(VirtualTransport, TransportsOnOneDriveShareItsState) {
    auto recorder = std::make_shared<VirtualRecorder>(*DriveModelByName("cdrw-writer"), *MediumByName("cd-r-blank"));
    VirtualTransport first(recorder, ScsiAddress{1, 0, 2, 0});
    VirtualTransport second(recorder, ScsiAddress{1, 0, 2, 0}, 32768);
    EXPECT_TRUE(first.Execute(Tur()).Good());

    ScsiRequest eject;
    eject.cdb[0] = 0x1B;
    eject.cdb[4] = 0x02;
    eject.cdbLength = 6;
    EXPECT_TRUE(first.Execute(eject).Good());
    const ScsiResult seen = second.Execute(Tur());
    EXPECT_EQ(seen.SenseKey(), kSenseNotReady);
    EXPECT_EQ(seen.Asc(), 0x3A);
    EXPECT_EQ(recorder->CommandCount(), 3u);

    ScsiAddress address;
    ASSERT_TRUE(second.GetAddress(&address));
    EXPECT_EQ(address, (ScsiAddress{1, 0, 2, 0}));
    EXPECT_EQ(second.MaxTransferLength(), 32768u);
    EXPECT_FALSE(second.GetAddress(nullptr));
}

TEST(VirtualTransport, RefusesWhatThePassThroughLayerWouldRefuse) {
    auto recorder = std::make_shared<VirtualRecorder>(*DriveModelByName("cdrw-writer"), *MediumByName("cd-r-blank"));
    VirtualTransport transport(recorder, ScsiAddress{}, 4096);
    std::vector<uint8_t> buffer(8192);
    ScsiRequest tooLong;
    tooLong.cdb[0] = 0x51;
    tooLong.cdb[8] = 34;
    tooLong.cdbLength = 10;
    tooLong.direction = DataDirection::In;
    tooLong.data = buffer.data();
    tooLong.dataLength = 8192;
    EXPECT_FALSE(transport.Execute(tooLong).delivered);
    ScsiRequest noBuffer = tooLong;
    noBuffer.data = nullptr;
    noBuffer.dataLength = 34;
    EXPECT_FALSE(transport.Execute(noBuffer).delivered);
    ScsiRequest noCdb = Tur();
    noCdb.cdbLength = 0;
    EXPECT_FALSE(transport.Execute(noCdb).delivered);
    EXPECT_EQ(recorder->CommandCount(), 0u);

    VirtualTransport detached(nullptr, ScsiAddress{});
    EXPECT_FALSE(detached.Execute(Tur()).delivered);
}
