// Feeds the virtual recorder command after command built from the fuzzer's bytes: any command
// block, any buffer length and direction, disc changes between commands. The recorder must never
// touch memory outside the host buffer nor report more bytes than it holds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"

using namespace burnlib;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> models = DriveModelNames();
    static const std::vector<std::string> media = MediumNames();
    if (size < 2) return 0;
    VirtualRecorder recorder(*DriveModelByName(models[data[0] % models.size()]),
                             *MediumByName(media[data[1] % media.size()]));
    size_t at = 2;
    while (at + 20 <= size) {
        const uint8_t* c = data + at;
        at += 20;
        if (c[0] == 0xFE) {  // the user swaps the disc
            recorder.InsertMedium(*MediumByName(media[c[1] % media.size()]));
            continue;
        }
        ScsiRequest request;
        std::memcpy(request.cdb, c, 16);
        request.cdbLength = c[16] % 18;
        request.direction = static_cast<DataDirection>(c[17] % 3);
        const uint32_t length = static_cast<uint32_t>(c[18]) << 2 | (c[19] & 3);
        std::vector<uint8_t> buffer(length);
        // Data-out commands carry the next input bytes as their parameter list.
        const size_t take = std::min<size_t>(length, size - at);
        if (take > 0) std::memcpy(buffer.data(), data + at, take);
        if (request.direction == DataDirection::Out) at += take;
        request.data = length > 0 && (c[19] & 4) == 0 ? buffer.data() : nullptr;
        request.dataLength = length;
        const ScsiResult result = recorder.Execute(request);
        // The only failure short of the drive is a data phase the host got wrong.
        if (!result.delivered) {
            if (result.systemError != 1117 || result.transferred != 0) std::abort();
            continue;
        }
        if (result.transferred > length || (result.status != kScsiStatusGood && result.transferred != 0))
            std::abort();
    }
    return 0;
}
