// Drive answers built field by field as MMC lays them out, for the engine tests.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "burnlib/mmc/Cdb.h"

namespace mmctest {

using burnlib::mmc::PutBe16;
using burnlib::mmc::PutBe32;

// MODE SENSE(10) reply with page 2Ah: current read speed at bytes 14-15, obsolete current write
// speed at 20-21, current write speed selected at 28-29.
inline std::vector<uint8_t> CapabilitiesReply(bool cdWriter, uint16_t currentRead,
                                              uint16_t currentWrite, uint16_t obsoleteWrite = 0) {
    std::vector<uint8_t> r(8 + 32, 0);
    r[1] = static_cast<uint8_t>(r.size() - 2);
    uint8_t* page = r.data() + 8;
    page[0] = 0x2A;
    page[1] = 30;
    page[2] = 0x03;
    page[3] = cdWriter ? 0x03 : 0x00;
    PutBe16(page + 8, 7056);
    PutBe16(page + 12, 1024);
    PutBe16(page + 14, currentRead);
    PutBe16(page + 18, 5645);
    PutBe16(page + 20, obsoleteWrite);
    PutBe16(page + 28, currentWrite);
    return r;
}

inline std::vector<uint8_t> ConfigurationHeader(uint16_t profile) {
    std::vector<uint8_t> r(8, 0);
    r[3] = 4;
    PutBe16(r.data() + 6, profile);
    return r;
}

struct FeatureBytes {
    uint16_t code;
    std::vector<uint8_t> body;  // the bytes after the 4-byte descriptor header
};

// GET CONFIGURATION with the profile list (feature 0000h) and the given features.
inline std::vector<uint8_t> ConfigurationReply(uint16_t current, const std::vector<uint16_t>& profiles,
                                          const std::vector<FeatureBytes>& features) {
    std::vector<uint8_t> r(8, 0);
    PutBe16(r.data() + 6, current);
    std::vector<FeatureBytes> all;
    FeatureBytes list{0x0000, {}};
    for (uint16_t p : profiles) {
        list.body.push_back(static_cast<uint8_t>(p >> 8));
        list.body.push_back(static_cast<uint8_t>(p));
        list.body.push_back(p == current ? 1 : 0);
        list.body.push_back(0);
    }
    all.push_back(list);
    all.insert(all.end(), features.begin(), features.end());
    for (const FeatureBytes& f : all) {
        r.push_back(static_cast<uint8_t>(f.code >> 8));
        r.push_back(static_cast<uint8_t>(f.code));
        r.push_back(0x03);
        r.push_back(static_cast<uint8_t>(f.body.size()));
        r.insert(r.end(), f.body.begin(), f.body.end());
    }
    PutBe32(r.data(), static_cast<uint32_t>(r.size() - 4));
    return r;
}

inline std::vector<uint8_t> AtipReply(bool rewritable) {
    std::vector<uint8_t> r(28, 0);
    r[1] = 26;
    r[6] = rewritable ? 0x40 : 0x00;
    r[8] = 97;
    r[9] = 26;
    r[10] = 65;
    return r;
}

// READ DISC INFORMATION: complete last session, the given status, sessions and disc type.
inline std::vector<uint8_t> DiscInfo(uint8_t status, uint8_t discType, uint8_t sessions = 1) {
    std::vector<uint8_t> r(34, 0);
    r[1] = 32;
    r[2] = static_cast<uint8_t>(0x0C | status);
    r[3] = 1;
    r[4] = sessions;
    r[5] = 1;
    r[6] = 2;
    r[8] = discType;
    return r;
}

inline std::vector<uint8_t> TocReply(std::vector<std::pair<uint8_t, int32_t>> entries,
                                     uint8_t control) {
    std::vector<uint8_t> r(4, 0);
    for (auto [track, lba] : entries) {
        uint8_t e[8] = {0, static_cast<uint8_t>(0x10 | control), track, 0};
        PutBe32(e + 4, static_cast<uint32_t>(lba));
        r.insert(r.end(), e, e + 8);
    }
    PutBe16(r.data(), static_cast<uint16_t>(r.size() - 2));
    r[2] = 1;
    r[3] = entries.empty() ? 0 : entries.front().first;
    return r;
}

struct FullTocItem {
    uint8_t session, point;
    int32_t lba;       // POINT 01-63h, A2h: the address in PMIN/PSEC/PFRAME
    uint8_t psec = 0;  // A0h: disc type
};

// READ TOC format 2: 11-byte entries, times as binary MSF of LBA + 150.
inline std::vector<uint8_t> FullTocReply(uint8_t lastSession, const std::vector<FullTocItem>& items) {
    std::vector<uint8_t> r(4, 0);
    r[2] = 1;
    r[3] = lastSession;
    for (const FullTocItem& i : items) {
        uint8_t e[11] = {i.session, 0x14, 0, i.point};
        if (i.point == 0xA0) {
            e[8] = 1;
            e[9] = i.psec;
        } else {
            const int32_t frames = i.lba + 150;
            e[8] = static_cast<uint8_t>(frames / 4500);
            e[9] = static_cast<uint8_t>(frames / 75 % 60);
            e[10] = static_cast<uint8_t>(frames % 75);
        }
        r.insert(r.end(), e, e + 11);
    }
    PutBe16(r.data(), static_cast<uint16_t>(r.size() - 2));
    return r;
}

// READ TRACK INFORMATION of a recorded track.
inline std::vector<uint8_t> TrackInfo(uint8_t number, uint8_t session, int32_t start,
                                      uint32_t size, uint8_t dataMode) {
    std::vector<uint8_t> r(36, 0);
    r[1] = 34;
    r[2] = number;
    r[3] = session;
    r[5] = 0x04;
    r[6] = dataMode;
    PutBe32(r.data() + 8, static_cast<uint32_t>(start));
    PutBe32(r.data() + 24, size);
    return r;
}

// GET PERFORMANCE: 8-byte header, then 16-byte descriptors given as four 32-bit fields.
inline std::vector<uint8_t> PerformanceReply(
    const std::vector<std::vector<uint32_t>>& descriptors) {
    std::vector<uint8_t> r(8, 0);
    for (const auto& d : descriptors) {
        uint8_t e[16] = {};
        for (size_t i = 0; i < 4 && i < d.size(); ++i) PutBe32(e + 4 * i, d[i]);
        r.insert(r.end(), e, e + 16);
    }
    PutBe32(r.data(), static_cast<uint32_t>(r.size() - 4));
    return r;
}

}  // namespace mmctest
