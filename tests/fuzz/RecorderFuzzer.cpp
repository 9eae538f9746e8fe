// The virtual recorder fed command after command built from the fuzzer's bytes: mostly the
// commands it implements, with command blocks, allocation lengths, buffers and directions that
// are right, nearly right or anything, data-out parameter lists from the input, writes aimed at
// the next writable address it last gave, and discs put in and taken out between commands.
//
// After each command: the host buffer was never read or written outside its length (ASan, buffers
// are exactly that long), a data-out buffer is left as it was, the count moved fits the buffer,
// and a refused or undelivered command moved nothing. After the sequence the disc must still
// describe itself: disc information, each track's information and the TOC answer within their
// buffers and agree with one another. Written data is discarded, so nothing grows on disk.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "burnlib/virtual/Catalog.h"
#include "burnlib/virtual/VirtualRecorder.h"

using namespace burnlib;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void PutBe16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

enum class Dir : uint8_t { None, In, Out };
struct Command {
    uint8_t opcode;
    Dir dir;
    int lengthAt;    // where the allocation or parameter list length sits in the block; -1 none
    int lengthBytes; // 1, 2 or 3
};

// The MMC commands a recorder answers, with their data phase.
constexpr Command kCommands[] = {
    {0x00, Dir::None, -1, 0}, {0x03, Dir::In, 4, 1},    {0x04, Dir::Out, -1, 0}, {0x12, Dir::In, 3, 2},
    {0x1B, Dir::None, -1, 0}, {0x1E, Dir::None, -1, 0}, {0x23, Dir::In, 7, 2},   {0x25, Dir::In, -1, 0},
    {0x28, Dir::In, -1, 0},   {0x2A, Dir::Out, -1, 0},  {0x35, Dir::None, -1, 0}, {0x43, Dir::In, 7, 2},
    {0x46, Dir::In, 7, 2},    {0x51, Dir::In, 7, 2},    {0x52, Dir::In, 7, 2},   {0x53, Dir::None, -1, 0},
    {0x54, Dir::Out, 7, 2},   {0x55, Dir::Out, 7, 2},   {0x5A, Dir::In, 7, 2},   {0x5B, Dir::None, -1, 0},
    {0x5C, Dir::In, 7, 2},    {0x5D, Dir::Out, 6, 3},   {0xA1, Dir::None, -1, 0}, {0xAC, Dir::In, -1, 0},
    {0xB6, Dir::Out, 9, 2},   {0xBB, Dir::None, -1, 0},
};

uint8_t CdbLength(uint8_t opcode) {
    switch (opcode >> 5) {
    case 0: return 6;
    case 1: case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 12;
    }
}

struct Session {
    VirtualRecorder& recorder;
    int32_t lastNwa = 0;  // the next writable address the drive last reported
    uint32_t writeBlockSize = 2048;
};

ScsiResult Run(Session& s, ScsiRequest& request, std::vector<uint8_t>& buffer, bool withBuffer) {
    request.data = withBuffer && !buffer.empty() ? buffer.data() : nullptr;
    request.dataLength = static_cast<uint32_t>(buffer.size());
    const std::vector<uint8_t> before = request.direction == DataDirection::Out ? buffer : std::vector<uint8_t>();
    const ScsiResult result = s.recorder.Execute(request);
    if (!result.delivered) {
        Require(result.systemError == 1117 && result.transferred == 0);
    } else {
        Require(result.transferred <= request.dataLength);
        if (request.data == nullptr) Require(result.transferred == 0);
        if (result.status != kScsiStatusGood) Require(result.transferred == 0);
        if (result.status == kScsiStatusCheckCondition)
            Require(result.senseLength <= kSenseBufferSize && result.SenseKey() != 0);
    }
    if (request.direction == DataDirection::Out) Require(buffer == before);
    return result;
}

