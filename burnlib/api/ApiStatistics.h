// Counters of library calls and of the SCSI commands they sent, for benchmarks and tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace burnlib {

struct ApiStatistics {
    std::map<std::string, uint64_t> calls;         // StarBurn_* name -> number of calls
    std::map<uint8_t, uint64_t> commandsByOpcode;  // CDB byte 0 -> commands sent
    uint64_t scsiCommands = 0;

    uint64_t Calls(const std::string& name) const;
    uint64_t TotalCalls() const;
    uint64_t Commands(uint8_t opcode) const;

    // A copy of the process-wide counters at this moment.
    static ApiStatistics Get();
    static void Reset();
    static void CountCall(const char* name);
    static void CountCommand(uint8_t opcode);
};

}  // namespace burnlib
