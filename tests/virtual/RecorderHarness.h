// Sends command blocks to a virtual recorder the way a transport would, with the host buffer exactly
// as long as the allocation length so the address sanitizer sees any write past it.
#pragma once

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

uint16_t Be16(const std::vector<uint8_t>& d, size_t at);
uint32_t Be32(const std::vector<uint8_t>& d, size_t at);
// The page of a MODE SENSE(10) answer, header stripped.
std::vector<uint8_t> PageOf(const Answer& modeSense);
// A MODE SELECT(10) parameter list carrying one page.
std::vector<uint8_t> SelectList(const std::vector<uint8_t>& page);

}  // namespace qftest
