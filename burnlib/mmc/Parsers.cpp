#include "burnlib/mmc/Parsers.h"

#include "burnlib/common/Msf.h"

#include <algorithm>

#include "burnlib/mmc/Cdb.h"

namespace burnlib::mmc {

namespace {

std::string TrimmedText(const uint8_t* data, size_t length, size_t from, size_t count) {
    if (from >= length) return {};
    count = std::min(count, length - from);
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = data[from + i];
        if (c == 0) break;
        text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// Bytes of an answer whose first lengthBytes bytes announce how many follow: the smaller of
// what was transferred and what was announced.
size_t Usable(const uint8_t* data, size_t length, size_t lengthBytes) {
    if (length < lengthBytes) return 0;
    size_t announced = lengthBytes == 2 ? GetBe16(data) : GetBe32(data);
    return std::min(length, announced + lengthBytes);
}

}  // namespace

bool ParseInquiry(const uint8_t* data, size_t length, InquiryData* out) {
    if (data == nullptr || length < 5) return false;
    InquiryData r;
    r.deviceType = data[0] & 0x1F;
    r.removable = (data[1] & 0x80) != 0;
    // The additional length bounds the identity strings as well as the transfer does.
    const size_t usable = std::min(length, static_cast<size_t>(data[4]) + 5);
    r.vendor = TrimmedText(data, usable, 8, 8);
    r.product = TrimmedText(data, usable, 16, 16);
    r.revision = TrimmedText(data, usable, 32, 4);
    *out = std::move(r);
    return true;
}

bool ParseSense(const uint8_t* data, size_t length, SenseData* out) {
    if (data == nullptr || length < 1) return false;
    SenseData r;
    r.responseCode = data[0] & 0x7F;
    if (r.responseCode == 0x72 || r.responseCode == 0x73) {
        if (length < 4) return false;
        r.key = data[1] & 0x0F;
        r.asc = data[2];
        r.ascq = data[3];
        // Sense-key-specific descriptor (type 02h) carries the progress indication.
        const size_t total = length >= 8 ? std::min(length, static_cast<size_t>(data[7]) + 8) : 0;
        size_t at = 8;
        while (at + 2 <= total) {
            const size_t descriptorLength = static_cast<size_t>(data[at + 1]) + 2;
            if (at + descriptorLength > total) break;
            if (data[at] == 0x02 && descriptorLength >= 7 && (data[at + 4] & 0x80) != 0) {
                r.progressValid = true;
                r.progress = GetBe16(data + at + 5);
            }
            at += descriptorLength;
        }
    } else if (r.responseCode == 0x70 || r.responseCode == 0x71) {
        if (length < 3) return false;
        r.key = data[2] & 0x0F;
        const size_t total = length >= 8 ? std::min(length, static_cast<size_t>(data[7]) + 8) : length;
        if (total > 12) r.asc = data[12];
        if (total > 13) r.ascq = data[13];
        if (total > 17 && (data[15] & 0x80) != 0) {
            r.progressValid = true;
            r.progress = GetBe16(data + 16);
        }
    } else {
        return false;
    }
    *out = r;
    return true;
}

const Feature* Configuration::Find(uint16_t code) const {
    for (const Feature& f : features)
        if (f.code == code) return &f;
    return nullptr;
}

bool Configuration::HasProfile(uint16_t profile) const {
    for (const ProfileEntry& p : profiles)
        if (p.profile == profile) return true;
    return false;
}

bool ParseConfiguration(const uint8_t* data, size_t length, Configuration* out) {
    if (data == nullptr || length < 8) return false;
    Configuration r;
    r.dataLength = GetBe32(data);
    r.currentProfile = GetBe16(data + 6);
    // Announced lengths beyond 4 GiB - 4 cannot overflow size_t arithmetic below on 64-bit, and
    // the min() keeps us inside the transfer.
    const size_t end = static_cast<size_t>(
        std::min<uint64_t>(length, static_cast<uint64_t>(r.dataLength) + 4));
    size_t at = 8;
    while (at + 4 <= end) {
        Feature f;
        f.code = GetBe16(data + at);
        f.version = (data[at + 2] >> 2) & 0x0F;
        f.persistent = (data[at + 2] & 0x02) != 0;
        f.current = (data[at + 2] & 0x01) != 0;
        const size_t additional = data[at + 3];
        const size_t available = std::min(additional, end - (at + 4));
        f.data.assign(data + at + 4, data + at + 4 + available);
        if (f.code == 0x0000) {
            for (size_t i = 0; i + 4 <= f.data.size(); i += 4)
                r.profiles.push_back({GetBe16(f.data.data() + i), (f.data[i + 2] & 0x01) != 0});
        }
        r.features.push_back(std::move(f));
        at += 4 + additional;
    }
    *out = std::move(r);
    return true;
}

bool ParseDiscInformation(const uint8_t* data, size_t length, DiscInformation* out) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 12) return false;
    DiscInformation r;
    r.erasable = (data[2] & 0x10) != 0;
    r.lastSessionState = (data[2] >> 2) & 0x03;
    r.discStatus = data[2] & 0x03;
    r.firstTrack = data[3];
    r.sessions = static_cast<uint16_t>(data[4] | (data[9] << 8));
    r.firstTrackInLastSession = static_cast<uint16_t>(data[5] | (data[10] << 8));
    r.lastTrackInLastSession = static_cast<uint16_t>(data[6] | (data[11] << 8));
    r.backgroundFormat = data[7] & 0x03;
    r.discType = data[8];
    if (usable >= 24) {
        r.hasLeadOut = true;
        r.lastSessionLeadIn = GetBe32(data + 16);
        r.lastPossibleLeadOut = GetBe32(data + 20);
    }
    *out = r;
    return true;
}

