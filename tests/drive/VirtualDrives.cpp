#include "VirtualDrives.h"

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/transport/VirtualTransport.h"
#include "drive/StarBurn.h"

namespace drivetest {

using namespace burnlib;

std::shared_ptr<VirtualRecorder> TestDeviceProvider::Add(const std::string& name, DriveModel model,
                                                         Medium medium, uint32_t refuseFromOpen) {
    std::lock_guard<std::mutex> lock(m_lock);
    TestDrive drive;
    drive.name = name;
    drive.address = ScsiAddress{1, 0, static_cast<uint8_t>(m_drives.size()), 0};
    auto recorder = std::make_shared<VirtualRecorder>(std::move(model), std::move(medium));
    drive.target = recorder;
    drive.refuseFromOpen = refuseFromOpen;
    m_drives.push_back(drive);
    return recorder;
}

std::shared_ptr<VirtualRecorder> TestDeviceProvider::AddAt(ScsiAddress address, char dosLetter,
                                                           DriveModel model, Medium medium,
                                                           const std::string& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    TestDrive drive;
    drive.name = name.empty() ? "CdRom" + std::to_string(m_drives.size()) : name;
    drive.address = address;
    drive.dosLetter = dosLetter;
    auto recorder = std::make_shared<VirtualRecorder>(std::move(model), std::move(medium));
    drive.target = recorder;
    m_drives.push_back(drive);
    return recorder;
}

void TestDeviceProvider::AddTarget(const std::string& name, std::shared_ptr<ScsiTarget> target) {
    std::lock_guard<std::mutex> lock(m_lock);
    TestDrive drive;
    drive.name = name;
    drive.address = ScsiAddress{1, 0, static_cast<uint8_t>(m_drives.size()), 0};
    drive.target = std::move(target);
    m_drives.push_back(drive);
}

void TestDeviceProvider::Remove(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::erase_if(m_drives, [&](const TestDrive& d) { return d.name == name; });
}

std::vector<std::string> TestDeviceProvider::TriedNames() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_tried;
}

std::vector<DeviceEntry> TestDeviceProvider::Enumerate() {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<DeviceEntry> entries;
    for (const TestDrive& d : m_drives) entries.push_back({d.name, d.address, d.dosLetter});
    return entries;
}

std::unique_ptr<ScsiTransport> TestDeviceProvider::Open(TestDrive* drive, OpenFailure* failure) {
    if (drive != nullptr) {
        ++drive->opens;
        if (drive->refuseFromOpen == 0 || drive->opens < drive->refuseFromOpen) {
            return std::make_unique<VirtualTransport>(drive->target, drive->address);
        }
    }
    if (failure != nullptr) {
        failure->text = "no such device";
        failure->systemError = 2;
    }
    return nullptr;
}

std::unique_ptr<ScsiTransport> TestDeviceProvider::OpenByName(const std::string& name,
                                                              OpenFailure* failure) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_tried.push_back(name);
    for (TestDrive& d : m_drives) {
        if (d.name == name) return Open(&d, failure);
    }
    return Open(nullptr, failure);
}

LibrarySession::LibrarySession(std::shared_ptr<TestDeviceProvider> provider) {
    SetDeviceProvider(std::move(provider));
    StarBurn_UpStartEx();
    ApiStatistics::Reset();
}

LibrarySession::~LibrarySession() {
    StarBurn_DownShut();
    SetDeviceProvider(nullptr);
}

namespace {
DriveModel BaseModel(const char* product) {
    DriveModel m;
    m.shortName = product;
    m.vendor = "QFTEST";
    m.product = product;
    m.revision = "1.00";
    m.readProfiles = {kProfileCdRom, kProfileCdR, kProfileCdRw};
    return m;
}
}  // namespace

