// Taking a drive for a write through the pass-through: the drive's exclusive lock, the volume's
// lock and dismount when a file system is in the way, refusal when another program holds the
// drive, going on without a lock where the system has none, and letting go on every path.
#include <gtest/gtest.h>

#include <memory>

#include "burnlib/transport/SptiTransport.h"
#include "burnlib/transport/VirtualTransport.h"
#include "burnlib/virtual/Catalog.h"
#include "tests/support/SptiTestSystem.h"

using namespace burnlib;

namespace {

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

ScsiResult TestUnitReady(ScsiTransport& t) {
    ScsiRequest r;
    r.cdbLength = 6;
    return t.Execute(r);
}

class SptiExclusive : public ::testing::Test {
protected:
    // Drive 0 has no letter (no file system mounted), drive 1 is E: with one mounted.
    std::unique_ptr<SptiTransport> Open(const char* name) {
        DWORD error = 0;
        auto t = SptiTransport::Open(name, &error, system->Calls());
        EXPECT_NE(t, nullptr) << name << ": system error " << error;
        if (t) TestUnitReady(*t);  // the disc's unit attention
        return t;
    }

    std::shared_ptr<VirtualRecorder> plain = std::make_shared<VirtualRecorder>(
        *DriveModelByName("cdrw-writer"), *MediumByName("cd-r-blank"));
    std::shared_ptr<VirtualRecorder> lettered = std::make_shared<VirtualRecorder>(
        *DriveModelByName("dvd-dl-writer"), *MediumByName("dvd+r-blank"));
    std::shared_ptr<SptiTestSystem> system = SptiTestSystem::Create({plain, lettered}, {0, 'E'});
};

}  // namespace

TEST_F(SptiExclusive, ADriveWithoutAFileSystemIsLockedDirectly) {
    auto t = Open("CdRom0");
    const Claim c = Acquire(*t);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.taken);
    EXPECT_EQ(c.error, 0u);
    EXPECT_TRUE(system->DeviceLocked(0));
    EXPECT_FALSE(system->LockCaller(0).empty());
    EXPECT_EQ(system->ControlCount(FSCTL_LOCK_VOLUME), 0u);
    EXPECT_TRUE(TestUnitReady(*t).Good());  // the holder's commands go on

    t->ReleaseExclusiveAccess();
    EXPECT_FALSE(system->DeviceLocked(0));
    EXPECT_EQ(system->ExclusiveRequests(kExclusiveAccessUnlockDevice), 1u);
    t->ReleaseExclusiveAccess();  // a second release sends nothing
    EXPECT_EQ(system->ExclusiveRequests(kExclusiveAccessUnlockDevice), 1u);
    EXPECT_EQ(system->LocksEndedByClose(), 0u);
}

TEST_F(SptiExclusive, AMountedVolumeIsLockedAndDismountedBeforeTheDriveIsLocked) {
    auto t = Open("CdRom1");
    const Claim c = Acquire(*t);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.taken);
    EXPECT_TRUE(system->VolumeLocked(1));
    EXPECT_FALSE(system->VolumeMounted(1));
    EXPECT_EQ(system->Dismounts(1), 1u);
    EXPECT_TRUE(system->DeviceLocked(1));
    EXPECT_EQ(system->OpenHandles(), 2u);  // the drive and its volume

    t->ReleaseExclusiveAccess();
    EXPECT_FALSE(system->DeviceLocked(1));
    EXPECT_FALSE(system->VolumeLocked(1));
    EXPECT_TRUE(system->VolumeMounted(1));
    EXPECT_EQ(system->OpenHandles(), 1u);
    EXPECT_EQ(system->LocksEndedByClose(), 0u);

    // Opened through the volume itself, its own handle takes the volume lock.
    auto byLetter = Open("E:");
    t.reset();
    EXPECT_TRUE(Acquire(*byLetter).taken);
    EXPECT_TRUE(system->VolumeLocked(1));
    EXPECT_TRUE(system->DeviceLocked(1));
    EXPECT_EQ(system->OpenHandles(), 1u);
    byLetter.reset();
    EXPECT_EQ(system->OpenHandles(), 0u);
    EXPECT_EQ(system->LocksEndedByClose(), 0u);
    EXPECT_EQ(system->BadCloses(), 0u);
}