// One command from the input.
void FuzzedCommand(Session& s, FuzzedDataProvider& in) {
    ScsiRequest request;
    const bool known = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    const Command& c = kCommands[in.ConsumeIntegralInRange<size_t>(0, std::size(kCommands) - 1)];
    const std::vector<uint8_t> cdb = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 16));
    if (!cdb.empty()) std::memcpy(request.cdb, cdb.data(), cdb.size());
    if (known) request.cdb[0] = c.opcode;
    const uint8_t opcode = request.cdb[0];
    const int shape = in.ConsumeIntegralInRange<int>(0, 7);  // 0: anything; otherwise as the command wants
    request.cdbLength = shape == 0 ? in.ConsumeIntegralInRange<uint8_t>(0, 17) : CdbLength(opcode);
    request.direction = shape == 0 || !known ? static_cast<DataDirection>(in.ConsumeIntegralInRange<int>(0, 2))
                                             : static_cast<DataDirection>(c.dir);

    size_t length = 0;
    if (known && shape != 0 && c.lengthAt >= 0) {
        // A length the drive will honour, and a buffer of that length or a little off.
        const uint32_t wanted = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 64)
                                                 : in.ConsumeIntegralInRange<uint32_t>(0, 4096);
        if (c.lengthBytes == 1) request.cdb[c.lengthAt] = uint8_t(wanted);
        if (c.lengthBytes == 2) PutBe16(&request.cdb[c.lengthAt], wanted);
        if (c.lengthBytes == 3) {
            request.cdb[c.lengthAt] = 0;
            PutBe16(&request.cdb[c.lengthAt + 1], wanted);
        }
        const uint32_t honoured = c.lengthBytes == 1 ? wanted & 0xFF : wanted;
        length = shape == 1 ? in.ConsumeIntegralInRange<size_t>(0, 4200) : honoured;
    } else if (known && shape != 0 && (opcode == 0x2A || opcode == 0x28)) {
        // READ and WRITE of a few blocks, mostly where the drive expects the next write.
        const uint32_t blocks = in.ConsumeIntegralInRange<uint32_t>(0, 8);
        const int32_t lba = in.ConsumeBool() ? s.lastNwa + in.ConsumeIntegralInRange<int32_t>(-2, 2)
                                             : in.ConsumeIntegral<int32_t>();
        PutBe32(&request.cdb[2], static_cast<uint32_t>(lba));
        PutBe16(&request.cdb[7], blocks);
        static constexpr uint32_t kBlockSizes[] = {2048, 2352, 2368, 2448};
        const uint32_t blockSize = opcode == 0x28 ? 2048 : in.ConsumeBool() ? s.writeBlockSize
                                                       : kBlockSizes[in.ConsumeIntegralInRange<size_t>(0, 3)];
        length = shape == 1 ? in.ConsumeIntegralInRange<size_t>(0, 20000) : size_t{blocks} * blockSize;
    } else if (known && shape != 0 && opcode == 0xAC) {
        PutBe16(&request.cdb[8], in.ConsumeIntegralInRange<uint32_t>(0, 8));
        request.cdb[10] = in.ConsumeBool() ? 0x03 : 0x00;
        length = 8 + 16 * Be16(&request.cdb[8]);
    } else {
        length = in.ConsumeIntegralInRange<size_t>(0, in.ConsumeBool() ? 64 : 4200);
    }
    std::vector<uint8_t> buffer(length);
    if (request.direction == DataDirection::Out) {
        const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(length);
        std::copy(bytes.begin(), bytes.end(), buffer.begin());
    }
    const bool withBuffer = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    const ScsiResult result = Run(s, request, buffer, withBuffer);

    // Follow the drive: where it takes the next write, and the block size its page 05 sets.
    if (result.Good() && opcode == 0x52 && result.transferred >= 16 && (buffer[7] & 1))
        s.lastNwa = static_cast<int32_t>(Be32(&buffer[12]));
    if (result.Good() && opcode == 0x55 && buffer.size() >= 8 + 6 && (buffer[8] & 0x3F) == 0x05) {
        switch (buffer[8 + 4] & 0x0F) {  // data block type
        case 0: s.writeBlockSize = 2352; break;
        case 1: s.writeBlockSize = 2368; break;
        case 2: case 3: s.writeBlockSize = 2448; break;
        default: s.writeBlockSize = 2048; break;
        }
    }
}

