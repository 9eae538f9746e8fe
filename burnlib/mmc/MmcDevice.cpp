#include "burnlib/mmc/MmcDevice.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/Sense.h"

namespace burnlib::mmc {

namespace {

constexpr int kUnitAttentionRetries = 3;
constexpr uint16_t kMaxAllocation = 0xFFF0;

std::string Hex2(uint8_t v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", v);
    return text;
}

}  // namespace

MmcDevice::MmcDevice(std::unique_ptr<ScsiTransport> transport,
                     std::function<void(uint8_t)> onCommand)
    : m_transport(std::move(transport)), m_onCommand(std::move(onCommand)) {}

void MmcDevice::EndOperation() {
    if (m_cancelSeen) {
        m_cancelSeen = false;
        m_cancel.store(false);
    }
}

void MmcDevice::Fail(Outcome outcome, const Cdb& cdb, std::string text) {
    m_failure = CommandFailure{};
    m_failure.outcome = outcome;
    m_failure.text = std::move(text);
    std::memcpy(m_failure.cdb, cdb.bytes, sizeof cdb.bytes);
    m_failure.cdbLength = cdb.length;
}

bool MmcDevice::BadResponse(const Cdb& cdb, uint32_t transferred) {
    Fail(Outcome::BadResponse, cdb,
         std::string(CommandName(cdb.bytes[0])) + " failed: the drive's answer (" +
             std::to_string(transferred) + " bytes) could not be understood");
    return false;
}

bool MmcDevice::FailedWith(uint8_t key, uint8_t asc) const {
    return m_failure.outcome == Outcome::CheckCondition && m_failure.senseKey == key &&
           m_failure.asc == asc;
}

bool MmcDevice::ExecuteOnce(const Cdb& cdb, DataDirection direction, uint8_t* data,
                            uint32_t length, uint32_t* transferred, uint32_t timeoutSeconds,
                            ScsiResult* result) {
    if (transferred != nullptr) *transferred = 0;
    const char* name = CommandName(cdb.bytes[0]);
    if (m_cancel.load()) {
        m_cancelSeen = true;
        Fail(Outcome::Cancelled, cdb, std::string(name) + " cancelled");
        return false;
    }
    ScsiRequest request;
    std::memcpy(request.cdb, cdb.bytes, sizeof cdb.bytes);
    request.cdbLength = cdb.length;
    request.direction = length == 0 ? DataDirection::None : direction;
    request.data = length == 0 ? nullptr : data;
    request.dataLength = length;
    request.timeoutSeconds = timeoutSeconds;
    if (m_onCommand) m_onCommand(cdb.bytes[0]);
    *result = m_transport->Execute(request);
    // A transport may claim more than the buffer holds; never believe it.
    const uint32_t moved = std::min(result->transferred, length);
    if (transferred != nullptr) *transferred = moved;

    if (!result->delivered) {
        Fail(Outcome::SystemError, cdb,
             std::string(name) + " failed: system error " + std::to_string(result->systemError));
        m_failure.systemError = result->systemError;
        return false;
    }
    if (result->status == kScsiStatusGood) return true;

    if (result->status != kScsiStatusCheckCondition) {
        Fail(Outcome::CheckCondition, cdb,
             std::string(name) + " failed: SCSI status " + Hex2(result->status) +
                 (result->status == kScsiStatusBusy ? " (busy)" : ""));
        m_failure.status = result->status;
        return false;
    }
    const uint8_t senseLength = std::min<uint8_t>(result->senseLength, kSenseBufferSize);
    SenseData sense;
    std::string text = std::string(name) + " failed: ";
    if (ParseSense(result->sense, senseLength, &sense)) {
        text += "sense " + Hex2(sense.key) + "/" + Hex2(sense.asc) + "/" + Hex2(sense.ascq) + " (";
        const char* meaning = AdditionalSenseText(sense.asc, sense.ascq);
        text += meaning != nullptr ? meaning : SenseKeyName(sense.key);
        text += ")";
    } else {
        text += "check condition without usable sense data";
    }
    Fail(Outcome::CheckCondition, cdb, std::move(text));
    m_failure.status = result->status;
    std::memcpy(m_failure.sense, result->sense, senseLength);
    m_failure.senseLength = senseLength;
    m_failure.senseKey = sense.key;
    m_failure.asc = sense.asc;
    m_failure.ascq = sense.ascq;
    return false;
}

bool MmcDevice::Execute(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length,
                        uint32_t* transferred, uint32_t timeoutSeconds) {
    for (int attempt = 0;; ++attempt) {
        ScsiResult result;
        if (ExecuteOnce(cdb, direction, data, length, transferred, timeoutSeconds, &result))
            return true;
        // A unit attention reports an event (medium change, reset), not a fault of this command.
        if (m_failure.outcome != Outcome::CheckCondition ||
            m_failure.senseKey != kSenseUnitAttention || attempt >= kUnitAttentionRetries)
            return false;
    }
}

bool MmcDevice::Identify(InquiryData* out) {
    uint8_t reply[96] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeInquiry(sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseInquiry(reply, got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::TestUnitReady() {
    return Execute(MakeTestUnitReady(), DataDirection::None, nullptr, 0);
}

bool MmcDevice::ReadCurrentProfile(uint16_t* profile) {
    uint8_t reply[8] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeGetConfiguration(kConfigCurrent, 0, sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    Configuration c;
    if (!ParseConfiguration(reply, got, &c)) return BadResponse(cdb, got);
    *profile = c.currentProfile;
    return true;
}

bool MmcDevice::ReadConfiguration(Configuration* out) {
    uint8_t header[8] = {};
    uint32_t got = 0;
    Cdb cdb = MakeGetConfiguration(kConfigAll, 0, sizeof header);
    if (!Execute(cdb, DataDirection::In, header, sizeof header, &got)) return false;
    Configuration c;
    if (!ParseConfiguration(header, got, &c)) return BadResponse(cdb, got);
    const uint64_t announced = static_cast<uint64_t>(c.dataLength) + 4;
    if (announced <= sizeof header) {
        *out = std::move(c);
        return true;
    }
    const uint32_t cap = std::min<uint32_t>(kMaxAllocation, std::max<uint32_t>(
                                                                m_transport->MaxTransferLength(),
                                                                sizeof header));
    const uint32_t allocation = static_cast<uint32_t>(std::min<uint64_t>(announced, cap));
    std::vector<uint8_t> reply(allocation);
    cdb = MakeGetConfiguration(kConfigAll, 0, static_cast<uint16_t>(allocation));
    if (!Execute(cdb, DataDirection::In, reply.data(), allocation, &got)) return false;
    if (!ParseConfiguration(reply.data(), got, &c)) return BadResponse(cdb, got);
    *out = std::move(c);
    return true;
}

bool MmcDevice::ReadSupportedFeatures(const Configuration** out) {
    if (!m_features) {
        auto features = std::make_unique<Configuration>();
        if (!ReadConfiguration(features.get())) return false;
        m_features = std::move(features);
    }
    *out = m_features.get();
    return true;
}

bool MmcDevice::ReadDiscInformation(DiscInformation* out) {
    uint8_t reply[34] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadDiscInformation(sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseDiscInformation(reply, got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadTrackInformation(uint8_t addressType, uint32_t value, TrackInformation* out) {
    uint8_t reply[48] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadTrackInformation(addressType, value, sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseTrackInformation(reply, got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadToc(Toc* out) {
    // 99 tracks and the lead-out fit: no need to ask for the length first.
    uint8_t reply[4 + 8 * 101] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadToc(kTocFormatToc, false, 0, sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseToc(reply, got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadFullToc(FullToc* out) {
    uint8_t header[4] = {};
    uint32_t got = 0;
    Cdb cdb = MakeReadToc(kTocFormatFullToc, false, 1, sizeof header);
    if (!Execute(cdb, DataDirection::In, header, sizeof header, &got)) return false;
    if (got < 2) return BadResponse(cdb, got);
    const uint32_t cap = std::min<uint32_t>(kMaxAllocation, m_transport->MaxTransferLength());
    const uint32_t allocation =
        std::max<uint32_t>(4, std::min<uint32_t>(GetBe16(header) + 2u, cap));
    std::vector<uint8_t> reply(allocation);
    cdb = MakeReadToc(kTocFormatFullToc, false, 1, static_cast<uint16_t>(allocation));
    if (!Execute(cdb, DataDirection::In, reply.data(), allocation, &got)) return false;
    if (!ParseFullToc(reply.data(), got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadAtip(Atip* out) {
    uint8_t reply[28] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadToc(kTocFormatAtip, true, 0, sizeof reply);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseAtip(reply, got, out)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadModePage(uint8_t page, uint8_t pageControl, std::vector<uint8_t>* reply,
                             size_t* offset, size_t* pageLength) {
    // Header, a block descriptor a drive may send despite DBD, and the longest possible page.
    reply->assign(8 + 8 + 257, 0);
    uint32_t got = 0;
    const Cdb cdb =
        MakeModeSense10(page, pageControl, static_cast<uint16_t>(reply->size()));
    if (!Execute(cdb, DataDirection::In, reply->data(), static_cast<uint32_t>(reply->size()),
                 &got))
        return false;
    reply->resize(got);
    if (!FindModePage(reply->data(), got, page, offset, pageLength)) return BadResponse(cdb, got);
    return true;
}

bool MmcDevice::ReadCapabilities(Capabilities* out) {
    std::vector<uint8_t> reply;
    size_t offset = 0, length = 0;
    if (!ReadModePage(kPageCapabilities, kPageControlCurrent, &reply, &offset, &length))
        return false;
    if (!ParseCapabilitiesPage(reply.data() + offset, length, out))
        return BadResponse(MakeModeSense10(kPageCapabilities, kPageControlCurrent, 0),
                           static_cast<uint32_t>(reply.size()));
    if (m_bufferSizeKB < 0) m_bufferSizeKB = out->bufferSizeKB;
    return true;
}

uint16_t MmcDevice::BufferSizeKB() {
    if (m_bufferSizeKB < 0) {
        Capabilities caps;
        if (!ReadCapabilities(&caps)) return 0;
    }
    return static_cast<uint16_t>(m_bufferSizeKB);
}

bool MmcDevice::LegacyDiscType(int32_t* code) {
    *code = kDiscUnknown;
    if (!TestUnitReady()) {
        if (Cancelled()) return false;
        if (m_failure.senseKey == kSenseNotReady) *code = kDiscNone;
        return true;
    }
    Capabilities caps;
    const bool writer = ReadCapabilities(&caps) && (caps.cdRWrite || caps.cdRwWrite);
    if (Cancelled()) return false;
    // Only recordable discs carry an ATIP, and only a writer reads it.
    if (writer) {
        Atip atip;
        if (ReadAtip(&atip)) {
            *code = atip.rewritable ? kDiscLegacyCdRw : kDiscLegacyCdR;
            return true;
        }
        if (Cancelled()) return false;
    }
    Toc toc;
    if (ReadToc(&toc)) {
        *code = kDiscLegacyCdRom;
        return true;
    }
    return !Cancelled();
}

int32_t MmcDevice::InsertedDiscType() {
    uint16_t profile = 0;
    if (ReadCurrentProfile(&profile)) return DiscCodeForProfile(profile);
    if (Cancelled()) return kDiscUnknown;
    if (FailedWith(kSenseIllegalRequest, 0x20)) {
        int32_t code = kDiscUnknown;
        LegacyDiscType(&code);
        return code;
    }
    if (m_failure.outcome == Outcome::CheckCondition && m_failure.senseKey == kSenseNotReady)
        return kDiscNone;
    return kDiscUnknown;
}

bool MmcDevice::ReadTableOfContents(bool fast, TableOfContents* out) {
    TableOfContents r;
    DiscInformation disc;
    const bool haveDisc = ReadDiscInformation(&disc);
    if (!haveDisc && Cancelled()) return false;
    r.discStatus = haveDisc ? disc.discStatus : 3;
    if (haveDisc) {
        r.firstSession = disc.sessions > 0 ? 1 : 0;
        // The count includes an open session, which has no table entry yet.
        const uint16_t closed =
            disc.lastSessionState == 3 ? disc.sessions : (disc.sessions > 0 ? disc.sessions - 1 : 0);
        r.lastSession = static_cast<uint8_t>(std::min<uint16_t>(closed, 255));
        if (disc.discStatus == 0) {  // blank: nothing recorded, nothing to list
            r.firstSession = r.lastSession = 0;
            *out = std::move(r);
            return true;
        }
    }

    Toc toc;
    if (!ReadToc(&toc)) return false;
    const Cdb tocCdb = MakeReadToc(kTocFormatToc, false, 0, 0);
    bool haveLeadOut = false;
    for (const TocEntry& e : toc.entries) {
        if (e.track == 0xAA) {
            r.leadOut = e.address;
            haveLeadOut = true;
        } else if (e.track >= 1 && e.track <= 99) {
            TocTrack t;
            t.adrControl = e.adrControl;
            t.number = e.track;
            t.start = e.address;
            r.tracks.push_back(t);
        }
    }
    if (!haveLeadOut || r.tracks.empty()) return BadResponse(tocCdb, 0);
    for (size_t i = 0; i < r.tracks.size(); ++i) {
        r.tracks[i].end = i + 1 < r.tracks.size() ? r.tracks[i + 1].start : r.leadOut;
        if (r.tracks[i].end < r.tracks[i].start) return BadResponse(tocCdb, 0);
    }
    r.firstTrack = toc.firstTrack;
    r.lastTrack = toc.lastTrack;

    // CD-ROM XA and CD-I discs carry Mode 2 sectors; everything else with data is Mode 1.
    uint8_t discType = haveDisc ? disc.discType : 0;
    FullToc full;
    bool haveFull = false;
    if (!fast) {
        haveFull = ReadFullToc(&full);
        if (!haveFull && Cancelled()) return false;
    }
    for (TocTrack& t : r.tracks) {
        uint8_t trackDiscType = discType;
        t.session = r.lastSession <= 1 ? 1 : 0;
        if (haveFull) {
            for (const FullTocEntry& e : full.entries) {
                if (e.point == t.number) t.session = e.session;
            }
            for (const FullTocEntry& e : full.entries) {
                if (e.point == 0xA0 && e.session == t.session) trackDiscType = e.psec;
            }
        }
        t.isData = (t.adrControl & 0x04) != 0;
        if (!t.isData) {
            t.dataMode = 0;
            t.blockSize = 2352;
        } else if (trackDiscType == 0x20 || trackDiscType == 0x10) {
            t.dataMode = 2;
            t.blockSize = 2336;
        } else {
            t.dataMode = 1;
            t.blockSize = 2048;
        }
    }
    if (haveFull) {
        r.firstSession = full.firstSession;
        r.lastSession = full.lastSession;
    }
    *out = std::move(r);
    return true;
}

bool MmcDevice::ReadTrack(uint8_t trackNumber, TrackInformation* out) {
    if (ReadTrackInformation(kTrackAddressNumber, trackNumber, out)) return true;
    if (trackNumber != 0xFF || Cancelled() || !(m_failure.outcome == Outcome::CheckCondition &&
                                                m_failure.senseKey == kSenseIllegalRequest))
        return false;
    // Media without an invisible track (DVD-R sequential, for one) name the track that takes the
    // next write as the last track of the last session.
    const CommandFailure refused = m_failure;
    DiscInformation disc;
    if (!ReadDiscInformation(&disc)) return false;
    if (disc.lastTrackInLastSession == 0) {
        m_failure = refused;
        return false;
    }
    if (disc.discStatus != 2)
        return ReadTrackInformation(kTrackAddressNumber, disc.lastTrackInLastSession, out);
    // A finalized disc takes no further track. Its answer is that track, empty and not
    // writable, starting where the recorded area ends, so callers see the recorded size rather
    // than a failure they might take for a blank disc.
    TrackInformation last;
    if (!ReadTrackInformation(kTrackAddressNumber, disc.lastTrackInLastSession, &last))
        return false;
    TrackInformation next;
    next.trackNumber = static_cast<uint16_t>(last.trackNumber + 1);
    next.sessionNumber = last.sessionNumber;
    next.start = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(last.start) + last.size, 0, INT32_MAX));
    *out = next;
    return true;
}

bool MmcDevice::ReadMediaSupport(MediaSupport* out) {
    MediaSupport m;
    const Configuration* features = nullptr;
    if (ReadSupportedFeatures(&features)) {
        const Configuration& c = *features;
        auto has = [&](uint16_t p) { return c.HasProfile(p); };
        auto writeBit = [&](uint16_t code) {
            const Feature* f = c.Find(code);
            return f != nullptr && (f->Byte(0) & 0x01) != 0;
        };
        const bool cdWrite = c.Find(0x002D) != nullptr || c.Find(0x002E) != nullptr;
        const bool dvdMinusWrite = c.Find(0x002F) != nullptr;
        const bool bdWrite = c.Find(0x0041) != nullptr;
        const bool hdDvdWrite = c.Find(0x0051) != nullptr;
        const bool anyCd = has(kProfileCdRom) || has(kProfileCdR) || has(kProfileCdRw);
        m.cdRomRead = anyCd;
        m.cdRRead = has(kProfileCdR) || has(kProfileCdRom);
        m.cdRwRead = has(kProfileCdRw) || c.Find(0x001D) != nullptr;
        m.cdRWrite = has(kProfileCdR) && cdWrite;
        m.cdRwWrite = has(kProfileCdRw) && cdWrite;

        m.dvdRomRead = has(kProfileDvdRom);
        m.dvdRRead = has(kProfileDvdR) || has(kProfileDvdRom);
        m.dvdRWrite = has(kProfileDvdR) && dvdMinusWrite;
        m.dvdRDlRead = has(kProfileDvdRDl) || has(kProfileDvdRDlJump);
        m.dvdRDlWrite = m.dvdRDlRead && dvdMinusWrite;
        m.dvdRwRead = has(kProfileDvdRwRestricted) || has(kProfileDvdRwSequential);
        m.dvdRwWrite = (has(kProfileDvdRwSequential) && dvdMinusWrite) ||
                       (has(kProfileDvdRwRestricted) &&
                        (dvdMinusWrite || c.Find(0x002C) != nullptr));
        m.dvdRwDlRead = has(0x0017);
        m.dvdRwDlWrite = m.dvdRwDlRead && dvdMinusWrite;
        m.dvdRamRead = has(kProfileDvdRam);
        m.dvdRamWrite = has(kProfileDvdRam) && c.Find(0x0020) != nullptr;
        m.dvdPlusRwRead = has(kProfileDvdPlusRw);
        m.dvdPlusRwWrite = m.dvdPlusRwRead && writeBit(0x002A);
        m.dvdPlusRwDlRead = has(kProfileDvdPlusRwDl);
        m.dvdPlusRwDlWrite = m.dvdPlusRwDlRead && writeBit(0x003A);
        m.dvdPlusRRead = has(kProfileDvdPlusR);
        m.dvdPlusRWrite = m.dvdPlusRRead && writeBit(0x002B);
        m.dvdPlusRDlRead = has(kProfileDvdPlusRDl);
        m.dvdPlusRDlWrite = m.dvdPlusRDlRead && writeBit(0x003B);

        m.bdRomRead = has(kProfileBdRom);
        m.bdRRead = has(kProfileBdRSrm) || has(kProfileBdRRrm);
        m.bdRWrite = m.bdRRead && bdWrite;
        m.bdReRead = has(kProfileBdRe);
        m.bdReWrite = m.bdReRead && bdWrite;
        m.hdDvdRomRead = has(kProfileHdDvdRom);
        m.hdDvdRRead = has(kProfileHdDvdR) || has(kProfileHdDvdRDl);
        m.hdDvdRWrite = m.hdDvdRRead && hdDvdWrite;
        m.hdDvdRamRead = has(kProfileHdDvdRam);
        m.hdDvdRamWrite = m.hdDvdRamRead && hdDvdWrite;
        m.hdDvdRwRead = has(kProfileHdDvdRw) || has(kProfileHdDvdRwDl);
        m.hdDvdRwWrite = m.hdDvdRwRead && hdDvdWrite;
        *out = m;
        return true;
    }
    if (Cancelled() || !FailedWith(kSenseIllegalRequest, 0x20)) return false;
    // A drive without profiles tells what it handles in the capabilities page.
    Capabilities caps;
    if (!ReadCapabilities(&caps)) return false;
    m.cdRomRead = true;
    m.cdRRead = caps.cdRRead;
    m.cdRwRead = caps.cdRwRead;
    m.cdRWrite = caps.cdRWrite;
    m.cdRwWrite = caps.cdRwWrite;
    m.dvdRomRead = caps.dvdRomRead;
    m.dvdRRead = caps.dvdRRead;
    m.dvdRWrite = caps.dvdRWrite;
    m.dvdRamRead = caps.dvdRamRead;
    m.dvdRamWrite = caps.dvdRamWrite;
    *out = m;
    return true;
}

bool MmcDevice::TryWriteParameters(const std::vector<uint8_t>& base, size_t offset,
                                   uint8_t writeType, uint8_t dataBlockType, bool* accepted) {
    std::vector<uint8_t> list(base.begin(), base.begin() + offset + 2 + base[offset + 1]);
    list[0] = list[1] = 0;  // mode data length is reserved in MODE SELECT
    uint8_t* page = list.data() + offset;
    page[0] &= 0x3F;        // PS is reserved in MODE SELECT
    page[2] = static_cast<uint8_t>((page[2] & 0xF0) | (writeType & 0x0F));
    if (writeType == 3) page[3] &= 0xF0;  // raw: the sectors carry their own mode
    page[4] = static_cast<uint8_t>((page[4] & 0xF0) | (dataBlockType & 0x0F));
    const Cdb cdb = MakeModeSelect10(static_cast<uint16_t>(list.size()));
    *accepted = Execute(cdb, DataDirection::Out, list.data(), static_cast<uint32_t>(list.size()));
    if (*accepted) return true;
    // The drive refusing the combination is the answer; anything else ends the probe.
    return m_failure.outcome == Outcome::CheckCondition &&
           m_failure.senseKey == kSenseIllegalRequest;
}

bool MmcDevice::ProbeWriteModesByTrial(WriteModes* out) {
    std::vector<uint8_t> reply;
    size_t offset = 0, length = 0;
    if (!ReadModePage(kPageWriteParameters, kPageControlCurrent, &reply, &offset, &length))
        return false;
    if (length < 5 || length < static_cast<size_t>(reply[offset + 1]) + 2)
        return BadResponse(MakeModeSense10(kPageWriteParameters, 0, 0),
                           static_cast<uint32_t>(reply.size()));
    struct Trial {
        bool* result;
        uint8_t writeType;
        uint8_t dataBlockType;
    };
    const Trial trials[] = {
        {&out->tao, 1, 8}, {&out->sao, 2, 8}, {&out->rawPQ, 3, 1},
        {&out->rawPW, 3, 2}, {&out->rawPW, 3, 3},
    };
    bool changed = false;
    for (const Trial& t : trials) {
        if (*t.result) continue;
        bool accepted = false;
        if (!TryWriteParameters(reply, offset, t.writeType, t.dataBlockType, &accepted))
            return false;
        *t.result = accepted;
        changed = changed || accepted;
    }
    // Leave the drive's write parameters as they were before the trials.
    if (changed) {
        bool restored = false;
        const uint8_t page2 = reply[offset + 2], page4 = reply[offset + 4];
        if (!TryWriteParameters(reply, offset, page2 & 0x0F, page4 & 0x0F, &restored) &&
            Cancelled())
            return false;
    }
    return true;
}

bool MmcDevice::ProbeWriteModes(WriteModes* out) {
    WriteModes w;
    const Configuration* features = nullptr;
    if (ReadSupportedFeatures(&features)) {
        const Configuration& c = *features;
        const Feature* tao = c.Find(0x002D);
        const Feature* mastering = c.Find(0x002E);
        w.tao = tao != nullptr;
        w.sao = mastering != nullptr && (mastering->Byte(0) & 0x20) != 0;
        const bool raw = mastering != nullptr && (mastering->Byte(0) & 0x08) != 0;
        if (raw) {
            // Raw writing is announced without its subchannel forms; the drive tells by
            // accepting or refusing write parameters with each data block type.
            WriteModes trial;
            trial.tao = trial.sao = true;  // already known, not tried again
            if (ProbeWriteModesByTrial(&trial)) {
                w.rawPQ = trial.rawPQ;
                w.rawPW = trial.rawPW;
            } else if (Cancelled()) {
                return false;
            } else if (tao != nullptr) {
                const uint16_t types = static_cast<uint16_t>((tao->Byte(2) << 8) | tao->Byte(3));
                w.rawPQ = (types & 0x0002) != 0;
                w.rawPW = (types & 0x000C) != 0;
            }
        }
        *out = w;
        return true;
    }
    if (Cancelled() || !FailedWith(kSenseIllegalRequest, 0x20)) return false;
    if (!ProbeWriteModesByTrial(&w)) return false;
    *out = w;
    return true;
}

bool MmcDevice::ReadMaximumSpeedsFromPerformance(Speeds* speeds) {
    uint8_t reply[8 + 16 * 32] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeGetPerformance(0x03, 0, 0, 32);
    if (!Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    std::vector<WriteSpeedDescriptor> descriptors;
    if (!ParseWriteSpeeds(reply, got, &descriptors)) return BadResponse(cdb, got);
    if (descriptors.empty()) return true;
    uint32_t maxRead = 0, maxWrite = 0;
    for (const WriteSpeedDescriptor& d : descriptors) {
        maxRead = std::max(maxRead, d.readSpeed);
        maxWrite = std::max(maxWrite, d.writeSpeed);
    }
    if (maxRead != 0) speeds->maximumRead = maxRead;
    if (maxWrite != 0) speeds->maximumWrite = maxWrite;
    return true;
}

bool MmcDevice::ReadSpeeds(Speeds* out) {
    Capabilities caps;
    if (!ReadCapabilities(&caps)) return false;
    Speeds s;
    s.currentRead = caps.currentReadSpeed;
    s.maximumRead = caps.maxReadSpeed;
    s.currentWrite = caps.currentWriteSpeed;
    s.maximumWrite = caps.maxWriteSpeed;
    if (!caps.writeSpeeds.empty())
        s.maximumWrite = *std::max_element(caps.writeSpeeds.begin(), caps.writeSpeeds.end());
    uint16_t profile = 0;
    if (ReadCurrentProfile(&profile)) {
        // For DVD and later media the write-speed descriptors are the authoritative list.
        if ((IsDvdProfile(profile) || IsBdProfile(profile) || IsHdDvdProfile(profile)) &&
            !ReadMaximumSpeedsFromPerformance(&s) && Cancelled())
            return false;
    } else if (Cancelled()) {
        return false;
    }
    *out = s;
    return true;
}

int32_t MmcDevice::CapacityEndLba() {
    // The last possible lead-out covers the whole disc, recorded or not; on DVD and later media
    // it is an LBA.
    DiscInformation disc;
    if (ReadDiscInformation(&disc) && disc.hasLeadOut && disc.lastPossibleLeadOut > 1 &&
        disc.lastPossibleLeadOut < 0x80000000u)
        return static_cast<int32_t>(disc.lastPossibleLeadOut - 1);
    if (Cancelled()) return -1;
    uint8_t reply[8] = {};
    uint32_t got = 0;
    if (Execute(MakeReadCapacity(), DataDirection::In, reply, sizeof reply, &got) && got >= 4) {
        const int32_t last = static_cast<int32_t>(GetBe32(reply));
        if (last > 0) return last;
    }
    if (Cancelled()) return -1;
    return 0;
}

bool MmcDevice::SetSpeeds(uint32_t readKBps, uint32_t writeKBps) {
    const bool keepRead = readKBps == kSpeedUnchanged;
    const bool keepWrite = writeKBps == kSpeedUnchanged;
    if (keepRead && keepWrite) return true;

    uint16_t profile = 0;
    if (!ReadCurrentProfile(&profile)) {
        if (Cancelled()) return false;
        profile = 0;  // drives without profiles are CD drives: SET CD SPEED below
    }
    // The speed-setting commands take both directions at once; a direction left unchanged gets
    // the drive's current speed back. (In SET CD SPEED, FFFFh means "maximum", not "keep".)
    uint32_t currentRead = 0, currentWrite = 0;
    if (keepRead || keepWrite) {
        Capabilities caps;
        if (!ReadCapabilities(&caps)) return false;
        currentRead = caps.currentReadSpeed;
        currentWrite = caps.currentWriteSpeed;
    }
    const uint32_t read = keepRead ? currentRead : readKBps;
    const uint32_t write = keepWrite ? currentWrite : writeKBps;

    if (IsDvdProfile(profile) || IsBdProfile(profile) || IsHdDvdProfile(profile)) {
        const int32_t endLba = CapacityEndLba();
        if (endLba < 0) return false;
        uint8_t descriptor[28] = {};
        PutBe32(descriptor + 4, 0);
        PutBe32(descriptor + 8, static_cast<uint32_t>(endLba));
        PutBe32(descriptor + 12, read);
        PutBe32(descriptor + 16, 1000);
        PutBe32(descriptor + 20, write);
        PutBe32(descriptor + 24, 1000);
        return Execute(MakeSetStreaming(sizeof descriptor), DataDirection::Out, descriptor,
                       sizeof descriptor);
    }
    auto clamp = [](uint32_t v) { return static_cast<uint16_t>(std::min<uint32_t>(v, 0xFFFF)); };
    return Execute(MakeSetCdSpeed(read == 0 ? 0xFFFF : clamp(read), write == 0 ? 0xFFFF : clamp(write)),
                   DataDirection::None, nullptr, 0);
}

}  // namespace burnlib::mmc