bool ParseTrackInformation(const uint8_t* data, size_t length, TrackInformation* out) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 28) return false;
    TrackInformation r;
    r.trackNumber = static_cast<uint16_t>(data[2] | (usable > 32 ? data[32] << 8 : 0));
    r.sessionNumber = static_cast<uint16_t>(data[3] | (usable > 33 ? data[33] << 8 : 0));
    r.damage = (data[5] & 0x20) != 0;
    r.copy = (data[5] & 0x10) != 0;
    r.trackMode = data[5] & 0x0F;
    r.reserved = (data[6] & 0x80) != 0;
    r.blank = (data[6] & 0x40) != 0;
    r.packet = (data[6] & 0x20) != 0;
    r.fixedPacket = (data[6] & 0x10) != 0;
    r.dataMode = data[6] & 0x0F;
    r.lraValid = (data[7] & 0x02) != 0;
    r.nwaValid = (data[7] & 0x01) != 0;
    r.start = static_cast<int32_t>(GetBe32(data + 8));
    r.nextWritable = static_cast<int32_t>(GetBe32(data + 12));
    r.freeBlocks = static_cast<int32_t>(GetBe32(data + 16));
    r.fixedPacketSize = GetBe32(data + 20);
    r.size = GetBe32(data + 24);
    if (usable >= 32) r.lastRecorded = static_cast<int32_t>(GetBe32(data + 28));
    *out = r;
    return true;
}

bool ParseToc(const uint8_t* data, size_t length, Toc* out) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 4) return false;
    Toc r;
    r.firstTrack = data[2];
    r.lastTrack = data[3];
    for (size_t at = 4; at + 8 <= usable; at += 8) {
        TocEntry e;
        e.adrControl = data[at + 1];
        e.track = data[at + 2];
        e.address = static_cast<int32_t>(GetBe32(data + at + 4));
        r.entries.push_back(e);
    }
    *out = std::move(r);
    return true;
}

bool ParseFullToc(const uint8_t* data, size_t length, FullToc* out) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 4) return false;
    FullToc r;
    r.firstSession = data[2];
    r.lastSession = data[3];
    for (size_t at = 4; at + 11 <= usable; at += 11) {
        FullTocEntry e;
        e.session = data[at];
        e.adrControl = data[at + 1];
        e.tno = data[at + 2];
        e.point = data[at + 3];
        e.min = data[at + 4];
        e.sec = data[at + 5];
        e.frame = data[at + 6];
        e.pmin = data[at + 8];
        e.psec = data[at + 9];
        e.pframe = data[at + 10];
        r.entries.push_back(e);
    }
    *out = std::move(r);
    return true;
}

int32_t MsfToLba(uint8_t m, uint8_t s, uint8_t f) { return burnlib::MsfToLba(m, s, f); }

bool ParseAtip(const uint8_t* data, size_t length, Atip* out) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 15) return false;
    Atip r;
    r.referenceSpeed = data[4] & 0x07;
    r.rewritable = (data[6] & 0x40) != 0;
    r.subType = (data[6] >> 3) & 0x07;
    r.leadInStart = MsfToLba(data[8], data[9], data[10]);
    r.lastPossibleLeadOut = MsfToLba(data[12], data[13], data[14]);
    *out = r;
    return true;
}

bool FindModePage(const uint8_t* data, size_t length, uint8_t pageCode, size_t* offset,
                  size_t* pageLength) {
    const size_t usable = data == nullptr ? 0 : Usable(data, length, 2);
    if (usable < 8) return false;
    size_t at = 8 + static_cast<size_t>(GetBe16(data + 6));  // after any block descriptors
    while (at + 2 <= usable) {
        const size_t size = static_cast<size_t>(data[at + 1]) + 2;
        if ((data[at] & 0x3F) == (pageCode & 0x3F)) {
            *offset = at;
            *pageLength = std::min(size, usable - at);
            return true;
        }
        at += size;
    }
    return false;
}

