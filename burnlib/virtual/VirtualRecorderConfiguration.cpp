// The virtual recorder's GET CONFIGURATION: the profile list and the feature descriptors.
#include <algorithm>
#include <functional>

#include "burnlib/common/BigEndian.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace burnlib {

using namespace be;

namespace {

struct Feature {
    uint16_t code;
    uint8_t version;
    bool persistent;
    bool current;
    std::vector<uint8_t> body;
};

}  // namespace

std::vector<uint8_t> VirtualRecorder::ConfigurationFeatures(uint8_t requestType,
                                                             uint16_t startingFeature) const {
    const uint16_t current = CurrentProfile();
    const MediumFamily family = FamilyOfProfile(current);
    auto readsAny = [&](std::initializer_list<uint16_t> profiles) {
        return std::any_of(profiles.begin(), profiles.end(), [&](uint16_t p) { return m_model.CanRead(p); });
    };
    auto currentIs = [&](std::initializer_list<uint16_t> profiles) {
        return current != kProfileNone && m_model.CanWrite(current) &&
               std::find(profiles.begin(), profiles.end(), current) != profiles.end();
    };
    const bool buf = m_model.bufferUnderrunProtection;
    std::vector<Feature> features;

    std::vector<uint16_t> profiles = m_model.readProfiles;
    profiles.insert(profiles.end(), m_model.writeProfiles.begin(), m_model.writeProfiles.end());
    std::sort(profiles.begin(), profiles.end(), std::greater<>());
    profiles.erase(std::unique(profiles.begin(), profiles.end()), profiles.end());
    Feature list{0x0000, 0, true, true, {}};
    for (uint16_t p : profiles) {
        Append16(list.body, p);
        list.body.push_back(p == current ? 0x01 : 0x00);
        list.body.push_back(0);
    }
    features.push_back(list);
    features.push_back({0x0001, 2, true, true, {0, 0, 0, 2, 0x01, 0, 0, 0}});  // ATAPI, DBE
    features.push_back({0x0002, 1, true, true, {0x02, 0, 0, 0}});              // OCEvent
    features.push_back({0x0003, 0, true, true, {0x29, 0, 0, 0}});              // tray, eject, lock
    {
        // Readable blocks exist only once something is recorded.
        const bool readable = current != kProfileNone && !TocTracks().empty();
        Feature random{0x0010, 0, false, readable, std::vector<uint8_t>(8, 0)};
        Put32(&random.body[0], 2048);
        Put16(&random.body[4], family == MediumFamily::Cd ? 1 : family == MediumFamily::Bd ? 32 : 16);
        features.push_back(random);
    }
    if (readsAny({kProfileCdR, kProfileCdRw}))
        features.push_back({0x001D, 0, false, family == MediumFamily::Cd, {}});
    if (readsAny({kProfileCdRom, kProfileCdR, kProfileCdRw}))
        features.push_back({0x001E, 2, false, family == MediumFamily::Cd, {0, 0, 0, 0}});
    if (readsAny({kProfileDvdRom}))
        features.push_back({0x001F, 1, false, family == MediumFamily::Dvd, {0x01, 0, 0x01, 0}});
    const bool writesRandom = m_model.CanWrite(kProfileDvdRam) || m_model.CanWrite(kProfileBdRe) ||
                              m_model.CanWrite(kProfileHdDvdRam);
    if (writesRandom) {
        const bool isCurrent = currentIs({kProfileDvdRam, kProfileBdRe, kProfileHdDvdRam});
        Feature random{0x0020, 1, false, isCurrent, std::vector<uint8_t>(12, 0)};
        if (isCurrent) Put32(&random.body[0], m_medium.capacityBlocks - 1);
        Put32(&random.body[4], 2048);
        Put16(&random.body[8], family == MediumFamily::Bd ? 32 : 16);
        features.push_back(random);
    }
    if (m_model.incrementalStreaming) {
        const bool dvd = family == MediumFamily::Dvd;
        Feature inc{0x0021, 1, false,
                    currentIs({kProfileCdR, kProfileCdRw, kProfileDvdR, kProfileDvdRwSequential, kProfileDvdRDl}),
                    {}};
        Append16(inc.body, dvd ? 0x0100 : m_model.cdTaoDataBlockTypes);
        inc.body.push_back(static_cast<uint8_t>(0x04 | 0x02 | (buf ? 0x01 : 0)));  // TRIO, ARSV, BUF
        inc.body.push_back(1);
        inc.body.push_back(dvd ? 16 : 7);
        while (inc.body.size() % 4 != 0) inc.body.push_back(0);
        features.push_back(inc);
    }
    const std::initializer_list<uint16_t> formattable = {kProfileDvdRam, kProfileDvdRwRestricted,
                                                         kProfileDvdRwSequential, kProfileDvdPlusRw, kProfileBdRe};
    if (std::any_of(formattable.begin(), formattable.end(), [&](uint16_t p) { return m_model.CanWrite(p); }))
        features.push_back({0x0023, 0, false, currentIs(formattable), {0, 0, 0, 0}});
    if (writesRandom)
        features.push_back({0x0024, 0, false, currentIs({kProfileDvdRam, kProfileBdRe, kProfileHdDvdRam}), {0, 0, 0, 0}});
    if (m_model.CanRead(kProfileDvdPlusRw))
        features.push_back({0x002A, 1, false, current == kProfileDvdPlusRw,
                            {static_cast<uint8_t>(m_model.dvdPlusRw ? 1 : 0),
                             static_cast<uint8_t>(m_model.dvdPlusRw ? 0x03 : 0), 0, 0}});
    if (m_model.CanRead(kProfileDvdPlusR))
        features.push_back({0x002B, 0, false, current == kProfileDvdPlusR,
                            {static_cast<uint8_t>(m_model.dvdPlusR ? 1 : 0), 0, 0, 0}});
    if (m_model.dvdMinusRwRestricted)
        features.push_back({0x002C, 1, false, currentIs({kProfileDvdRwRestricted}), {0x01, 0, 0, 0}});
    if (m_model.cdTao) {
        Feature tao{0x002D, 2, false, currentIs({kProfileCdR, kProfileCdRw}), {}};
        tao.body.push_back(static_cast<uint8_t>((buf ? 0x40 : 0) | (m_model.cdRwSubcode ? 0x19 : 0) |
                                                (m_model.cdTestWrite ? 0x04 : 0) |
                                                (m_model.CanWrite(kProfileCdRw) ? 0x02 : 0)));
        tao.body.push_back(0);
        Append16(tao.body, m_model.cdTaoDataBlockTypes);
        features.push_back(tao);
    }
    if (m_model.cdSao || m_model.cdRaw) {
        Feature mastering{0x002E, 1, false, currentIs({kProfileCdR, kProfileCdRw}), std::vector<uint8_t>(4, 0)};
        mastering.body[0] = static_cast<uint8_t>(
            (buf ? 0x40 : 0) | (m_model.cdSao ? 0x20 : 0) | (m_model.cdRawMultiSession ? 0x10 : 0) |
            (m_model.cdRaw ? 0x08 : 0) | (m_model.cdTestWrite ? 0x04 : 0) |
            (m_model.CanWrite(kProfileCdRw) ? 0x02 : 0) | (m_model.cdRwSubcode ? 0x01 : 0));
        Put24(&mastering.body[1], m_model.maxCueSheetLength);
        features.push_back(mastering);
    }
    // Version 2 of 002Fh carries the RDL bit next to the DVD-RW one.
    if (m_model.dvdMinusWrite)
        features.push_back({0x002F, 2, false, currentIs({kProfileDvdR, kProfileDvdRwSequential, kProfileDvdRDl}),
                            {static_cast<uint8_t>((buf ? 0x40 : 0) | (m_model.dvdMinusDualLayer ? 0x08 : 0) |
                                                  (m_model.dvdMinusTestWrite ? 0x04 : 0) |
                                                  (m_model.dvdMinusRw ? 0x02 : 0)),
                             0, 0, 0}});
    if (m_model.CanRead(kProfileDvdPlusRDl))
        features.push_back({0x003B, 0, false, current == kProfileDvdPlusRDl,
                            {static_cast<uint8_t>(m_model.dvdPlusRDualLayer ? 1 : 0), 0, 0, 0}});
    if (readsAny({kProfileBdRom, kProfileBdR, kProfileBdRe})) {
        Feature bd{0x0040, 1, false, family == MediumFamily::Bd, std::vector<uint8_t>(28, 0)};
        Put16(&bd.body[4], m_model.CanRead(kProfileBdRe) ? 0x0002 : 0);
        Put16(&bd.body[12], m_model.CanRead(kProfileBdR) ? 0x0002 : 0);
        Put16(&bd.body[20], m_model.CanRead(kProfileBdRom) ? 0x0002 : 0);
        features.push_back(bd);
    }
    if (m_model.bdWrite) {
        Feature bd{0x0041, 1, false, currentIs({kProfileBdR, kProfileBdRe}), std::vector<uint8_t>(20, 0)};
        Put16(&bd.body[4], m_model.CanWrite(kProfileBdRe) ? 0x0002 : 0);
        Put16(&bd.body[12], m_model.CanWrite(kProfileBdR) ? 0x0002 : 0);
        features.push_back(bd);
    }
    if (readsAny({kProfileHdDvdRom, kProfileHdDvdR, kProfileHdDvdRam}))
        features.push_back({0x0050, 0, false, family == MediumFamily::HdDvd,
                            {static_cast<uint8_t>(m_model.CanRead(kProfileHdDvdR) ? 1 : 0), 0,
                             static_cast<uint8_t>(m_model.CanRead(kProfileHdDvdRam) ? 1 : 0), 0}});
    if (m_model.hdDvdWrite)
        features.push_back({0x0051, 0, false, currentIs({kProfileHdDvdR, kProfileHdDvdRam}),
                            {static_cast<uint8_t>(m_model.CanWrite(kProfileHdDvdR) ? 1 : 0), 0,
                             static_cast<uint8_t>(m_model.CanWrite(kProfileHdDvdRam) ? 1 : 0), 0}});
    features.push_back({0x0100, 0, true, true, {}});
    if (m_model.realTimeStreaming)
        features.push_back({0x0107, 3, false, current != kProfileNone, {0x1F, 0, 0, 0}});

    std::vector<uint8_t> out(8, 0);
    for (const Feature& f : features) {
        if (requestType == 2 ? f.code != startingFeature : f.code < startingFeature) continue;
        if (requestType == 1 && !f.current) continue;
        Append16(out, f.code);
        out.push_back(static_cast<uint8_t>(f.version << 2 | (f.persistent ? 0x02 : 0) | (f.current ? 0x01 : 0)));
        out.push_back(static_cast<uint8_t>(f.body.size()));
        out.insert(out.end(), f.body.begin(), f.body.end());
    }
    Put32(&out[0], static_cast<uint32_t>(out.size() - 4));
    Put16(&out[6], current);
    return out;
}

ScsiResult VirtualRecorder::GetConfiguration(const ScsiRequest& r) {
    const uint8_t requestType = r.cdb[1] & 0x03;
    if (requestType == 3) return Fail(kSenseIllegalRequest, 0x24, 0x00);
    return Reply(r, ConfigurationFeatures(requestType, Get16(&r.cdb[2])));
}

}  // namespace burnlib
