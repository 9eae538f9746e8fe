#include "burnlib/cd/Sector.h"

#include <array>

#include "burnlib/cd/Msf.h"
#include "burnlib/cd/SectorTables.h"

namespace burnlib::cd {
namespace {

using EncodeFunction = void (*)(uint8_t*, const uint8_t*, const uint8_t*, bool);

bool ProcessorHas(Kernel kernel) {
    switch (kernel) {
    case Kernel::Scalar:
    case Kernel::Swar64:
        return true;
#if QF_CD_X86
    case Kernel::Sse2:
        return true;
    case Kernel::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
#endif
    default:
        return false;
    }
}

struct Available {
    std::array<Kernel, 4> kernels{};
    size_t count = 0;
    Available() {
        for (Kernel k : {Kernel::Scalar, Kernel::Swar64, Kernel::Sse2, Kernel::Avx2})
            if (ProcessorHas(k)) kernels[count++] = k;
    }
};

const Available& AvailableSet() {
    static const Available available;
    return available;
}

EncodeFunction FunctionOf(Kernel kernel) {
    switch (kernel) {
    case Kernel::Scalar: return detail::EncodeScalar;
    case Kernel::Swar64: return detail::EncodeSwar64;
#if QF_CD_X86
    case Kernel::Sse2: return detail::EncodeSse2;
    case Kernel::Avx2: return detail::EncodeAvx2;
#endif
    default: return nullptr;
    }
}

}  // namespace

const char* KernelName(Kernel kernel) {
    switch (kernel) {
    case Kernel::Scalar: return "scalar";
    case Kernel::Swar64: return "swar64";
    case Kernel::Sse2: return "sse2";
    case Kernel::Avx2: return "avx2+pclmul";
    }
    return "unknown";
}

bool KernelAvailable(Kernel kernel) {
    for (Kernel k : AvailableKernels())
        if (k == kernel) return true;
    return false;
}

std::span<const Kernel> AvailableKernels() {
    const Available& available = AvailableSet();
    return {available.kernels.data(), available.count};
}

Kernel BestKernel() {
    static const Kernel best = AvailableKernels().back();
    return best;
}

void EncodeMode1Sector(int32_t lba, const uint8_t* userData, uint8_t* sector, bool scramble, Kernel kernel) {
    const Msf msf = ToBcd(LbaToMsf(lba));
    const uint8_t header[4] = {msf.minute, msf.second, msf.frame, 0x01};
    if (!KernelAvailable(kernel)) kernel = BestKernel();
    FunctionOf(kernel)(sector, userData, header, scramble);
}

}  // namespace burnlib::cd
