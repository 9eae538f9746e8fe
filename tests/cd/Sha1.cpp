#include "Sha1.h"

#include <cstdio>
#include <vector>

namespace cdtest {
namespace {

uint32_t Rotl(uint32_t x, int n) { return x << n | x >> (32 - n); }

}  // namespace

std::string Sha1Hex(const uint8_t* data, size_t size) {
    std::vector<uint8_t> msg(data, data + size);
    msg.push_back(0x80);
    while (msg.size() % 64 != 56) msg.push_back(0);
    const uint64_t bits = uint64_t{size} * 8;
    for (int i = 7; i >= 0; --i) msg.push_back(static_cast<uint8_t>(bits >> (8 * i)));

    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    for (size_t block = 0; block < msg.size(); block += 64) {
        uint32_t w[80];
        for (int t = 0; t < 16; ++t)
            w[t] = uint32_t{msg[block + 4 * t]} << 24 | uint32_t{msg[block + 4 * t + 1]} << 16 |
                   uint32_t{msg[block + 4 * t + 2]} << 8 | msg[block + 4 * t + 3];
        for (int t = 16; t < 80; ++t) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; ++t) {
            uint32_t f, k;
            if (t < 20) { f = (b & c) | (~b & d); k = 0x5A827999; }
            else if (t < 40) { f = b ^ c ^ d; k = 0x6ED9EBA1; }
            else if (t < 60) { f = (b & c) | (b & d) | (c & d); k = 0x8F1BBCDC; }
            else { f = b ^ c ^ d; k = 0xCA62C1D6; }
            const uint32_t temp = Rotl(a, 5) + f + e + k + w[t];
            e = d; d = c; c = Rotl(b, 30); b = a; a = temp;
        }
        h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e;
    }
    std::string hex;
    char buf[9];
    for (uint32_t v : h) {
        std::snprintf(buf, sizeof buf, "%08x", v);
        hex += buf;
    }
    return hex;
}

}  // namespace cdtest
