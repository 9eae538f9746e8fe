// The virtual recorder's mode pages: write parameters (05h), read and set; capabilities (2Ah).
#include <algorithm>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

constexpr uint8_t kWritePageLength = 0x32;  // bytes after the page length byte
constexpr uint8_t kPageWriteParameters = 0x05;
constexpr uint8_t kPageCapabilities = 0x2A;
constexpr uint8_t kPageAll = 0x3F;

}  // namespace

std::vector<uint8_t> VirtualRecorder::DefaultWritePage() const {
    std::vector<uint8_t> page(2 + kWritePageLength, 0);
    page[0] = 0x80 | kPageWriteParameters;  // parameters savable
    page[1] = kWritePageLength;
    page[2] = 0x01;  // Track-at-Once
    page[3] = 0x04;  // data track
    page[4] = 0x08;  // Mode 1, 2048 bytes
    page[8] = 0x00;
    Put16(&page[14], 150);
    return page;
}

std::vector<uint8_t> VirtualRecorder::ChangeableWritePage() const {
    std::vector<uint8_t> page(2 + kWritePageLength, 0);
    page[0] = kPageWriteParameters;
    page[1] = kWritePageLength;
    const bool testWrite = m_model.cdTestWrite || m_model.dvdMinusTestWrite;
    page[2] = static_cast<uint8_t>((m_model.bufferUnderrunProtection ? 0x40 : 0) | 0x20 |
                                   (testWrite ? 0x10 : 0) | 0x0F);
    page[3] = 0xFF;
    page[4] = 0x0F;
    page[5] = 0xFF;
    page[7] = 0x3F;
    page[8] = 0xFF;
    std::fill(page.begin() + 10, page.begin() + 16, uint8_t{0xFF});
    std::fill(page.begin() + 16, page.begin() + 52, uint8_t{0xFF});
    return page;
}

std::vector<uint8_t> VirtualRecorder::CapabilitiesPage() const {
    const std::vector<uint32_t> writes = UsableWriteSteps();
    const std::vector<uint32_t> reads = UsableReadSteps();
    std::vector<uint8_t> page(32, 0);
    page[0] = kPageCapabilities;
    page[1] = static_cast<uint8_t>(30 + 4 * writes.size());
    auto reads_ = [&](uint16_t p) { return m_model.CanRead(p); };
    auto writes_ = [&](uint16_t p) { return m_model.CanWrite(p); };
    page[2] = static_cast<uint8_t>((reads_(kProfileCdR) ? 0x01 : 0) | (reads_(kProfileCdRw) ? 0x02 : 0) |
                                   0x04 | (reads_(kProfileDvdRom) ? 0x08 : 0) |
                                   (reads_(kProfileDvdR) ? 0x10 : 0) | (reads_(kProfileDvdRam) ? 0x20 : 0));
    page[3] = static_cast<uint8_t>((writes_(kProfileCdR) ? 0x01 : 0) | (writes_(kProfileCdRw) ? 0x02 : 0) |
                                   (m_model.cdTestWrite || m_model.dvdMinusTestWrite ? 0x04 : 0) |
                                   (writes_(kProfileDvdR) ? 0x10 : 0) | (writes_(kProfileDvdRam) ? 0x20 : 0));
    page[4] = static_cast<uint8_t>((m_model.bufferUnderrunProtection ? 0x80 : 0) | 0x40 | 0x30 | 0x01);
    page[5] = 0x03;
    page[6] = static_cast<uint8_t>(0x20 | 0x08 | (m_preventRemoval ? 0x02 : 0) | 0x01);  // tray, eject, lock
    const uint32_t readNow = PickStep(reads, m_readRequest);
    const uint32_t writeNow = PickStep(writes, m_writeRequest);
    Put16(&page[8], reads.empty() ? 0 : std::min<uint32_t>(reads.back(), 0xFFFF));
    Put16(&page[10], 256);
    Put16(&page[12], std::min<uint32_t>(m_model.bufferKB, 0xFFFF));
    Put16(&page[14], std::min<uint32_t>(readNow, 0xFFFF));
    Put16(&page[18], writes.empty() ? 0 : std::min<uint32_t>(writes.back(), 0xFFFF));
    Put16(&page[20], std::min<uint32_t>(writeNow, 0xFFFF));
    page[27] = 0x00;  // CLV
    Put16(&page[28], std::min<uint32_t>(writeNow, 0xFFFF));
    Put16(&page[30], static_cast<uint32_t>(writes.size()));
    for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
        page.push_back(0);
        page.push_back(0x00);  // CLV
        Append16(page, std::min<uint32_t>(*it, 0xFFFF));
    }
    return page;
}

