#include "tests/mmc/WriteScript.h"

#include <algorithm>
#include <cstring>

#include "burnlib/mmc/Cdb.h"

namespace mmctest {

using burnlib::ScsiRequest;
using burnlib::ScsiResult;
using namespace burnlib::mmc;

std::vector<FeatureBytes> WriterFeatures(uint16_t profile) {
    if (profile == 0x0009 || profile == 0x000A) {
        return {
            // 002Dh: BUF, Test Write; data block types 1, 3 and 8.
            {0x002D, {0x44, 0x00, 0x01, 0x0A}},
            // 002Eh: BUF, SAO, Raw, Test Write, R-W; a cue sheet up to 64 KiB.
            {0x002E, {0x6D, 0x00, 0xFF, 0xFF}},
        };
    }
    return {
        // 0021h: data block type 8, BUF, one link size of 16.
        {0x0021, {0x01, 0x00, 0x01, 0x01, 16, 0, 0, 0}},
        // 002Fh: BUF, Test Write, DVD-RW.
        {0x002F, {0x46, 0x00, 0x00, 0x00}},
    };
}

namespace {

std::vector<uint8_t> DiscInformationReply(const DiscScript& d) {
    std::vector<uint8_t> r(34, 0);
    r[1] = 32;
    const uint8_t state = d.discStatus == 0 ? 0 : d.discStatus == 1 ? 1 : 3;
    r[2] = static_cast<uint8_t>((state << 2) | d.discStatus);
    r[3] = 1;
    r[4] = 1;
    r[5] = 1;
    r[6] = static_cast<uint8_t>(d.nextTrack);
    r[7] = d.backgroundFormat;
    return r;
}

bool Overwritable(uint16_t profile) {
    return profile == 0x0012 || profile == 0x0013 || profile == 0x001A || profile == 0x002A;
}

std::vector<uint8_t> TrackInformationReply(const DiscScript& d) {
    std::vector<uint8_t> r(36, 0);
    r[1] = 34;
    r[3] = 1;
    if (Overwritable(d.profile)) {
        r[2] = 1;
        r[5] = 0x04;
        r[6] = 0x01;
        PutBe32(r.data() + 24, static_cast<uint32_t>(d.freeBlocks));
        return r;
    }
    r[2] = static_cast<uint8_t>(d.nextTrack);
    r[5] = 0x04;
    r[6] = 0x41;  // blank, Mode 1
    r[7] = 0x01;  // NWA_V
    PutBe32(r.data() + 8, static_cast<uint32_t>(d.nextWritable));
    PutBe32(r.data() + 12, static_cast<uint32_t>(d.nextWritable));
    PutBe32(r.data() + 16, static_cast<uint32_t>(d.freeBlocks));
    return r;
}

std::vector<uint8_t> WritePageReply(const DiscScript& d) {
    std::vector<uint8_t> r(8 + 52, 0);
    PutBe16(r.data(), static_cast<uint16_t>(r.size() - 2));
    uint8_t* page = r.data() + 8;
    page[0] = 0x05;
    page[1] = 0x32;
    page[2] = static_cast<uint8_t>((d.bufe ? 0x40 : 0x00) | 0x01);
    page[3] = 0x04;
    page[4] = 0x08;
    PutBe16(page + 14, 150);
    return r;
}

std::vector<uint8_t> FormatCapacitiesReply(const DiscScript& d) {
    std::vector<uint8_t> r(4 + 16, 0);
    r[3] = 16;
    PutBe32(r.data() + 4, 2295104);
    r[8] = d.backgroundFormat == 0 ? 0x01 : 0x02;
    r[10] = 0x08;  // 2048-byte blocks
    PutBe32(r.data() + 12, 2295104);
    r[16] = 0x26 << 2;
    return r;
}

}  // namespace

void ScriptWriter(ScriptedDrive& drive, const DiscScript& d) {
    const bool cd = d.profile == 0x0009 || d.profile == 0x000A;
    const std::vector<FeatureBytes> features =
        d.features.empty() ? WriterFeatures(d.profile) : d.features;
    const std::vector<uint16_t> profiles =
        cd ? std::vector<uint16_t>{0x0008, 0x0009, 0x000A}
           : std::vector<uint16_t>{0x0008, 0x0009, 0x000A, 0x0010, 0x0011, 0x0012, 0x0013,
                                   0x0014, 0x0015, 0x001A, 0x001B, 0x002B};
    drive.Answer(kOpGetConfiguration, ConfigurationReply(d.profile, profiles, features));
    drive.Answer(kOpReadDiscInformation, DiscInformationReply(d));
    drive.Answer(kOpReadTrackInformation, TrackInformationReply(d));
    drive.Answer(kOpReadFormatCapacities, FormatCapacitiesReply(d));
    const std::vector<uint8_t> writePage = WritePageReply(d);
    const std::vector<uint8_t> capabilities = CapabilitiesReply(true, 7056, 7056);
    drive.On(kOpModeSense10, [=](const ScsiRequest& r) {
        return Deliver(r, (r.cdb[2] & 0x3F) == 0x05 ? writePage : capabilities);
    });
    drive.On(kOpReadToc, [](const ScsiRequest& r) {
        return Deliver(r, (r.cdb[2] & 0x0F) == 4 ? AtipReply(false) : std::vector<uint8_t>{});
    });
    for (uint8_t op : {kOpTestUnitReady, kOpModeSelect10, kOpWrite10, kOpSynchronizeCache,
                       kOpCloseTrackSession, kOpSendCueSheet, kOpSendOpcInformation,
                       kOpFormatUnit, kOpPreventAllowMediumRemoval, kOpStartStopUnit})
        drive.On(op, [](const ScsiRequest&) { return ScsiResult::Ok(0); });
}

std::vector<SentCommand> SentWith(const ScriptedDrive& drive, uint8_t opcode) {
    std::vector<SentCommand> out;
    for (const SentCommand& c : drive.Sent())
        if (c.cdb[0] == opcode) out.push_back(c);
    return out;
}

std::vector<std::pair<int32_t, uint32_t>> Writes(const ScriptedDrive& drive) {
    std::vector<std::pair<int32_t, uint32_t>> out;
    for (const SentCommand& c : SentWith(drive, kOpWrite10))
        out.emplace_back(static_cast<int32_t>(GetBe32(c.cdb.data() + 2)),
                         GetBe16(c.cdb.data() + 7));
    return out;
}

std::vector<uint8_t> WrittenBytes(const ScriptedDrive& drive) {
    std::vector<uint8_t> out;
    for (const SentCommand& c : SentWith(drive, kOpWrite10))
        out.insert(out.end(), c.dataOut.begin(), c.dataOut.end());
    return out;
}

std::vector<uint8_t> LastWritePage(const ScriptedDrive& drive) {
    const std::vector<SentCommand> selects = SentWith(drive, kOpModeSelect10);
    if (selects.empty()) return {};
    const std::vector<uint8_t>& list = selects.back().dataOut;
    if (list.size() < 8) return {};
    const size_t offset = 8 + GetBe16(list.data() + 6);
    if (offset >= list.size()) return {};
    return std::vector<uint8_t>(list.begin() + offset, list.end());
}

std::vector<uint8_t> PatternImage(size_t bytes) {
    std::vector<uint8_t> image(bytes);
    for (size_t i = 0; i < bytes; ++i)
        image[i] = static_cast<uint8_t>((i >> 11) * 7 + (i & 0xFF) + 1);
    return image;
}

WriteRun RunWrite(ScriptedDrive& drive, const WriteOptions& options, BlockSource& source,
                  uint32_t maxTransfer) {
    MmcDevice device(drive.Open(maxTransfer));
    device.SetSleep([](uint32_t) {});
    device.BeginOperation();
    WriteRun run;
    run.ok = WriteImage(
        device, options, source,
        [&](uint64_t done, uint64_t total) { run.progress.emplace_back(done, total); }, &run.left);
    run.outcome = device.LastFailure().outcome;
    run.text = device.LastFailure().text;
    device.EndOperation();
    return run;
}

WriteOptions Options(WriteMethod method) {
    WriteOptions o;
    o.method = method;
    o.ringBytes = 5u << 20;
    return o;
}

void MemorySource::Start(uint32_t chunk, uint64_t ring) {
    chunkBytes = chunk;
    ringBytes = ring;
}

bool MemorySource::Acquire(const uint8_t** data, uint32_t* bytes) {
    if (stopped || m_failed || chunkBytes == 0) return false;
    if (failAt && m_offset >= *failAt) {
        m_failed = true;
        return false;
    }
    const size_t padded = Blocks() * 2048;
    if (m_offset >= padded) return false;
    const size_t n = std::min<size_t>(chunkBytes, padded - m_offset);
    m_chunk.assign(n, 0);
    if (m_offset < m_bytes.size())
        std::memcpy(m_chunk.data(), m_bytes.data() + m_offset,
                    std::min(n, m_bytes.size() - m_offset));
    m_offset += n;
    ++acquired;
    *data = m_chunk.data();
    *bytes = static_cast<uint32_t>(n);
    return true;
}

}  // namespace mmctest