DriveModel CdWriter(std::vector<uint32_t> cdWriteSpeeds) {
    DriveModel m = BaseModel("CD WRITER");
    m.writeProfiles = {kProfileCdR, kProfileCdRw};
    m.cdTao = true;
    m.cdTaoDataBlockTypes = 0x0001 | 0x0100 | 0x0400;
    m.cdSao = true;
    m.cdRaw = true;
    m.cdRwSubcode = true;
    m.maxCueSheetLength = 4096;
    m.cdTestWrite = true;
    m.bufferUnderrunProtection = true;
    m.cdReadSpeeds = cdWriteSpeeds;
    m.cdWriteSpeeds = std::move(cdWriteSpeeds);
    return m;
}

DriveModel DvdWriter(std::vector<uint32_t> dvdWriteSpeeds) {
    DriveModel m = CdWriter(StandardCdSteps());
    m.product = "DVD WRITER";
    m.shortName = m.product;
    for (uint16_t p : {kProfileDvdRom, kProfileDvdR, kProfileDvdRwSequential,
                       kProfileDvdPlusRw, kProfileDvdPlusR, kProfileBdR, kProfileHdDvdR}) {
        m.readProfiles.push_back(p);
    }
    for (uint16_t p : {kProfileDvdR, kProfileDvdRwSequential, kProfileDvdPlusRw, kProfileDvdPlusR}) {
        m.writeProfiles.push_back(p);
    }
    m.dvdMinusWrite = true;
    m.dvdMinusRw = true;
    m.dvdPlusR = true;
    m.dvdPlusRw = true;
    m.incrementalStreaming = true;
    m.realTimeStreaming = true;
    m.dvdReadSpeeds = dvdWriteSpeeds;
    m.dvdWriteSpeeds = std::move(dvdWriteSpeeds);
    m.bdReadSpeeds = {4496, 8991};
    return m;
}

DriveModel DvdReader() {
    DriveModel m = BaseModel("DVD READER");
    m.readProfiles.push_back(kProfileDvdRom);
    m.readProfiles.push_back(kProfileDvdR);
    m.cdReadSpeeds = StandardCdSteps();
    m.dvdReadSpeeds = {1385, 2770, 5540, 11080, 22160};
    return m;
}

std::vector<uint32_t> StandardCdSteps() {
    return {176, 353, 706, 1400, 1760, 2112, 2800, 3250, 4224, 5632, 7056};
}

Medium NoDisc() {
    Medium m;
    m.shortName = "none";
    return m;
}

Medium NotReadyDisc() {
    Medium m;
    m.shortName = "not-ready";
    m.profile = kProfileCdR;
    m.notReady = true;
    m.capacityBlocks = 359849;
    return m;
}

Medium BlankCdR() {
    Medium m;
    m.shortName = "cd-r-blank";
    m.profile = kProfileCdR;
    m.capacityBlocks = 359849;
    return m;
}

Medium BlankDvdPlusR() {
    Medium m;
    m.shortName = "dvd+r-blank";
    m.profile = kProfileDvdPlusR;
    m.capacityBlocks = 2295104;
    return m;
}

Medium MediumOfProfile(uint16_t profile) {
    Medium m;
    m.shortName = "profile";
    m.profile = profile;
    m.capacityBlocks = 2295104;
    if (IsRomProfile(profile)) {
        m.state = DiscState::Closed;
        m.tracks.push_back(RecordedTrack{1, 0, 1000, 4, 1});
    }
    return m;
}

Medium ClosedCdR(uint32_t trackBlocks) {
    Medium m = BlankCdR();
    m.shortName = "cd-r-closed";
    m.capacityBlocks = trackBlocks;
    m.atipLastLeadOut = static_cast<int32_t>(trackBlocks);
    m.state = DiscState::Closed;
    m.tracks.push_back(RecordedTrack{1, 0, trackBlocks, 4, 1});
    return m;
}

Medium AppendableCdR(uint32_t trackBlocks) {
    Medium m = BlankCdR();
    m.shortName = "cd-r-appendable";
    m.state = DiscState::Appendable;
    m.tracks.push_back(RecordedTrack{1, 0, trackBlocks, 4, 1});
    return m;
}

}  // namespace drivetest