bool ParseCapabilitiesPage(const uint8_t* page, size_t pageLength, Capabilities* out) {
    // Bytes 0..15 hold everything an MMC-1 drive reports; later fields are read when present.
    if (page == nullptr || pageLength < 16 || (page[0] & 0x3F) != kPageCapabilities) return false;
    const size_t usable = std::min(pageLength, static_cast<size_t>(page[1]) + 2);
    if (usable < 16) return false;
    Capabilities r;
    r.cdRRead = (page[2] & 0x01) != 0;
    r.cdRwRead = (page[2] & 0x02) != 0;
    r.dvdRomRead = (page[2] & 0x08) != 0;
    r.dvdRRead = (page[2] & 0x10) != 0;
    r.dvdRamRead = (page[2] & 0x20) != 0;
    r.cdRWrite = (page[3] & 0x01) != 0;
    r.cdRwWrite = (page[3] & 0x02) != 0;
    r.testWrite = (page[3] & 0x04) != 0;
    r.dvdRWrite = (page[3] & 0x10) != 0;
    r.dvdRamWrite = (page[3] & 0x20) != 0;
    r.bufferUnderrunProtection = (page[4] & 0x80) != 0;
    r.maxReadSpeed = GetBe16(page + 8);
    r.bufferSizeKB = GetBe16(page + 12);
    r.currentReadSpeed = GetBe16(page + 14);
    if (usable >= 20) r.maxWriteSpeed = GetBe16(page + 18);
    if (usable >= 22) r.currentWriteSpeed = GetBe16(page + 20);
    if (usable >= 30) {
        r.selectedWriteSpeed = GetBe16(page + 28);
        if (r.selectedWriteSpeed != 0) r.currentWriteSpeed = r.selectedWriteSpeed;
    }
    if (usable >= 32) {
        const size_t count = GetBe16(page + 30);
        for (size_t i = 0; i < count && 32 + 4 * i + 4 <= usable; ++i)
            r.writeSpeeds.push_back(GetBe16(page + 32 + 4 * i + 2));
    }
    *out = std::move(r);
    return true;
}

bool ParseWriteParametersPage(const uint8_t* page, size_t pageLength, WriteParameters* out) {
    if (page == nullptr || pageLength < 5 || (page[0] & 0x3F) != kPageWriteParameters)
        return false;
    if (static_cast<size_t>(page[1]) + 2 < 5) return false;
    WriteParameters r;
    r.bufferUnderrunProtection = (page[2] & 0x40) != 0;
    r.testWrite = (page[2] & 0x10) != 0;
    r.writeType = page[2] & 0x0F;
    r.multiSession = (page[3] >> 6) & 0x03;
    r.trackMode = page[3] & 0x0F;
    r.dataBlockType = page[4] & 0x0F;
    *out = r;
    return true;
}

bool ParseWriteSpeeds(const uint8_t* data, size_t length, std::vector<WriteSpeedDescriptor>* out) {
    if (data == nullptr || length < 8) return false;
    const uint64_t announced = static_cast<uint64_t>(GetBe32(data)) + 4;
    const size_t usable = static_cast<size_t>(std::min<uint64_t>(length, announced));
    std::vector<WriteSpeedDescriptor> r;
    for (size_t at = 8; at + 16 <= usable; at += 16) {
        WriteSpeedDescriptor d;
        d.endLba = GetBe32(data + at + 4);
        d.readSpeed = GetBe32(data + at + 8);
        d.writeSpeed = GetBe32(data + at + 12);
        r.push_back(d);
    }
    *out = std::move(r);
    return true;
}

bool ParsePerformance(const uint8_t* data, size_t length, std::vector<PerformanceDescriptor>* out) {
    if (data == nullptr || length < 8) return false;
    const uint64_t announced = static_cast<uint64_t>(GetBe32(data)) + 4;
    const size_t usable = static_cast<size_t>(std::min<uint64_t>(length, announced));
    std::vector<PerformanceDescriptor> r;
    for (size_t at = 8; at + 16 <= usable; at += 16) {
        PerformanceDescriptor d;
        d.startLba = GetBe32(data + at);
        d.startPerformance = GetBe32(data + at + 4);
        d.endLba = GetBe32(data + at + 8);
        d.endPerformance = GetBe32(data + at + 12);
        r.push_back(d);
    }
    *out = std::move(r);
    return true;
}

}  // namespace burnlib::mmc
