#include "burnlib/mmc/Cdb.h"

#include "burnlib/common/BigEndian.h"

namespace burnlib::mmc {

void PutBe16(uint8_t* p, uint16_t v) { be::Put16(p, v); }

void PutBe32(uint8_t* p, uint32_t v) { be::Put32(p, v); }

uint16_t GetBe16(const uint8_t* p) { return be::Get16(p); }

uint32_t GetBe32(const uint8_t* p) { return be::Get32(p); }

const char* CommandName(uint8_t opcode) {
    switch (opcode) {
        case kOpTestUnitReady: return "TEST UNIT READY";
        case kOpRequestSense: return "REQUEST SENSE";
        case kOpInquiry: return "INQUIRY";
        case kOpStartStopUnit: return "START STOP UNIT";
        case kOpReadCapacity: return "READ CAPACITY";
        case kOpReadToc: return "READ TOC/PMA/ATIP";
        case kOpGetConfiguration: return "GET CONFIGURATION";
        case kOpReadDiscInformation: return "READ DISC INFORMATION";
        case kOpReadTrackInformation: return "READ TRACK INFORMATION";
        case kOpModeSelect10: return "MODE SELECT(10)";
        case kOpModeSense10: return "MODE SENSE(10)";
        case kOpGetPerformance: return "GET PERFORMANCE";
        case kOpSetStreaming: return "SET STREAMING";
        case kOpSetCdSpeed: return "SET CD SPEED";
        case kOpFormatUnit: return "FORMAT UNIT";
        case kOpWrite10: return "WRITE(10)";
        case kOpWrite12: return "WRITE(12)";
        case kOpSynchronizeCache: return "SYNCHRONIZE CACHE";
        case kOpCloseTrackSession: return "CLOSE TRACK/SESSION";
        case kOpBlank: return "BLANK";
        case kOpReadCd: return "READ CD";
        case kOpReserveTrack: return "RESERVE TRACK";
        case kOpPreventAllowMediumRemoval: return "PREVENT ALLOW MEDIUM REMOVAL";
        case kOpReadFormatCapacities: return "READ FORMAT CAPACITIES";
        case kOpSendOpcInformation: return "SEND OPC INFORMATION";
        case kOpSendCueSheet: return "SEND CUE SHEET";
        default: return "SCSI command";
    }
}

bool ChangesMedium(uint8_t opcode) {
    switch (opcode) {
        case kOpFormatUnit:
        case kOpWrite10:
        case kOpWrite12:
        case kOpSynchronizeCache:
        case kOpCloseTrackSession:
        case kOpBlank:
        case kOpReserveTrack:
        case kOpSendCueSheet:  // the drive's write set-up; lost with a reset or a new disc
            return true;
        default:
            return false;
    }
}

namespace {
Cdb Make(uint8_t opcode, uint8_t length) {
    Cdb c;
    c.bytes[0] = opcode;
    c.length = length;
    return c;
}
}  // namespace

Cdb MakeTestUnitReady() { return Make(kOpTestUnitReady, 6); }

Cdb MakeInquiry(uint8_t allocation) {
    Cdb c = Make(kOpInquiry, 6);
    c.bytes[4] = allocation;
    return c;
}

Cdb MakeReadCapacity() { return Make(kOpReadCapacity, 10); }

Cdb MakeReadToc(uint8_t format, bool msf, uint8_t trackOrSession, uint16_t allocation) {
    Cdb c = Make(kOpReadToc, 10);
    c.bytes[1] = msf ? 0x02 : 0x00;
    c.bytes[2] = format & 0x0F;
    c.bytes[6] = trackOrSession;
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeGetConfiguration(uint8_t requestType, uint16_t startFeature, uint16_t allocation) {
    Cdb c = Make(kOpGetConfiguration, 10);
    c.bytes[1] = requestType & 0x03;
    PutBe16(c.bytes + 2, startFeature);
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeReadDiscInformation(uint16_t allocation) {
    Cdb c = Make(kOpReadDiscInformation, 10);
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeReadTrackInformation(uint8_t addressType, uint32_t value, uint16_t allocation) {
    Cdb c = Make(kOpReadTrackInformation, 10);
    c.bytes[1] = addressType & 0x03;
    PutBe32(c.bytes + 2, value);
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeModeSense10(uint8_t page, uint8_t pageControl, uint16_t allocation) {
    Cdb c = Make(kOpModeSense10, 10);
    c.bytes[1] = 0x08;  // DBD: no block descriptors, the page follows the header directly
    c.bytes[2] = static_cast<uint8_t>(((pageControl & 0x03) << 6) | (page & 0x3F));
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeModeSelect10(uint16_t parameterLength) {
    Cdb c = Make(kOpModeSelect10, 10);
    c.bytes[1] = 0x10;  // PF: the pages follow the MMC page format
    PutBe16(c.bytes + 7, parameterLength);
    return c;
}

Cdb MakeGetPerformance(uint8_t type, uint8_t dataType, uint32_t startLba,
                       uint16_t maxDescriptors) {
    Cdb c = Make(kOpGetPerformance, 12);
    c.bytes[1] = dataType & 0x1F;
    PutBe32(c.bytes + 2, startLba);
    PutBe16(c.bytes + 8, maxDescriptors);
    c.bytes[10] = type;
    return c;
}

Cdb MakeSetCdSpeed(uint16_t readKBps, uint16_t writeKBps) {
    Cdb c = Make(kOpSetCdSpeed, 12);
    PutBe16(c.bytes + 2, readKBps);
    PutBe16(c.bytes + 4, writeKBps);
    return c;
}

Cdb MakeSetStreaming(uint16_t parameterLength) {
    Cdb c = Make(kOpSetStreaming, 12);
    PutBe16(c.bytes + 9, parameterLength);
    return c;
}

Cdb MakeWrite10(int32_t lba, uint16_t blocks) {
    Cdb c = Make(kOpWrite10, 10);
    PutBe32(c.bytes + 2, static_cast<uint32_t>(lba));
    PutBe16(c.bytes + 7, blocks);
    return c;
}

Cdb MakeSynchronizeCache(bool immediate) {
    Cdb c = Make(kOpSynchronizeCache, 10);
    c.bytes[1] = immediate ? 0x02 : 0x00;
    return c;
}

Cdb MakeCloseTrackSession(bool immediate, uint8_t function, uint16_t trackNumber) {
    Cdb c = Make(kOpCloseTrackSession, 10);
    c.bytes[1] = immediate ? 0x01 : 0x00;
    c.bytes[2] = function & 0x07;
    PutBe16(c.bytes + 4, trackNumber);
    return c;
}

Cdb MakePreventAllowMediumRemoval(bool prevent) {
    Cdb c = Make(kOpPreventAllowMediumRemoval, 6);
    c.bytes[4] = prevent ? 0x01 : 0x00;
    return c;
}

Cdb MakeStartStopUnit(bool immediate, bool loadEject, bool start) {
    Cdb c = Make(kOpStartStopUnit, 6);
    c.bytes[1] = immediate ? 0x01 : 0x00;
    c.bytes[4] = static_cast<uint8_t>((loadEject ? 0x02 : 0x00) | (start ? 0x01 : 0x00));
    return c;
}

Cdb MakeSendOpc() {
    Cdb c = Make(kOpSendOpcInformation, 10);
    c.bytes[1] = 0x01;
    return c;
}

Cdb MakeSendCueSheet(uint32_t bytes) {
    Cdb c = Make(kOpSendCueSheet, 10);
    c.bytes[6] = static_cast<uint8_t>(bytes >> 16);
    c.bytes[7] = static_cast<uint8_t>(bytes >> 8);
    c.bytes[8] = static_cast<uint8_t>(bytes);
    return c;
}

Cdb MakeReadFormatCapacities(uint16_t allocation) {
    Cdb c = Make(kOpReadFormatCapacities, 10);
    PutBe16(c.bytes + 7, allocation);
    return c;
}

Cdb MakeFormatUnit() {
    Cdb c = Make(kOpFormatUnit, 6);
    c.bytes[1] = 0x11;
    return c;
}

Cdb MakeReadCdSubheader(uint32_t lba, uint32_t blocks) {
    Cdb c = Make(kOpReadCd, 12);
    PutBe32(c.bytes + 2, lba);
    c.bytes[6] = static_cast<uint8_t>(blocks >> 16);
    c.bytes[7] = static_cast<uint8_t>(blocks >> 8);
    c.bytes[8] = static_cast<uint8_t>(blocks);
    c.bytes[9] = 0x40;  // header codes 10b: the sub-header only
    return c;
}

}  // namespace burnlib::mmc