ScsiResult VirtualRecorder::ModeSense10(const ScsiRequest& r) {
    const uint8_t control = r.cdb[2] >> 6;
    const uint8_t code = r.cdb[2] & 0x3F;
    if (r.cdb[3] != 0) return Fail(kSenseIllegalRequest, 0x24, 0x00);  // no subpages
    if (control == 3) return Fail(kSenseIllegalRequest, 0x39, 0x00);  // saving not supported
    const bool writer = m_model.WritesAnything();
    std::vector<uint8_t> pages;
    auto addWritePage = [&] {
        std::vector<uint8_t> page = control == 1   ? ChangeableWritePage()
                                    : control == 2 ? DefaultWritePage()
                                                   : m_writePage;
        pages.insert(pages.end(), page.begin(), page.end());
    };
    auto addCapabilities = [&] {
        std::vector<uint8_t> page = CapabilitiesPage();
        if (control == 1) std::fill(page.begin() + 2, page.end(), uint8_t{0});
        pages.insert(pages.end(), page.begin(), page.end());
    };
    if (code == kPageWriteParameters && writer) {
        addWritePage();
    } else if (code == kPageCapabilities) {
        addCapabilities();
    } else if (code == kPageAll) {
        if (writer) addWritePage();
        addCapabilities();
    } else {
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    }
    std::vector<uint8_t> data(8, 0);
    Put16(&data[0], static_cast<uint32_t>(6 + pages.size()));
    data.insert(data.end(), pages.begin(), pages.end());
    return Reply(r, data);
}

