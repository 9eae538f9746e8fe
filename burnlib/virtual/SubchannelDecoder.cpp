#include "burnlib/virtual/RawDecoder.h"

#include "burnlib/virtual/RawDecoderText.h"

namespace burnlib::rawdecoder {

using detail::Bcd;
using detail::Hex;

namespace {

Check ReadPw96(std::span<const uint8_t> sub, QFrame* out) {
    int pBits = 0;
    for (size_t i = 0; i < kPwSize; ++i) {
        if (sub[i] & 0x3F) return Check::Fail("R-W sub-channel bits set in byte " + std::to_string(i));
        if (sub[i] & 0x80) ++pBits;
    }
    if (pBits != 0 && pBits != static_cast<int>(kPwSize))
        return Check::Fail("P channel is neither all set nor all clear (" + std::to_string(pBits) + " of 96)");
    out->p = pBits != 0;
    for (size_t k = 0; k < 12; ++k) {
        uint8_t q = 0;
        for (size_t j = 0; j < 8; ++j) q = static_cast<uint8_t>((q << 1) | ((sub[8 * k + j] >> 6) & 1));
        out->bytes[k] = q;
    }
    uint16_t crc = QCrc(std::span<const uint8_t>(out->bytes).first(10));
    uint16_t stored = static_cast<uint16_t>((out->bytes[10] << 8) | out->bytes[11]);
    if (crc != stored)
        return Check::Fail("Q CRC mismatch (stored " + Hex(out->bytes[10]) + Hex(out->bytes[11]) + ", computed " +
                           Hex(static_cast<uint8_t>(crc >> 8)) + Hex(static_cast<uint8_t>(crc)) + ")");
    out->crcInverted = true;
    return Check::Pass();
}

// Sources disagree whether this form carries the CRC inverted, so either is taken.
Check ReadPq16(std::span<const uint8_t> sub, QFrame* out) {
    for (size_t i = 12; i < 15; ++i)
        if (sub[i] != 0) return Check::Fail("PQ byte " + std::to_string(i) + " is not zero");
    if (sub[15] & 0x7F) return Check::Fail("PQ byte 15 has bits other than the P flag");
    out->p = (sub[15] & 0x80) != 0;
    for (size_t k = 0; k < 12; ++k) out->bytes[k] = sub[k];
    uint16_t crc = QCrc(sub.first(10));
    uint16_t stored = static_cast<uint16_t>((sub[10] << 8) | sub[11]);
    if (stored == crc) {
        out->crcInverted = true;
    } else if (stored == static_cast<uint16_t>(~crc)) {
        out->crcInverted = false;
    } else {
        return Check::Fail("Q CRC mismatch (stored " + Hex(sub[10]) + Hex(sub[11]) + ", computed " +
                           Hex(static_cast<uint8_t>(crc >> 8)) + Hex(static_cast<uint8_t>(crc)) + " inverted)");
    }
    return Check::Pass();
}

Check ReadMsf(const std::array<uint8_t, 12>& q, size_t at, const char* what, Msf* msf) {
    if (!Bcd(q[at], &msf->m) || !Bcd(q[at + 1], &msf->s) || !Bcd(q[at + 2], &msf->f) || msf->s > 59 || msf->f > 74)
        return Check::Fail(std::string("Q ") + what + " " + Hex(q[at]) + " " + Hex(q[at + 1]) + " " + Hex(q[at + 2]) +
                           " is not BCD MSF");
    return Check::Pass();
}

}  // namespace

Check DecodeSubchannel(std::span<const uint8_t> sub, QFrame* out) {
    Check read = sub.size() == kPwSize   ? ReadPw96(sub, out)
                 : sub.size() == kPqSize ? ReadPq16(sub, out)
                                         : Check::Fail("sub-channel block of " + std::to_string(sub.size()) +
                                                       " bytes, expected 16 or 96");
    if (!read) return read;

    const auto& q = out->bytes;
    out->control = q[0] >> 4;
    out->adr = q[0] & 0x0F;
    if (out->adr != 1) return Check::Fail("Q ADR is " + std::to_string(out->adr) + ", expected 1");
    int value = 0;
    if (q[1] == kLeadOutTno) {
        out->tno = kLeadOutTno;
    } else if (Bcd(q[1], &value)) {
        out->tno = static_cast<uint8_t>(value);
    } else {
        return Check::Fail("Q TNO " + Hex(q[1]) + " is not BCD");
    }
    if (out->tno == 0 && q[2] >= kPointFirstTrack && q[2] <= kPointLeadOut) {
        out->indexOrPoint = q[2];
    } else if (Bcd(q[2], &value)) {
        out->indexOrPoint = static_cast<uint8_t>(value);
    } else {
        return Check::Fail(std::string("Q ") + (out->tno == 0 ? "POINT " : "INDEX ") + Hex(q[2]) + " is not BCD");
    }
    if (Check c = ReadMsf(q, 3, out->tno == 0 ? "running time" : "relative time", &out->relative); !c) return c;
    if (q[6] != 0) return Check::Fail("Q byte 6 is " + Hex(q[6]) + ", expected 00");
    return ReadMsf(q, 7, out->tno == 0 ? "PMIN/PSEC/PFRAME" : "absolute time", &out->absolute);
}

Check DecodeBlock(std::span<const uint8_t> raw, Block* out) {
    if (raw.size() != kPqBlockSize && raw.size() != kPwBlockSize)
        return Check::Fail("block of " + std::to_string(raw.size()) + " bytes, expected 2368 or 2448");
    if (Check c = DecodeSector(raw.first(kSectorSize), &out->sector); !c) return c;
    return DecodeSubchannel(raw.subspan(kSectorSize), &out->q);
}

}  // namespace burnlib::rawdecoder
