#include "tests/virtual/RecorderHarness.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

namespace qftest {

using namespace burnlib;

std::string Answer::Sense() const {
    if (!result.delivered) return "transport error " + std::to_string(result.systemError);
    if (result.Good()) return "good";
    char text[16];
    std::snprintf(text, sizeof(text), "%02X/%02X/%02X", result.SenseKey(), result.Asc(), result.Ascq());
    return text;
}

std::unique_ptr<VirtualRecorder> MakeRecorder(const char* model, const char* medium) {
    return std::make_unique<VirtualRecorder>(*DriveModelByName(model), *MediumByName(medium));
}

namespace {
ScsiRequest Request(std::initializer_list<uint8_t> cdb) {
    ScsiRequest request;
    std::copy(cdb.begin(), cdb.end(), request.cdb);
    request.cdbLength = static_cast<uint8_t>(cdb.size());
    return request;
}
}  // namespace

Answer In(VirtualRecorder& r, std::initializer_list<uint8_t> cdb, uint32_t bufferLength) {
    Answer answer;
    ScsiRequest request = Request(cdb);
    // Heap buffer of exactly bufferLength bytes: an overflow is an ASan error, not silent.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[bufferLength ? bufferLength : 1]);
    std::fill_n(buffer.get(), bufferLength, uint8_t{0xEE});
    request.direction = DataDirection::In;
    request.data = bufferLength ? buffer.get() : nullptr;
    request.dataLength = bufferLength;
    answer.result = r.Execute(request);
    const uint32_t n = std::min(answer.result.transferred, bufferLength);
    answer.data.assign(buffer.get(), buffer.get() + n);
    return answer;
}

Answer Out(VirtualRecorder& r, std::initializer_list<uint8_t> cdb, const std::vector<uint8_t>& params) {
    Answer answer;
    ScsiRequest request = Request(cdb);
    std::vector<uint8_t> copy = params;
    if (!copy.empty()) {
        request.direction = DataDirection::Out;
        request.data = copy.data();
        request.dataLength = static_cast<uint32_t>(copy.size());
    }
    answer.result = r.Execute(request);
    return answer;
}

Answer TestUnitReady(VirtualRecorder& r) { return Out(r, {0x00, 0, 0, 0, 0, 0}); }

Answer GetConfiguration(VirtualRecorder& r, uint8_t requestType, uint16_t start, uint16_t alloc) {
    return In(r, {0x46, requestType, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), 0, 0, 0,
                  static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0},
              alloc);
}

Answer ReadDiscInfo(VirtualRecorder& r, uint16_t alloc) {
    return In(r, {0x51, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0}, alloc);
}

Answer ReadTrackInfo(VirtualRecorder& r, uint8_t addressType, uint32_t value, uint16_t alloc) {
    return In(r, {0x52, addressType, static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                  static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value), 0,
                  static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0},
              alloc);
}

Answer ReadToc(VirtualRecorder& r, uint8_t format, bool msf, uint8_t track, uint16_t alloc) {
    return In(r, {0x43, static_cast<uint8_t>(msf ? 0x02 : 0), format, 0, 0, 0, track,
                  static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0},
              alloc);
}

Answer ModeSense(VirtualRecorder& r, uint8_t pageControl, uint8_t page, uint16_t alloc) {
    return In(r, {0x5A, 0x08, static_cast<uint8_t>(pageControl << 6 | page), 0, 0, 0, 0,
                  static_cast<uint8_t>(alloc >> 8), static_cast<uint8_t>(alloc), 0},
              alloc);
}

Answer ModeSelect(VirtualRecorder& r, const std::vector<uint8_t>& params) {
    const size_t n = params.size();
    return Out(r, {0x55, 0x10, 0, 0, 0, 0, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0}, params);
}

Answer SetCdSpeed(VirtualRecorder& r, uint16_t read, uint16_t write) {
    return Out(r, {0xBB, 0, static_cast<uint8_t>(read >> 8), static_cast<uint8_t>(read),
                   static_cast<uint8_t>(write >> 8), static_cast<uint8_t>(write), 0, 0, 0, 0, 0, 0});
}

Answer Write10(VirtualRecorder& r, int32_t lba, uint16_t blocks, const std::vector<uint8_t>& data) {
    const uint32_t a = static_cast<uint32_t>(lba);
    return Out(r, {0x2A, 0, static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8),
                   static_cast<uint8_t>(a), 0, static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0},
               data);
}

Answer Read10(VirtualRecorder& r, int32_t lba, uint16_t blocks) {
    const uint32_t a = static_cast<uint32_t>(lba);
    return In(r, {0x28, 0, static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 8),
                  static_cast<uint8_t>(a), 0, static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0},
              blocks * 2048u);
}

Answer SynchronizeCache(VirtualRecorder& r, bool immed) {
    return Out(r, {0x35, static_cast<uint8_t>(immed ? 0x02 : 0), 0, 0, 0, 0, 0, 0, 0, 0});
}

Answer Close(VirtualRecorder& r, uint8_t function, uint16_t track, bool immed) {
    return Out(r, {0x5B, static_cast<uint8_t>(immed ? 1 : 0), function, 0, static_cast<uint8_t>(track >> 8),
                   static_cast<uint8_t>(track), 0, 0, 0, 0});
}

Answer ReserveTrack(VirtualRecorder& r, uint32_t blocks) {
    return Out(r, {0x53, 0, 0, 0, 0, static_cast<uint8_t>(blocks >> 24), static_cast<uint8_t>(blocks >> 16),
                   static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0});
}

Answer SetWritePage(VirtualRecorder& r, const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> page = PageOf(ModeSense(r, 0, 0x05));
    if (page.size() < 52) return Answer{};
    change(page);
    return ModeSelect(r, SelectList(page));
}

std::vector<uint8_t> Blocks(int32_t first, uint32_t count, uint8_t seed) {
    std::vector<uint8_t> data(size_t{count} * 2048u);
    for (uint32_t b = 0; b < count; ++b)
        for (size_t i = 0; i < 2048; ++i)
            data[b * 2048u + i] = static_cast<uint8_t>((first + static_cast<int32_t>(b)) * 7 + seed * 13 + i);
    return data;
}

uint16_t Be16(const std::vector<uint8_t>& d, size_t at) {
    return at + 2 <= d.size() ? static_cast<uint16_t>(d[at] << 8 | d[at + 1]) : 0;
}

uint32_t Be32(const std::vector<uint8_t>& d, size_t at) {
    return at + 4 <= d.size() ? uint32_t{d[at]} << 24 | uint32_t{d[at + 1]} << 16 | uint32_t{d[at + 2]} << 8 | d[at + 3]
                              : 0;
}

std::vector<uint8_t> PageOf(const Answer& modeSense) {
    if (modeSense.data.size() < 10) return {};
    const size_t at = 8 + Be16(modeSense.data, 6);
    if (at + 2 > modeSense.data.size()) return {};
    const size_t end = std::min(modeSense.data.size(), at + 2 + modeSense.data[at + 1]);
    return std::vector<uint8_t>(modeSense.data.begin() + static_cast<std::ptrdiff_t>(at), modeSense.data.begin() + static_cast<std::ptrdiff_t>(end));
}

std::vector<uint8_t> SelectList(const std::vector<uint8_t>& page) {
    std::vector<uint8_t> list(8 + page.size(), 0);
    std::copy(page.begin(), page.end(), list.begin() + 8);
    if (list.size() > 8) list[8] &= 0x7F;
    return list;
}

}  // namespace qftest