// A query with an allocation length and a buffer of exactly that size.
ScsiResult Query(Session& s, std::vector<uint8_t> cdb, uint16_t allocation, std::vector<uint8_t>* reply) {
    ScsiRequest request;
    std::copy(cdb.begin(), cdb.end(), request.cdb);
    request.cdbLength = static_cast<uint8_t>(cdb.size());
    PutBe16(&request.cdb[7], allocation);
    request.direction = DataDirection::In;
    reply->assign(allocation, 0);
    const ScsiResult r = Run(s, request, *reply, true);
    Require(r.delivered);
    reply->resize(r.transferred);
    return r;
}

// The disc as the drive now describes it, asked the way a host asks.
void CheckDisc(Session& s, uint16_t shortLength) {
    std::vector<uint8_t> reply;
    for (int i = 0; i < 3; ++i) {  // through any pending unit attention or becoming ready
        ScsiRequest tur;
        tur.cdbLength = 6;
        std::vector<uint8_t> none;
        if (Run(s, tur, none, false).Good()) break;
    }
    // Cut short, the answer stays within the buffer whatever it is.
    Query(s, {0x51, 0, 0, 0, 0, 0, 0, 0, 0, 0}, shortLength, &reply);
    Query(s, {0x43, 0, 0, 0, 0, 0, 0, 0, 0, 0}, shortLength, &reply);
    Query(s, {0x52, 1, 0, 0, 0, 1, 0, 0, 0, 0}, shortLength, &reply);

    if (!Query(s, {0x51, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 2048, &reply).Good()) return;
    Require(reply.size() >= 34 && Be16(&reply[0]) + 2 >= 34);
    const uint32_t sessions = uint32_t(reply[9]) << 8 | reply[4];
    const uint32_t firstTrack = reply[3];
    const uint32_t lastTrack = uint32_t(reply[11]) << 8 | reply[6];
    const uint32_t firstInLast = uint32_t(reply[10]) << 8 | reply[5];
    Require(sessions >= 1 && firstTrack >= 1 && firstTrack <= firstInLast && firstInLast <= lastTrack);

    int64_t previousEnd = INT64_MIN;
    uint32_t previousSession = 0;
    for (uint32_t track = firstTrack; track <= std::min<uint32_t>(lastTrack, firstTrack + 120); ++track) {
        std::vector<uint8_t> cdb = {0x52, 1, 0, 0, 0, 0, 0, 0, 0, 0};
        PutBe32(&cdb[2], track);
        if (!Query(s, cdb, 2048, &reply).Good()) continue;
        Require(reply.size() >= 28 && Be16(&reply[0]) + 2 >= 28);
        const uint32_t number = reply.size() > 32 ? uint32_t(reply[32]) << 8 | reply[2] : reply[2];
        const uint32_t session = reply.size() > 33 ? uint32_t(reply[33]) << 8 | reply[3] : reply[3];
        Require(number == track);
        Require(session >= 1 && session <= sessions && session >= previousSession);
        const int64_t start = static_cast<int32_t>(Be32(&reply[8]));
        const int64_t blocks = Be32(&reply[24]);
        Require(start >= previousEnd);  // tracks follow one another and never overlap
        previousEnd = start + blocks;
        previousSession = session;
    }

    if (Query(s, {0x43, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 2048, &reply).Good()) {
        Require(reply.size() >= 4);
        const uint32_t tocLength = Be16(&reply[0]) + 2;
        Require((tocLength - 4) % 8 == 0 && reply.size() == std::min<size_t>(tocLength, 2048));
        Require(reply[2] <= reply[3]);  // first and last track
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::string> models = DriveModelNames();
    static const std::vector<std::string> media = MediumNames();
    FuzzedDataProvider in(data, size);
    VirtualRecorder recorder(*DriveModelByName(models[in.ConsumeIntegralInRange<size_t>(0, models.size() - 1)]),
                             *MediumByName(media[in.ConsumeIntegralInRange<size_t>(0, media.size() - 1)]));
    recorder.SetKeepWrittenData(false);
    Session s{recorder};
    const uint16_t shortLength = in.ConsumeIntegralInRange<uint16_t>(0, 40);
    for (int n = 0; n < 200 && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange<int>(0, 63)) {
        case 0: recorder.InsertMedium(*MediumByName(media[in.ConsumeIntegralInRange<size_t>(0, media.size() - 1)])); break;
        case 1: recorder.EjectMedium(); break;
        default: FuzzedCommand(s, in); break;
        }
    }
    CheckDisc(s, shortLength);
    return 0;
}
