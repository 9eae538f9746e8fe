// Sends command blocks to a virtual recorder the way a transport would, with the host buffer exactly
// as long as the allocation length so the address sanitizer sees any write past it.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"

namespace qftest {

struct Answer {
    burnlib::ScsiResult result;
    std::vector<uint8_t> data;  // the host buffer, resized to what was transferred
    bool Good() const { return result.Good(); }
    std::string Sense() const;  // "05/24/00", "good", or "transport error 1117"
};

std::unique_ptr<burnlib::VirtualRecorder> MakeRecorder(const char* model, const char* medium);

// A data-in command with a host buffer of bufferLength bytes.
Answer In(burnlib::VirtualRecorder& r, std::initializer_list<uint8_t> cdb, uint32_t bufferLength);
// Windows' ERROR_IO_DEVICE: the pass-through's answer to a data overrun or a wrong direction.
inline constexpr const char* kDataPhaseFault = "transport error 1117";

// A data-out command carrying params (or a no-data command when params is empty).
Answer Out(burnlib::VirtualRecorder& r, std::initializer_list<uint8_t> cdb,
           const std::vector<uint8_t>& params = {});

// Common commands.
Answer TestUnitReady(burnlib::VirtualRecorder& r);
Answer GetConfiguration(burnlib::VirtualRecorder& r, uint8_t requestType, uint16_t start, uint16_t alloc);
Answer ReadDiscInfo(burnlib::VirtualRecorder& r, uint16_t alloc = 34);
Answer ReadTrackInfo(burnlib::VirtualRecorder& r, uint8_t addressType, uint32_t value, uint16_t alloc = 48);
Answer ReadToc(burnlib::VirtualRecorder& r, uint8_t format, bool msf, uint8_t track = 0, uint16_t alloc = 2048);
Answer ModeSense(burnlib::VirtualRecorder& r, uint8_t pageControl, uint8_t page, uint16_t alloc = 1024);
Answer ModeSelect(burnlib::VirtualRecorder& r, const std::vector<uint8_t>& params);
Answer SetCdSpeed(burnlib::VirtualRecorder& r, uint16_t read, uint16_t write);

// The write side.
Answer Write10(burnlib::VirtualRecorder& r, int32_t lba, uint16_t blocks, const std::vector<uint8_t>& data);
Answer Read10(burnlib::VirtualRecorder& r, int32_t lba, uint16_t blocks);
Answer SynchronizeCache(burnlib::VirtualRecorder& r, bool immed = false);
// CLOSE TRACK/SESSION with a close function (1 track, 2 session, ...) and track number.
Answer Close(burnlib::VirtualRecorder& r, uint8_t function, uint16_t track = 0, bool immed = false);
Answer ReserveTrack(burnlib::VirtualRecorder& r, uint32_t blocks);
// Changes page 05 as MODE SENSE gave it and sets it with MODE SELECT.
Answer SetWritePage(burnlib::VirtualRecorder& r, const std::function<void(std::vector<uint8_t>&)>& change);
// Blocks of 2048 bytes that differ from block to block and from seed to seed.
std::vector<uint8_t> Blocks(int32_t first, uint32_t count, uint8_t seed = 1);

uint16_t Be16(const std::vector<uint8_t>& d, size_t at);
uint32_t Be32(const std::vector<uint8_t>& d, size_t at);
// The page of a MODE SENSE(10) answer, header stripped.
std::vector<uint8_t> PageOf(const Answer& modeSense);
// A MODE SELECT(10) parameter list carrying one page.
std::vector<uint8_t> SelectList(const std::vector<uint8_t>& page);

}  // namespace qftest
