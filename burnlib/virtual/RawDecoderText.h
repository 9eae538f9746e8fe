// Small helpers the decoder's files share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace burnlib::rawdecoder::detail {

inline std::string Hex(uint8_t b) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

inline bool Bcd(uint8_t b, int* value) {
    if ((b >> 4) > 9 || (b & 0x0F) > 9) return false;
    *value = (b >> 4) * 10 + (b & 0x0F);
    return true;
}

}  // namespace burnlib::rawdecoder::detail
