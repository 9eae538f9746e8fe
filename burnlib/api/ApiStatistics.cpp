#include "burnlib/api/ApiStatistics.h"

#include <mutex>

namespace burnlib {

namespace {
std::mutex g_statisticsLock;
ApiStatistics g_statistics;
}  // namespace

uint64_t ApiStatistics::Calls(const std::string& name) const {
    auto it = calls.find(name);
    return it == calls.end() ? 0 : it->second;
}

uint64_t ApiStatistics::TotalCalls() const {
    uint64_t total = 0;
    for (const auto& [name, count] : calls) total += count;
    return total;
}

uint64_t ApiStatistics::Commands(uint8_t opcode) const {
    auto it = commandsByOpcode.find(opcode);
    return it == commandsByOpcode.end() ? 0 : it->second;
}

ApiStatistics ApiStatistics::Get() {
    std::lock_guard<std::mutex> lock(g_statisticsLock);
    return g_statistics;
}

void ApiStatistics::Reset() {
    std::lock_guard<std::mutex> lock(g_statisticsLock);
    g_statistics = ApiStatistics{};
}

void ApiStatistics::CountCall(const char* name) {
    std::lock_guard<std::mutex> lock(g_statisticsLock);
    ++g_statistics.calls[name];
}

void ApiStatistics::CountCommand(uint8_t opcode) {
    std::lock_guard<std::mutex> lock(g_statisticsLock);
    ++g_statistics.scsiCommands;
    ++g_statistics.commandsByOpcode[opcode];
}

}  // namespace burnlib
