#include "tests/rawdecoder/RawDecoder.h"

#include "tests/rawdecoder/Text.h"

namespace rawdecoder {

using detail::Hex;

namespace {

constexpr int32_t kPregapStart = -150;

std::string PointName(uint8_t point) {
    return point >= kPointFirstTrack ? Hex(point) : Hex(static_cast<uint8_t>((point / 10) << 4 | (point % 10)));
}

std::string TnoName(uint8_t tno) {
    return tno == kLeadOutTno ? "AA" : Hex(static_cast<uint8_t>((tno / 10) << 4 | (tno % 10)));
}

Check Expect(const char* what, const Msf& got, const Msf& want) {
    if (got == want) return Check::Pass();
    return Check::Fail(std::string(what) + " is " + ToString(got) + ", expected " + ToString(want));
}

Check ExpectTnoIndex(const QFrame& q, uint8_t tno, uint8_t index) {
    if (q.tno != tno) return Check::Fail("Q TNO is " + TnoName(q.tno) + ", expected " + TnoName(tno));
    if (q.indexOrPoint != index)
        return Check::Fail("Q INDEX is " + TnoName(q.indexOrPoint) + ", expected " + TnoName(index));
    return Check::Pass();
}

Check ExpectZeroUser(const Sector& sector, const char* region) {
    auto user = sector.User();
    for (size_t i = 0; i < user.size(); ++i)
        if (user[i] != 0)
            return Check::Fail(std::string("user data of a ") + region + " block is not zero (byte " +
                               std::to_string(i) + ")");
    return Check::Pass();
}

}  // namespace

RawWriteChecker::RawWriteChecker(int32_t first, size_t blockSize, RawWriteOptions options, UserDataSink sink)
    : m_first(first), m_blockSize(blockSize), m_options(options), m_sink(std::move(sink)), m_lba(first) {}

Check RawWriteChecker::Fail(const std::string& why) {
    m_failure = Check::Fail("LBA " + std::to_string(m_lba) + ": " + why);
    return m_failure;
}

Check RawWriteChecker::Feed(std::span<const uint8_t> raw) {
    if (!m_failure) return m_failure;
    Check c = FeedChecked(raw);
    if (!c) return Fail(c.reason);
    ++m_lba;
    return c;
}

Check RawWriteChecker::FeedChecked(std::span<const uint8_t> raw) {
    if (m_blockSize != kPqBlockSize && m_blockSize != kPwBlockSize)
        return Check::Fail("block size " + std::to_string(m_blockSize) + " is not a raw block with sub-channel");
    if (raw.size() != m_blockSize)
        return Check::Fail("block of " + std::to_string(raw.size()) + " bytes, expected " +
                           std::to_string(m_blockSize));
    if (m_lba == m_first && m_first >= kPregapStart)
        return Check::Fail("the write starts after the lead-in");
    if (Check c = DecodeBlock(raw, &m_block); !c) return c;

    const QFrame& q = m_block.q;
    if (!m_haveFirstQ) {
        m_haveFirstQ = true;
        m_control = q.control;
        m_crcInverted = q.crcInverted;
        if ((m_control & 0x4) == 0 || (m_control & 0x8) != 0)
            return Check::Fail("Q control " + std::to_string(q.control) + " is not a two-channel data track");
    }
    if (q.control != m_control)
        return Check::Fail("Q control " + std::to_string(q.control) + " differs from the first block's " +
                           std::to_string(m_control));
    if (q.crcInverted != m_crcInverted) return Check::Fail("Q CRC inversion differs from the first block's");

    if (m_lba < kPregapStart) return CheckLeadIn(m_block);
    if (m_lba == kPregapStart) {
        const std::pair<bool, const char*> items[] = {
            {m_seenPoint01, "01"}, {m_seenA0, "A0"}, {m_seenA1, "A1"}, {m_seenA2, "A2"}};
        for (const auto& [seen, name] : items)
            if (!seen) return Check::Fail(std::string("the lead-in never carried TOC item ") + name);
    }
    if (m_lba < 0) return CheckPregap(m_block);
    if (m_lba < m_leadOutStart) return CheckTrack(m_block);
    return CheckLeadOut(m_block);
}

// Sources differ on whether the lead-in counts the absolute time of its address (97:26:65...)
// or from 00:00:00 at its first block; either is taken, then kept to the end of the lead-in.
Check RawWriteChecker::CheckRunningTime(const Msf& got, int* convention, const char* what) {
    const Msf choices[2] = {MsfOfLba(m_lba), MsfOfFrames(m_lba - m_first)};
    if (*convention < 0) {
        for (int i = 0; i < 2; ++i)
            if (got == choices[i]) *convention = i;
        if (*convention < 0)
            return Check::Fail(std::string(what) + " is " + ToString(got) + ", expected " + ToString(choices[0]) +
                               " or " + ToString(choices[1]));
        return Check::Pass();
    }
    return Expect(what, got, choices[*convention]);
}

Check RawWriteChecker::CheckLeadIn(const Block& b) {
    const QFrame& q = b.q;
    if (q.tno != 0) return Check::Fail("Q TNO is " + TnoName(q.tno) + " in the lead-in, expected 00");
    if (Check c = CheckRunningTime(b.sector.header, &m_headerConvention, "header address"); !c) return c;
    if (Check c = CheckRunningTime(q.relative, &m_runningConvention, "Q running time"); !c) return c;
    if (q.p) return Check::Fail("P flag set in the lead-in");
    if (Check c = ExpectZeroUser(b.sector, "lead-in"); !c) return c;

    const uint8_t point = q.indexOrPoint;
    const std::string item = "TOC item " + PointName(point);
    switch (point) {
    case 1:
        if (Check c = Expect((item + " start").c_str(), q.absolute, Msf{0, 2, 0}); !c) return c;
        m_seenPoint01 = true;
        break;
    case kPointFirstTrack:
    case kPointLastTrack:
        if (Check c = Expect((item + " PMIN/PSEC/PFRAME").c_str(), q.absolute, Msf{1, 0, 0}); !c) return c;
        (point == kPointFirstTrack ? m_seenA0 : m_seenA1) = true;
        break;
    case kPointLeadOut: {
        int32_t start = q.absolute.Frames() - 150;
        if (start <= 0) return Check::Fail(item + " puts the lead-out at " + ToString(q.absolute) + ", before any data");
        if (m_seenA2 && start != m_leadOutStart)
            return Check::Fail(item + " lead-out " + ToString(q.absolute) + " differs from the earlier " +
                               ToString(MsfOfLba(m_leadOutStart)));
        m_leadOutStart = start;
        m_seenA2 = true;
        break;
    }
    default:
        return Check::Fail("lead-in carries POINT " + PointName(point) + ", not a TOC item of one data track");
    }

    // Each TOC item stands in three consecutive blocks; only the lead-in's last run may be cut short.
    if (m_lba > m_first && point == m_lastPoint) {
        if (++m_pointRun > 3) return Check::Fail(item + " repeated more than 3 times in a row");
    } else {
        if (m_lba > m_first && m_pointRun != 3)
            return Check::Fail("TOC item " + PointName(m_lastPoint) + " given " + std::to_string(m_pointRun) +
                               " times in a row, expected 3");
        m_lastPoint = point;
        m_pointRun = 1;
    }
    return Check::Pass();
}

// The pregap's relative time counts down to the track; sources differ on whether it reaches
// 00:00:00 at its last block or at the track's first, so either is taken, then kept.
Check RawWriteChecker::CheckPregap(const Block& b) {
    const QFrame& q = b.q;
    if (Check c = ExpectTnoIndex(q, 1, 0); !c) return c;
    if (Check c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Check c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    const Msf choices[2] = {MsfOfFrames(-m_lba), MsfOfFrames(-m_lba - 1)};
    if (m_pregapConvention < 0) {
        for (int i = 0; i < 2; ++i)
            if (q.relative == choices[i]) m_pregapConvention = i;
        if (m_pregapConvention < 0)
            return Check::Fail("Q relative time is " + ToString(q.relative) + ", expected " + ToString(choices[0]) +
                               " or " + ToString(choices[1]));
    } else if (Check c = Expect("Q relative time", q.relative, choices[m_pregapConvention]); !c) {
        return c;
    }
    if (!q.p) return Check::Fail("P flag clear in the pregap");
    return ExpectZeroUser(b.sector, "pregap");
}

Check RawWriteChecker::CheckTrack(const Block& b) {
    const QFrame& q = b.q;
    if (Check c = ExpectTnoIndex(q, 1, 1); !c)
        return Check::Fail(c.reason + " (TOC item A2 puts the lead-out at LBA " + std::to_string(m_leadOutStart) + ")");
    if (Check c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Check c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    if (Check c = Expect("Q relative time", q.relative, MsfOfFrames(m_lba)); !c) return c;
    // Some writers raise P in the last two seconds before the lead-out.
    if (q.p && m_lba < m_leadOutStart - 150) return Check::Fail("P flag set inside the track");
    if (m_sink) m_sink(m_lba, b.sector.User());
    return Check::Pass();
}

Check RawWriteChecker::CheckLeadOut(const Block& b) {
    const QFrame& q = b.q;
    if (Check c = ExpectTnoIndex(q, kLeadOutTno, 1); !c)
        return Check::Fail(c.reason + " (TOC item A2 puts the lead-out here)");
    if (Check c = Expect("header address", b.sector.header, MsfOfLba(m_lba)); !c) return c;
    if (Check c = Expect("Q absolute time", q.absolute, MsfOfLba(m_lba)); !c) return c;
    if (Check c = Expect("Q relative time", q.relative, MsfOfFrames(m_lba - m_leadOutStart)); !c) return c;
    return ExpectZeroUser(b.sector, "lead-out");
}

Check RawWriteChecker::Finish() {
    if (!m_failure) return m_failure;
    if (m_lba <= 0 || m_leadOutStart < 0 || m_lba <= m_leadOutStart)
        return Fail("the write ends before the lead-out");
    uint32_t leadOut = static_cast<uint32_t>(m_lba - m_leadOutStart);
    if (leadOut < m_options.minLeadOutBlocks)
        return Fail("the lead-out has " + std::to_string(leadOut) + " blocks, at least " +
                    std::to_string(m_options.minLeadOutBlocks) + " expected");
    return Check::Pass();
}

}  // namespace rawdecoder
