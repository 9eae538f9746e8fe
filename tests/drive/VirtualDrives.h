// Test drives for the discovery tests: virtual recorders under names and addresses of our choice,
// served to the real library through a provider that can also refuse to open a drive.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/virtual/DriveModel.h"
#include "burnlib/virtual/Medium.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace drivetest {

struct TestDrive {
    std::string name;                      // "CdRom0"
    burnlib::ScsiAddress address;
    char dosLetter = 0;
    std::shared_ptr<burnlib::ScsiTarget> target;
    uint32_t refuseFromOpen = 0;           // opens from this one on (1 = the first) fail; 0 never
    uint32_t opens = 0;
};

class TestDeviceProvider : public burnlib::DeviceProvider {
public:
    std::shared_ptr<burnlib::VirtualRecorder> Add(const std::string& name,
                                                  burnlib::DriveModel model,
                                                  burnlib::Medium medium,
                                                  uint32_t refuseFromOpen = 0);
    std::shared_ptr<burnlib::VirtualRecorder> AddAt(burnlib::ScsiAddress address, char dosLetter,
                                                    burnlib::DriveModel model,
                                                    burnlib::Medium medium,
                                                    const std::string& name = {});
    // Any command target (a recorder whose answers a test rewrites).
    void AddTarget(const std::string& name, std::shared_ptr<burnlib::ScsiTarget> target);
    void Remove(const std::string& name);
    // Every name the library tried to open, in order, found or not.
    std::vector<std::string> TriedNames() const;

    std::vector<burnlib::DeviceEntry> Enumerate() override;
    std::unique_ptr<burnlib::ScsiTransport> OpenByName(const std::string& name,
                                                       burnlib::OpenFailure* failure) override;

private:
    std::unique_ptr<burnlib::ScsiTransport> Open(TestDrive* drive, burnlib::OpenFailure* failure);

    mutable std::mutex m_lock;
    std::vector<TestDrive> m_drives;
    std::vector<std::string> m_tried;
};

// The library started on exactly the provider's drives for the life of the object.
class LibrarySession {
public:
    explicit LibrarySession(std::shared_ptr<TestDeviceProvider> provider);
    ~LibrarySession();
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;
};

// A CD-R/RW writer with every write method and the given CD write steps (read steps the same).
burnlib::DriveModel CdWriter(std::vector<uint32_t> cdWriteSpeeds);
// A DVD writer (CD and DVD, both families) with the given DVD write steps.
burnlib::DriveModel DvdWriter(std::vector<uint32_t> dvdWriteSpeeds);
// A drive that reads CDs and DVDs and writes nothing.
burnlib::DriveModel DvdReader();

// The standard CD steps of a 40x writer: 1x..32x as the nominal table has them, 40x as 7056.
std::vector<uint32_t> StandardCdSteps();

burnlib::Medium NoDisc();
burnlib::Medium NotReadyDisc();
burnlib::Medium BlankCdR();
burnlib::Medium BlankDvdPlusR();
burnlib::Medium MediumOfProfile(uint16_t profile);
// One closed session with one data track of the given length from block 0.
burnlib::Medium ClosedCdR(uint32_t trackBlocks);
// One open session holding one track; the rest of the disc can still be written.
burnlib::Medium AppendableCdR(uint32_t trackBlocks);

}  // namespace drivetest
