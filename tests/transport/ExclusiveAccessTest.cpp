// A drive held by one opener: the virtual transport takes its recorder's claim and gives it back.
#include <gtest/gtest.h>

#include <memory>

#include "burnlib/transport/VirtualTransport.h"
#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"

using namespace burnlib;

namespace {

constexpr uint32_t kErrorAccessDenied = 5;

std::shared_ptr<VirtualRecorder> Recorder() {
    return std::make_shared<VirtualRecorder>(*DriveModelByName("cdrw-writer"),
                                             *MediumByName("cd-r-blank"));
}

ScsiResult TestUnitReady(ScsiTransport& t) {
    ScsiRequest r;
    r.cdbLength = 6;
    return t.Execute(r);
}

struct Claim {
    bool ok = false;
    uint32_t error = 0xFFFFFFFF;
    bool taken = true;
};

Claim Acquire(ScsiTransport& t) {
    Claim c;
    c.ok = t.AcquireExclusiveAccess(&c.error, &c.taken);
    return c;
}

}  // namespace

TEST(VirtualTransportExclusive, OneOpenerHoldsTheDriveAnotherIsRefusedWithAccessDenied) {
    auto recorder = Recorder();
    VirtualTransport first(recorder, ScsiAddress{});
    VirtualTransport second(recorder, ScsiAddress{});

    Claim a = Acquire(first);
    EXPECT_TRUE(a.ok);
    EXPECT_TRUE(a.taken);
    EXPECT_EQ(a.error, 0u);
    Claim again = Acquire(first);  // the holder asking twice still holds it
    EXPECT_TRUE(again.ok);
    EXPECT_TRUE(again.taken);

    Claim b = Acquire(second);
    EXPECT_FALSE(b.ok);
    EXPECT_FALSE(b.taken);
    EXPECT_EQ(b.error, kErrorAccessDenied);
    // The holder's commands go on; a release by one who holds nothing frees nothing.
    EXPECT_TRUE(TestUnitReady(first).Good());
    second.ReleaseExclusiveAccess();
    EXPECT_FALSE(Acquire(second).ok);
    // Another recorder is another drive.
    VirtualTransport elsewhere(Recorder(), ScsiAddress{});
    EXPECT_TRUE(Acquire(elsewhere).ok);

    first.ReleaseExclusiveAccess();
    Claim c = Acquire(second);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.taken);
    EXPECT_FALSE(Acquire(first).ok);
}

TEST(VirtualTransportExclusive, TheClaimEndsWithTheTransportThatHeldIt) {
    auto recorder = Recorder();
    VirtualTransport other(recorder, ScsiAddress{});
    {
        VirtualTransport holder(recorder, ScsiAddress{});
        ASSERT_TRUE(Acquire(holder).ok);
        EXPECT_FALSE(Acquire(other).ok);
    }
    Claim c = Acquire(other);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.taken);
}

TEST(VirtualTransportExclusive, ATransportWithoutADriveCannotTakeIt) {
    VirtualTransport none(nullptr, ScsiAddress{});
    Claim c = Acquire(none);
    EXPECT_FALSE(c.ok);
    EXPECT_FALSE(c.taken);
    EXPECT_NE(c.error, 0u);
}
