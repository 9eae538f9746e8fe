// A small SHA-1 for comparing whole sectors with published digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cdtest {

std::string Sha1Hex(const uint8_t* data, size_t size);

}  // namespace cdtest