TEST_F(SptiExclusive, AnotherHolderIsRefusedWithAccessDenied) {
    for (const char* name : {"CdRom0", "CdRom1"}) {
        SCOPED_TRACE(name);
        const size_t drive = name[5] - '0';
        auto holder = Open(name);
        auto other = Open(name);
        ASSERT_TRUE(Acquire(*holder).taken);
        const Claim c = Acquire(*other);
        EXPECT_FALSE(c.ok);
        EXPECT_FALSE(c.taken);
        EXPECT_EQ(c.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
        // The drive is the holder's: the other's commands are refused, the holder's go on.
        const ScsiResult refused = TestUnitReady(*other);
        EXPECT_FALSE(refused.delivered);
        EXPECT_EQ(refused.systemError, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(TestUnitReady(*holder).Good());
        other->ReleaseExclusiveAccess();  // holds nothing, frees nothing
        EXPECT_TRUE(system->DeviceLocked(drive));

        holder->ReleaseExclusiveAccess();
        EXPECT_TRUE(Acquire(*other).taken);
        EXPECT_FALSE(Acquire(*holder).ok);
    }
    EXPECT_EQ(system->OpenHandles(), 0u);

    // A holder outside the pass-through: another program's claim on the drive.
    int otherProgram = 0;
    ASSERT_TRUE(plain->ClaimExclusive(&otherProgram));
    auto t = Open("CdRom0");
    const Claim c = Acquire(*t);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    plain->ReleaseExclusive(&otherProgram);
    EXPECT_TRUE(Acquire(*t).taken);
}

// The holder going away without a release (a burn that ended by an exception, a destroyed drive
// object) lets go of both locks itself, not by the system's cleanup of its handles.
TEST_F(SptiExclusive, DestroyingTheHolderReleasesTheDrive) {
    auto other = Open("CdRom1");
    {
        auto holder = Open("CdRom1");
        ASSERT_TRUE(Acquire(*holder).taken);
        ASSERT_FALSE(Acquire(*other).ok);
    }
    EXPECT_FALSE(system->DeviceLocked(1));
    EXPECT_FALSE(system->VolumeLocked(1));
    EXPECT_TRUE(system->VolumeMounted(1));
    EXPECT_EQ(system->ExclusiveRequests(kExclusiveAccessUnlockDevice), 1u);
    EXPECT_EQ(system->ControlCount(FSCTL_UNLOCK_VOLUME), 1u);
    EXPECT_EQ(system->LocksEndedByClose(), 0u);
    EXPECT_EQ(system->OpenHandles(), 1u);
    EXPECT_TRUE(Acquire(*other).taken);

    // A VirtualTransport's claim and the pass-through's exclude each other on one recorder.
    VirtualTransport direct(lettered, ScsiAddress{});
    EXPECT_FALSE(Acquire(direct).ok);
    other.reset();
    EXPECT_TRUE(Acquire(direct).taken);
}

// Wine has neither lock: the write goes on without one, and its commands still reach the drive.
TEST_F(SptiExclusive, WithoutAnyLockTheWriteGoesOn) {
    system->SetExclusiveAccess(LockSupport::InvalidFunction);
    system->SetVolumeLock(LockSupport::NotSupported);
    for (const char* name : {"CdRom0", "CdRom1"}) {
        SCOPED_TRACE(name);
        auto t = Open(name);
        const Claim c = Acquire(*t);
        EXPECT_TRUE(c.ok);
        EXPECT_FALSE(c.taken);
        EXPECT_EQ(c.error, 0u);
        EXPECT_TRUE(TestUnitReady(*t).Good());
        t->ReleaseExclusiveAccess();
    }
    EXPECT_EQ(system->ControlCount(FSCTL_UNLOCK_VOLUME), 0u);
    EXPECT_EQ(system->OpenHandles(), 0u);

    system->SetExclusiveAccess(LockSupport::NotSupported);
    system->SetVolumeLock(LockSupport::InvalidFunction);
    auto t = Open("CdRom1");
    EXPECT_TRUE(Acquire(*t).ok);
}

// No drive lock to be had: the volume lock alone keeps the file system and Explorer off.
TEST_F(SptiExclusive, WithoutTheDriveLockTheVolumeLockServes) {
    system->SetExclusiveAccess(LockSupport::NotSupported);
    auto holder = Open("CdRom1");
    auto other = Open("CdRom1");
    const Claim c = Acquire(*holder);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.taken);
    EXPECT_TRUE(system->VolumeLocked(1));
    EXPECT_FALSE(system->VolumeMounted(1));

    const Claim refused = Acquire(*other);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    holder.reset();
    EXPECT_FALSE(system->VolumeLocked(1));
    EXPECT_TRUE(Acquire(*other).taken);
    EXPECT_EQ(system->LocksEndedByClose(), 0u);

    // Without a letter there is no volume to lock: on without a lock.
    auto plainDrive = Open("CdRom0");
    const Claim none = Acquire(*plainDrive);
    EXPECT_TRUE(none.ok);
    EXPECT_FALSE(none.taken);
}
