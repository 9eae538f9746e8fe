// The RSPC syndromes of a descrambled sector. Every raw block a recorder takes passes through
// here, so a sound sector is confirmed with all vectors of a kind summed side by side; a vector
// found unsound is then named by the plain per-vector formulas, which give the text a test reads.
#include <cstring>

#include "burnlib/virtual/RawDecoder.h"
#include "burnlib/virtual/RawDecoderText.h"

namespace burnlib::rawdecoder {

using detail::Hex;

namespace {

// P vector (plane, column c) is word c + 43m, m = 0..25: row m of 43 words from byte 12 + 86m.
constexpr int kPColumns = 43;
constexpr int kPLength = 26;
constexpr size_t kRowBytes = 2 * kPColumns;  // 86
// Q vector (plane, diagonal d): words (44m + 43d) mod 1118 for m = 0..42, then its two parity
// words 1118 + 26k + d.
constexpr int kQDiagonals = 26;
constexpr int kQLength = 45;
constexpr int kQDataLength = 43;
constexpr int kVectorWords = kPColumns * kPLength;  // 1118

int PWord(int column, int m) { return column + kPColumns * m; }

int QWord(int diagonal, int m) {
    return m < kQDataLength ? (44 * m + kPColumns * diagonal) % kVectorWords
                            : kVectorWords + (m - kQDataLength) * kQDiagonals + diagonal;
}

uint8_t MulAlpha(uint8_t a) {
    return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0x00));
}

// A vector is sound when the XOR of its symbols (row of ones) and its Horner sum with alpha
// (row alpha^(n-1-m)) are both zero.
template <typename WordOf>
bool Syndromes(std::span<const uint8_t, kSectorSize> s, int plane, int length, WordOf wordOf, uint8_t* s0,
               uint8_t* s1) {
    uint8_t x = 0, h = 0;
    for (int m = 0; m < length; ++m) {
        uint8_t v = s[12 + 2 * wordOf(m) + plane];
        x ^= v;
        h = static_cast<uint8_t>(MulAlpha(h) ^ v);
    }
    *s0 = x;
    *s1 = h;
    return x == 0 && h == 0;
}

std::string DescribeFirstNonZero(std::span<const uint8_t, kSectorSize> s) {
    uint8_t s0 = 0, s1 = 0;
    for (int plane = 0; plane < 2; ++plane) {
        for (int c = 0; c < kPColumns; ++c) {
            if (!Syndromes(s, plane, kPLength, [c](int m) { return PWord(c, m); }, &s0, &s1))
                return "ECC P check failed (plane " + std::to_string(plane) + ", column " + std::to_string(c) +
                       ", syndromes " + Hex(s0) + " " + Hex(s1) + ")";
        }
    }
    for (int plane = 0; plane < 2; ++plane) {
        for (int d = 0; d < kQDiagonals; ++d) {
            if (!Syndromes(s, plane, kQLength, [d](int m) { return QWord(d, m); }, &s0, &s1))
                return "ECC Q check failed (plane " + std::to_string(plane) + ", diagonal " + std::to_string(d) +
                       ", syndromes " + Hex(s0) + " " + Hex(s1) + ")";
        }
    }
    return {};
}

// Many vectors side by side: row m of the input holds symbol m of each, and every lane runs the
// same two sums as Syndromes. Plain byte loops of a fixed width, which compilers vectorise.
template <size_t kWidth>
class SideBySide {
public:
    void Add(const uint8_t* row) {
        for (size_t j = 0; j < kWidth; ++j) {
            m_x[j] ^= row[j];
            m_h[j] = static_cast<uint8_t>(MulAlpha(m_h[j]) ^ row[j]);
        }
    }
    bool AllZero() const {
        uint8_t any = 0;
        for (size_t j = 0; j < kWidth; ++j) any |= m_x[j] | m_h[j];
        return any == 0;
    }

private:
    uint8_t m_x[kWidth] = {};
    uint8_t m_h[kWidth] = {};
};

// Q symbols lie apart: the byte offsets of the 43 data words of each diagonal, from the formula,
// row m holding word m of every diagonal.
struct QGather {
    uint16_t at[kQDataLength * kQDiagonals];
};

const QGather& QOffsets() {
    static const QGather table = [] {
        QGather t{};
        for (int m = 0; m < kQDataLength; ++m)
            for (int d = 0; d < kQDiagonals; ++d)
                t.at[kQDiagonals * m + d] = static_cast<uint16_t>(12 + 2 * QWord(d, m));
        return t;
    }();
    return table;
}

}  // namespace

uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1) product ^= a;
        a = MulAlpha(a);
        b >>= 1;
    }
    return product;
}

// Row m of the P vectors is the 86 bytes from 12 + 86m: every (column, plane) pair of the row.
bool PVectorsSound(std::span<const uint8_t, kSectorSize> plain) {
    const uint8_t* s = plain.data();
    SideBySide<kRowBytes> p;
    for (int m = 0; m < kPLength; ++m) p.Add(s + 12 + kRowBytes * m);
    return p.AllZero();
}

// All rows are gathered before any is summed (a wide load of bytes just stored two at a time would
// wait for the stores); the two parity rows lie in order.
bool QVectorsSound(std::span<const uint8_t, kSectorSize> plain) {
    const uint8_t* s = plain.data();
    constexpr size_t kWidth = 2 * kQDiagonals;
    const uint16_t* at = QOffsets().at;
    uint8_t rows[kQDataLength][kWidth];
    uint8_t* to = rows[0];
    for (int i = 0; i < kQDataLength * kQDiagonals; ++i, to += 2) std::memcpy(to, s + at[i], 2);
    SideBySide<kWidth> q;
    for (int m = 0; m < kQDataLength; ++m) q.Add(rows[m]);
    for (int k = 0; k < kQLength - kQDataLength; ++k) q.Add(s + 12 + 2 * (kVectorWords + kQDiagonals * k));
    return q.AllZero();
}

std::string FirstNonZeroSyndrome(std::span<const uint8_t, kSectorSize> s) {
    if (PVectorsSound(s) && QVectorsSound(s)) return {};
    std::string found = DescribeFirstNonZero(s);
    return found.empty() ? "ECC check failed (the vector formulas disagree)" : found;
}

}  // namespace burnlib::rawdecoder
