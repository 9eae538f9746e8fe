// Mode 1 data sectors as written raw (2352 bytes): sync, header, user data, EDC, ECC parity and
// scrambling. Several encoders give the same bytes; the widest one the processor runs is the
// default, and the others stay callable so tests and benchmarks can compare them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace burnlib::cd {

constexpr size_t kRawSectorSize = 2352;
constexpr size_t kUserDataSize = 2048;

enum class Kernel : uint8_t {
    Scalar,  // byte at a time, straight from the formulas: the yardstick for the others
    Swar64,  // 64-bit words, any processor
    Sse2,    // x86-64 baseline
    Avx2,    // x86-64 with AVX2 and PCLMULQDQ
};

const char* KernelName(Kernel kernel);
bool KernelAvailable(Kernel kernel);
// The encoders this processor runs, narrowest first.
std::span<const Kernel> AvailableKernels();
// The fastest available encoder, chosen once.
Kernel BestKernel();

// Builds the sector of block `lba` (-45150 .. 449849; lead-in blocks negative, their headers
// carrying times from 90 minutes up) around 2048 bytes of user data
// (nullptr: zeros). With `scramble` the bytes after the sync are scrambled as recorded; without
// it the sector is left as the error-correction layer sees it. An unavailable kernel falls back
// to the best one.
void EncodeMode1Sector(int32_t lba, const uint8_t* userData, uint8_t* sector, bool scramble = true,
                       Kernel kernel = BestKernel());

}  // namespace burnlib::cd
