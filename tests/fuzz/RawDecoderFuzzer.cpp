// The plain raw-block decoder the recorder and the tests check raw writes with, on 2352-byte
// sectors and 2368/2448-byte blocks. Either the bytes come straight from the input, or a block is
// built by the engine's encoder (any address, user data, encoder and Q of a plausible disc) and
// then has a few bytes changed.
//
// What must hold: the decoder never reads outside the block; the encoder's unchanged blocks are
// taken, with their address, data and Q read back; and a block it takes is exactly the block its
// decoded fields encode to. The last holds for any bytes: a sector whose EDC and both parity codes
// check, with sync, mode and zero bytes right, is the one encoding of its header and user data,
// and a sub-channel block is taken only when no bit is set that repacking its Q would not set.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "burnlib/cd/RawDisc.h"
#include "burnlib/virtual/RawDecoder.h"

using namespace burnlib;
namespace rd = burnlib::rawdecoder;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

int32_t LbaOfHeader(const rd::Msf& h) {
    const int32_t frames = h.Frames();
    return h.m >= 90 ? frames - 450150 : frames - 150;
}

// A sector the decoder took, encoded again from what it read.
void RequireReencodes(std::span<const uint8_t> raw, const rd::Sector& sector) {
    Require(sector.mode == 1);
    std::array<uint8_t, cd::kRawSectorSize> again;
    cd::EncodeMode1Sector(LbaOfHeader(sector.header), sector.User().data(), again.data(), true, cd::Kernel::Scalar);
    Require(std::memcmp(again.data(), raw.data(), again.size()) == 0);
}

void RequireRepacks(std::span<const uint8_t> sub, const rd::QFrame& q) {
    cd::QFrame frame;
    std::memcpy(frame.data(), q.bytes.data(), frame.size());
    std::array<uint8_t, cd::kPw96Size> again{};
    if (sub.size() == cd::kPw96Size)
        cd::PackPw96(frame, q.p, again.data());
    else
        cd::PackPq16(frame, q.p, again.data());
    Require(std::memcmp(again.data(), sub.data(), sub.size()) == 0);
}

// Decodes a block of 2352, 2368 or 2448 bytes; what it takes must encode back to itself.
bool DecodeAndCheck(std::span<const uint8_t> raw, rd::Block* block) {
    if (raw.size() == rd::kSectorSize) {
        if (!rd::DecodeSector(raw, &block->sector)) return false;
        RequireReencodes(raw, block->sector);
        return true;
    }
    const rd::Check c = rd::DecodeBlock(raw, block);
    // A block whose sector passed but whose sub-channel did not still shows a sound sector.
    rd::Sector alone;
    const bool sectorOk = static_cast<bool>(rd::DecodeSector(raw.first(rd::kSectorSize), &alone));
    if (sectorOk) RequireReencodes(raw.first(rd::kSectorSize), alone);
    rd::QFrame q;
    if (rd::DecodeSubchannel(raw.subspan(rd::kSectorSize), &q)) RequireRepacks(raw.subspan(rd::kSectorSize), q);
    if (!c) return false;
    Require(sectorOk);
    RequireRepacks(raw.subspan(rd::kSectorSize), block->q);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr size_t kSizes[] = {rd::kSectorSize, rd::kPqBlockSize, rd::kPwBlockSize};
    const size_t blockSize = kSizes[in.ConsumeIntegralInRange<size_t>(0, 2)];
    // Exactly the block's size on the heap, so a read past its end is caught.
    std::vector<uint8_t> raw(blockSize);
    rd::Block block;

    if (in.ConsumeBool()) {
        const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
        for (size_t i = 0; i < raw.size() && !bytes.empty(); ++i) raw[i] = bytes[i % bytes.size()];
        DecodeAndCheck(raw, &block);
        return 0;
    }

    // A block of the engine's, from anywhere on a disc of a plausible layout.
    cd::RawDiscLayout layout;
    layout.leadInStart = in.ConsumeIntegralInRange<int32_t>(cd::kFirstLeadInLba, -cd::kPregapBlocks - 12);
    layout.trackBlocks = in.ConsumeIntegralInRange<int32_t>(cd::kMinTrackBlocks, 359849);
    layout.leadOutBlocks = in.ConsumeIntegralInRange<int32_t>(1, cd::kMaxDiscEnd - layout.trackBlocks);
    layout.copyPermitted = in.ConsumeBool();
    const int32_t lba = in.ConsumeIntegralInRange<int32_t>(layout.leadInStart, cd::DiscEnd(layout) - 1);
    const std::span<const cd::Kernel> kernels = cd::AvailableKernels();
    const cd::Kernel kernel = kernels[in.ConsumeIntegralInRange<size_t>(0, kernels.size() - 1)];
    const int changes = in.ConsumeIntegralInRange<int>(0, 4);
    std::array<std::pair<size_t, uint8_t>, 4> flips{};
    for (int i = 0; i < changes; ++i)
        flips[i] = {in.ConsumeIntegralInRange<size_t>(0, blockSize - 1), in.ConsumeIntegralInRange<uint8_t>(1, 255)};
    std::vector<uint8_t> user = in.ConsumeRemainingBytes<uint8_t>();
    user.resize(cd::kUserDataSize);
    const bool track = cd::RegionOf(layout, lba) == cd::Region::Track;

    cd::EncodeMode1Sector(lba, track ? user.data() : nullptr, raw.data(), true, kernel);
    const cd::QFrame q = cd::BlockQ(layout, lba);
    const bool p = cd::BlockP(layout, lba);
    if (blockSize == rd::kPwBlockSize) cd::PackPw96(q, p, raw.data() + rd::kSectorSize);
    if (blockSize == rd::kPqBlockSize) cd::PackPq16(q, p, raw.data() + rd::kSectorSize);

    if (changes == 0) {
        Require(DecodeAndCheck(raw, &block));
        Require(LbaOfHeader(block.sector.header) == lba);
        if (track) Require(std::memcmp(block.sector.User().data(), user.data(), cd::kUserDataSize) == 0);
        if (blockSize != rd::kSectorSize) {
            Require(std::memcmp(block.q.bytes.data(), q.data(), q.size()) == 0 && block.q.p == p);
            Require(block.q.crcInverted);
        }
        return 0;
    }
    for (int i = 0; i < changes; ++i) raw[flips[i].first] ^= flips[i].second;
    DecodeAndCheck(raw, &block);
    return 0;
}
