// Command descriptor blocks of the MMC commands the engine sends.
#pragma once

#include <cstdint>

namespace burnlib::mmc {

struct Cdb {
    uint8_t bytes[16] = {};
    uint8_t length = 0;
};

enum : uint8_t {
    kOpTestUnitReady = 0x00,
    kOpRequestSense = 0x03,
    kOpFormatUnit = 0x04,
    kOpInquiry = 0x12,
    kOpStartStopUnit = 0x1B,
    kOpPreventAllowMediumRemoval = 0x1E,
    kOpReadFormatCapacities = 0x23,
    kOpReadCapacity = 0x25,
    kOpWrite10 = 0x2A,
    kOpSynchronizeCache = 0x35,
    kOpReadToc = 0x43,
    kOpGetConfiguration = 0x46,
    kOpReadDiscInformation = 0x51,
    kOpReadTrackInformation = 0x52,
    kOpReserveTrack = 0x53,
    kOpSendOpcInformation = 0x54,
    kOpModeSelect10 = 0x55,
    kOpModeSense10 = 0x5A,
    kOpCloseTrackSession = 0x5B,
    kOpSendCueSheet = 0x5D,
    kOpBlank = 0xA1,
    kOpWrite12 = 0xAA,
    kOpGetPerformance = 0xAC,
    kOpSetStreaming = 0xB6,
    kOpSetCdSpeed = 0xBB,
    kOpReadCd = 0xBE,
};

// Commands after which the medium is no longer what it was when the operation began.
bool ChangesMedium(uint8_t opcode);

enum : uint8_t {
    kConfigAll = 0,
    kConfigCurrent = 1,
    kConfigOne = 2,
};

enum : uint8_t {
    kTocFormatToc = 0,
    kTocFormatSessionInfo = 1,
    kTocFormatFullToc = 2,
    kTocFormatAtip = 4,
};

enum : uint8_t {
    kTrackAddressLba = 0,
    kTrackAddressNumber = 1,
    kTrackAddressSession = 2,
};

enum : uint8_t {
    kPageWriteParameters = 0x05,
    kPageCapabilities = 0x2A,
};

enum : uint8_t {
    kPageControlCurrent = 0,
    kPageControlChangeable = 1,
    kPageControlDefault = 2,
};

// Printable command name for the error texts ("READ TOC/PMA/ATIP").
const char* CommandName(uint8_t opcode);

Cdb MakeTestUnitReady();
Cdb MakeInquiry(uint8_t allocation);
Cdb MakeReadCapacity();
Cdb MakeReadToc(uint8_t format, bool msf, uint8_t trackOrSession, uint16_t allocation);
Cdb MakeGetConfiguration(uint8_t requestType, uint16_t startFeature, uint16_t allocation);
Cdb MakeReadDiscInformation(uint16_t allocation);
Cdb MakeReadTrackInformation(uint8_t addressType, uint32_t value, uint16_t allocation);
Cdb MakeModeSense10(uint8_t page, uint8_t pageControl, uint16_t allocation);
Cdb MakeModeSelect10(uint16_t parameterLength);
// type 0x00 (performance) with dataType 0x10 reads nominal read performance; type 0x03 lists
// write speeds.
Cdb MakeGetPerformance(uint8_t type, uint8_t dataType, uint32_t startLba,
                       uint16_t maxDescriptors);
Cdb MakeSetCdSpeed(uint16_t readKBps, uint16_t writeKBps);
Cdb MakeSetStreaming(uint16_t parameterLength);
// lba may be negative (lead-in, pregap): sent in two's complement.
Cdb MakeWrite10(int32_t lba, uint16_t blocks);
Cdb MakeSynchronizeCache(bool immediate);
// function: 1 close track, 2 close session (and others per medium).
Cdb MakeCloseTrackSession(bool immediate, uint8_t function, uint16_t trackNumber);
Cdb MakePreventAllowMediumRemoval(bool prevent);
// START STOP UNIT: loadEject with start = false opens the tray.
Cdb MakeStartStopUnit(bool immediate, bool loadEject, bool start);
// SEND OPC INFORMATION with DoOpc: calibrate now, no parameter list.
Cdb MakeSendOpc();
Cdb MakeSendCueSheet(uint32_t bytes);
Cdb MakeReadFormatCapacities(uint16_t allocation);
// FORMAT UNIT with a parameter list (FmtData, format code 001b).
Cdb MakeFormatUnit();
// READ CD of `blocks` blocks of any sector type returning only the sub-header (8 bytes per
// Mode 2 Form 1/2 block).
Cdb MakeReadCdSubheader(uint32_t lba, uint32_t blocks);

void PutBe16(uint8_t* p, uint16_t v);
void PutBe32(uint8_t* p, uint32_t v);
uint16_t GetBe16(const uint8_t* p);
uint32_t GetBe32(const uint8_t* p);

}  // namespace burnlib::mmc
