#include "burnlib/mmc/Commands.h"

#include <algorithm>

namespace burnlib::mmc {

namespace {
constexpr uint16_t kMaxAllocation = 0xFFF0;
}  // namespace

bool Identify(MmcDevice& device, InquiryData* out) {
    uint8_t reply[96] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeInquiry(sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseInquiry(reply, got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool TestUnitReady(MmcDevice& device) {
    return device.Execute(MakeTestUnitReady(), DataDirection::None, nullptr, 0);
}

// A drive finishing a close, a format or a long write answers "in progress" until it is done;
// only that answer is worth waiting for (no disc, or a drive needing a start, is not).
bool WaitUntilReady(MmcDevice& device, uint32_t limitSeconds) {
    if (TestUnitReady(device)) return true;
    return device.FailedBusy() && device.WaitWhileBusy(limitSeconds);
}

bool ReadConfiguration(MmcDevice& device, Configuration* out) {
    uint8_t header[8] = {};
    uint32_t got = 0;
    Cdb cdb = MakeGetConfiguration(kConfigAll, 0, sizeof header);
    if (!device.Execute(cdb, DataDirection::In, header, sizeof header, &got)) return false;
    Configuration c;
    if (!ParseConfiguration(header, got, &c)) return device.BadResponse(cdb, got);
    const uint64_t announced = static_cast<uint64_t>(c.dataLength) + 4;
    if (announced <= sizeof header) {
        *out = std::move(c);
        return true;
    }
    const uint32_t cap = std::min<uint32_t>(
        kMaxAllocation, std::max<uint32_t>(device.MaxTransferLength(), sizeof header));
    const uint32_t allocation = static_cast<uint32_t>(std::min<uint64_t>(announced, cap));
    std::vector<uint8_t> reply(allocation);
    cdb = MakeGetConfiguration(kConfigAll, 0, static_cast<uint16_t>(allocation));
    if (!device.Execute(cdb, DataDirection::In, reply.data(), allocation, &got)) return false;
    if (!ParseConfiguration(reply.data(), got, &c)) return device.BadResponse(cdb, got);
    *out = std::move(c);
    return true;
}

bool ReadDiscInformation(MmcDevice& device, DiscInformation* out) {
    uint8_t reply[34] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadDiscInformation(sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseDiscInformation(reply, got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool ReadTrackInformation(MmcDevice& device, uint8_t addressType, uint32_t value,
                          TrackInformation* out) {
    uint8_t reply[48] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadTrackInformation(addressType, value, sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseTrackInformation(reply, got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool ReadToc(MmcDevice& device, Toc* out) {
    // 99 tracks and the lead-out fit: no need to ask for the length first.
    uint8_t reply[4 + 8 * 101] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadToc(kTocFormatToc, false, 0, sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseToc(reply, got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool ReadFullToc(MmcDevice& device, FullToc* out) {
    uint8_t header[4] = {};
    uint32_t got = 0;
    Cdb cdb = MakeReadToc(kTocFormatFullToc, false, 1, sizeof header);
    if (!device.Execute(cdb, DataDirection::In, header, sizeof header, &got)) return false;
    if (got < 2) return device.BadResponse(cdb, got);
    const uint32_t cap = std::min<uint32_t>(kMaxAllocation, device.MaxTransferLength());
    const uint32_t allocation =
        std::max<uint32_t>(4, std::min<uint32_t>(GetBe16(header) + 2u, cap));
    std::vector<uint8_t> reply(allocation);
    cdb = MakeReadToc(kTocFormatFullToc, false, 1, static_cast<uint16_t>(allocation));
    if (!device.Execute(cdb, DataDirection::In, reply.data(), allocation, &got)) return false;
    if (!ParseFullToc(reply.data(), got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool ReadAtip(MmcDevice& device, Atip* out) {
    uint8_t reply[28] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadToc(kTocFormatAtip, true, 0, sizeof reply);
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (!ParseAtip(reply, got, out)) return device.BadResponse(cdb, got);
    return true;
}

bool ReadModePage(MmcDevice& device, uint8_t page, uint8_t pageControl,
                  std::vector<uint8_t>* reply, size_t* offset, size_t* pageLength) {
    // Header, a block descriptor a drive may send despite DBD, and the longest possible page.
    reply->assign(8 + 8 + 257, 0);
    uint32_t got = 0;
    const Cdb cdb = MakeModeSense10(page, pageControl, static_cast<uint16_t>(reply->size()));
    if (!device.Execute(cdb, DataDirection::In, reply->data(),
                        static_cast<uint32_t>(reply->size()), &got))
        return false;
    reply->resize(got);
    if (!FindModePage(reply->data(), got, page, offset, pageLength))
        return device.BadResponse(cdb, got);
    return true;
}

bool ReadCapabilities(MmcDevice& device, Capabilities* out) {
    std::vector<uint8_t> reply;
    size_t offset = 0, length = 0;
    if (!ReadModePage(device, kPageCapabilities, kPageControlCurrent, &reply, &offset, &length))
        return false;
    if (!ParseCapabilitiesPage(reply.data() + offset, length, out)) return device.BadResponse();
    return true;
}

bool ReadCapacity(MmcDevice& device, uint32_t* lastLba) {
    uint8_t reply[8] = {};
    uint32_t got = 0;
    const Cdb cdb = MakeReadCapacity();
    if (!device.Execute(cdb, DataDirection::In, reply, sizeof reply, &got)) return false;
    if (got < 4) return device.BadResponse(cdb, got);
    *lastLba = GetBe32(reply);
    return true;
}

}  // namespace burnlib::mmc
