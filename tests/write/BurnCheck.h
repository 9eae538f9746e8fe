// The byte-for-byte check of one burn: the library started on one recorder (CdRom0, letter E:)
// behind a given provider, the image written, the disc read back, the raw blocks decoded and the
// table of contents read afterwards. Reports through GoogleTest.
#pragma once

#include <functional>
#include <memory>

#include "burnlib/api/DeviceProvider.h"
#include "tests/write/BurnHarness.h"

namespace writetest {

using ProviderMaker = std::function<std::shared_ptr<burnlib::DeviceProvider>(
    std::shared_ptr<burnlib::VirtualRecorder>, char letter)>;

// The library's own virtual transport.
ProviderMaker VirtualProvider();

// sequential: a medium written track by track and closed afterwards (the others are overwritable).
void BurnAndCompare(const char* model, const char* medium, Method method, const char* imageName,
                    bool sequential, const ProviderMaker& provider = VirtualProvider());

}  // namespace writetest