// Checks a write parameters page against what the drive and the disc allow: unknown or reserved
// values and features the drive lacks are bad parameters (26/00); a write type the drive has but
// the inserted disc cannot take is an illegal mode (64/00).
ScsiResult VirtualRecorder::CheckWritePage(const uint8_t* page, size_t length) {
    if (length != 2u + kWritePageLength || page[1] != kWritePageLength)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);
    const std::vector<uint8_t> changeable = ChangeableWritePage();
    for (size_t i = 2; i < length; ++i)
        if ((page[i] & ~changeable[i]) != (m_writePage[i] & ~changeable[i]))
            return Fail(kSenseIllegalRequest, 0x26, 0x00);

    const uint8_t writeType = page[2] & 0x0F;
    const bool testWrite = page[2] & 0x10;
    const uint8_t multiSession = page[3] >> 6;
    const uint8_t trackMode = page[3] & 0x0F;
    const uint8_t blockType = page[4] & 0x0F;
    const uint8_t sessionFormat = page[8];
    if (writeType > 4 || multiSession == 2) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if ((blockType >= 4 && blockType <= 7) || blockType >= 14) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if (sessionFormat != 0x00 && sessionFormat != 0x10 && sessionFormat != 0x20)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);

    const bool dataTrack = trackMode & 0x04;
    const bool cdWriter = m_model.WritesCd();
    const bool dvdMinusWriter = m_model.dvdMinusWrite;
    // What the drive can do at all, whatever the disc.
    bool supported = false;
    switch (writeType) {
    case 0:  // packet / incremental
        supported = m_model.incrementalStreaming &&
                    (blockType == 8 || (cdWriter && (m_model.cdTaoDataBlockTypes >> blockType & 1)));
        break;
    case 1:  // track at once
        supported = cdWriter && m_model.cdTao && (m_model.cdTaoDataBlockTypes >> blockType & 1) &&
                    ((blockType != 2 && blockType != 3) || m_model.cdRwSubcode);
        break;
    case 2:  // session / disc at once; the cue sheet says what the blocks hold
        supported = (cdWriter && m_model.cdSao) || dvdMinusWriter;
        break;
    case 3:  // raw: the host sends whole sectors with sub-channel
        supported = cdWriter && m_model.cdRaw &&
                    (blockType == 1 || ((blockType == 2 || blockType == 3) && m_model.cdRwSubcode));
        break;
    case 4:  // layer jump recording is not modelled
        supported = false;
        break;
    }
    if (!supported) return Fail(kSenseIllegalRequest, 0x26, 0x00);
    if (writeType != 2 && writeType != 3 && blockType >= 8 && !dataTrack)
        return Fail(kSenseIllegalRequest, 0x26, 0x00);  // a data block on an audio track

    if (!MediumReady() || !m_model.CanWrite(m_medium.profile)) return ScsiResult::Ok(0);
    const uint16_t profile = m_medium.profile;
    const MediumFamily family = m_medium.Family();
    bool legal = true;
    if (family == MediumFamily::Cd) {
        if (testWrite && !m_model.cdTestWrite) legal = false;
        if (writeType == 2 && !m_model.cdSao) legal = false;
    } else if (profile == kProfileDvdR || profile == kProfileDvdRwSequential || profile == kProfileDvdRDl) {
        legal = (writeType == 0 || writeType == 2) && blockType == 8 &&
                (writeType != 2 || dvdMinusWriter) && (!testWrite || m_model.dvdMinusTestWrite);
    } else {
        // DVD+R, DVD+RW, DVD-RAM, restricted overwrite, BD: no test write, no CD write types.
        legal = !testWrite && (writeType == 0 || writeType == 2) && blockType == 8;
    }
    if (!legal) return Fail(kSenseIllegalRequest, 0x64, 0x00);
    return ScsiResult::Ok(0);
}

ScsiResult VirtualRecorder::ModeSelect10(const ScsiRequest& r) {
    if ((r.cdb[1] & 0x10) == 0 || (r.cdb[1] & 0x01) != 0)  // pages must be in MMC format; no saving
        return Fail(kSenseIllegalRequest, 0x24, 0x00);
    const uint16_t length = Get16(&r.cdb[7]);
    if (length == 0) return ScsiResult::Ok(0);
    if (length < 8) return Fail(kSenseIllegalRequest, 0x1A, 0x00);
    const std::vector<uint8_t> p = TakeParameters(r);
    // Header: the mode data length is reserved in MODE SELECT, medium type and device-specific
    // parameter are reserved on MMC drives, and so are bytes 4-5; MMC drives take no block
    // descriptors.
    if (std::any_of(p.begin(), p.begin() + 8, [](uint8_t b) { return b != 0; }))
        return Fail(kSenseIllegalRequest, 0x26, 0x00);
    size_t at = 8;
    std::vector<uint8_t> newWritePage = m_writePage;
    while (at < p.size()) {
        if (p.size() - at < 2 || p.size() - at < 2u + p[at + 1])
            return Fail(kSenseIllegalRequest, 0x1A, 0x00);
        const uint8_t* page = &p[at];
        const size_t pageLength = 2u + page[1];
        if (page[0] & 0x80) return Fail(kSenseIllegalRequest, 0x26, 0x00);  // PS is reserved here
        if ((page[0] & 0x3F) != kPageWriteParameters || !m_model.WritesAnything())
            return Fail(kSenseIllegalRequest, 0x26, 0x00);
        ScsiResult check = CheckWritePage(page, pageLength);
        if (!check.Good()) return check;
        newWritePage.assign(page, page + pageLength);
        newWritePage[0] = m_writePage[0];
        at += pageLength;
    }
    m_writePage = newWritePage;
    return ScsiResult::Ok(0);
}

}  // namespace burnlib
