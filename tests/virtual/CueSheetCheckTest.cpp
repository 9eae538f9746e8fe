#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "burnlib/virtual/RawWriteCheck.h"

using burnlib::CueLayout;
using burnlib::ParseCueSheet;
using burnlib::RawVerdict;

namespace {

using Entry = std::array<uint8_t, 8>;
using Sheet = std::vector<Entry>;

constexpr int32_t kLastLeadOut80Min = 359849;  // 79:59:74

// One Mode 1 track of 300000 blocks: lead-out at 66:42:00, MSF binary.
const Sheet kExample = {
    {0x41, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00},
    {0x41, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00},
    {0x41, 0x01, 0x01, 0x10, 0x00, 0x00, 0x02, 0x00},
    {0x41, 0xAA, 0x01, 0x14, 0x00, 0x42, 0x2A, 0x00},
};

RawVerdict Parse(const Sheet& sheet, CueLayout* out, int32_t lastLeadOut = kLastLeadOut80Min) {
    return ParseCueSheet(sheet.empty() ? nullptr : sheet[0].data(), sheet.size() * 8, lastLeadOut, out);
}

Sheet With(std::function<void(Sheet&)> change) {
    Sheet sheet = kExample;
    change(sheet);
    return sheet;
}

void ExpectRefused(const Sheet& sheet, const std::string& reason, uint8_t asc = 0x26) {
    CueLayout layout;
    layout.leadOutStart = 12345;
    RawVerdict v = Parse(sheet, &layout);
    EXPECT_EQ(v.key, 0x05) << reason;
    EXPECT_EQ(v.asc, asc) << v.reason;
    EXPECT_EQ(v.ascq, 0x00) << v.reason;
    EXPECT_NE(v.reason.find(reason), std::string::npos) << v.reason;
    EXPECT_EQ(layout.leadOutStart, 12345) << "the layout is left alone on a refusal";
}

}  // namespace

TEST(CueSheet, PublishedExampleGivesTheLayout) {
    CueLayout layout;
    RawVerdict v = Parse(kExample, &layout);
    ASSERT_TRUE(v.Ok()) << v.reason;
    EXPECT_EQ(layout.pregapStart, -150);
    EXPECT_EQ(layout.trackStart, 0);
    EXPECT_EQ(layout.leadOutStart, 300000);
    EXPECT_EQ(layout.control, 4);
    EXPECT_EQ(layout.dataForm, 0x10);
    EXPECT_FALSE(layout.cdTextInLeadIn);

    // The lead-out exactly at the last possible one still fits; a block later does not.
    EXPECT_TRUE(Parse(kExample, &layout, 300000).Ok());
    CueLayout untouched;
    v = Parse(kExample, &untouched, 299999);
    EXPECT_EQ(v.key, 0x05);
    EXPECT_EQ(v.asc, 0x21);
    EXPECT_EQ(v.ascq, 0x00);
    EXPECT_NE(v.reason.find("entry 4: the lead-out at LBA 300000 lies beyond the disc's last possible lead-out 299999"),
              std::string::npos)
        << v.reason;
    EXPECT_EQ(untouched.leadOutStart, 0);
}

TEST(CueSheet, VariantsADriveTakes) {
    CueLayout layout;
    // Copy permitted on every entry, CD-TEXT packs in the lead-in, the copy generation flag.
    Sheet sheet = With([](Sheet& s) {
        for (Entry& e : s) e[0] = 0x61;
        s[0][3] = 0x54;
        s[2][4] = 0x80;
    });
    ASSERT_TRUE(Parse(sheet, &layout).Ok());
    EXPECT_EQ(layout.control, 6);
    EXPECT_TRUE(layout.cdTextInLeadIn);

    // A catalogue number first, an ISRC before the track, a second index, a 3-second pregap and
    // the shortest track (4 s).
    sheet = {
        {0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37},
        {0x42, 0x38, 0x39, 0x30, 0x31, 0x32, 0x33, 0x00},
        {0x41, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00},
        {0x43, 0x01, 0x55, 0x53, 0x41, 0x42, 0x43, 0x00},
        {0x43, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
        {0x41, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00},
        {0x41, 0x01, 0x01, 0x10, 0x00, 0x00, 0x03, 0x00},
        {0x41, 0x01, 0x02, 0x10, 0x00, 0x00, 0x05, 0x00},
        {0x41, 0xAA, 0x01, 0x14, 0x00, 0x00, 0x07, 0x00},
    };
    RawVerdict v = Parse(sheet, &layout);
    ASSERT_TRUE(v.Ok()) << v.reason;
    EXPECT_EQ(layout.trackStart, 75);
    EXPECT_EQ(layout.leadOutStart, 375);
    EXPECT_FALSE(layout.cdTextInLeadIn);
}

TEST(CueSheet, LengthAndOrder) {
    ExpectRefused({}, "cue sheet of 0 bytes", 0x1A);
    CueLayout layout;
    RawVerdict v = ParseCueSheet(kExample[0].data(), 31, kLastLeadOut80Min, &layout);
    EXPECT_EQ(v.asc, 0x1A);
    EXPECT_NE(v.reason.find("31 bytes is not a whole number of 8-byte entries"), std::string::npos) << v.reason;

    ExpectRefused({kExample[0], kExample[1], kExample[2]}, "entry 3: the sheet ends without the lead-out");
    ExpectRefused({kExample[0], kExample[2], kExample[3]}, "entry 2: track 01 index 00 must follow the lead-in");
    ExpectRefused({kExample[1], kExample[2], kExample[3]}, "entry 1: the sheet must begin with the lead-in");
    ExpectRefused({kExample[0], kExample[1], kExample[3]}, "entry 3: track 01 index 01 must follow its pregap");
    ExpectRefused(With([](Sheet& s) { s.push_back(s[3]); }), "entry 5: follows the lead-out");
    auto beforeLeadOut = [](Entry e) { return With([e](Sheet& s) { s.insert(s.begin() + 3, e); }); };
    ExpectRefused(beforeLeadOut({0x41, 0x01, 0x02, 0x10, 0x00, 0x00, 0x01, 0x00}), "entry 4: address goes back");
    ExpectRefused(beforeLeadOut({0x41, 0x02, 0x01, 0x10, 0x00, 0x10, 0x00, 0x00}), "entry 4: one data track only");
    // Index 03 without 02.
    ExpectRefused(beforeLeadOut({0x41, 0x01, 0x03, 0x10, 0x00, 0x10, 0x00, 0x00}), "entry 4: one data track only");
    ExpectRefused(With([](Sheet& s) { s.insert(s.begin(), Entry{0x42, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37}); }),
                  "entry 1: a catalogue number takes two entries");
    ExpectRefused(With([](Sheet& s) {
                      s.insert(s.begin() + 3, Entry{0x43, 0x01, 0x55, 0x53, 0x41, 0x42, 0x43, 0x00});
                      s.insert(s.begin() + 3, Entry{0x43, 0x01, 0x55, 0x53, 0x41, 0x42, 0x43, 0x00});
                  }),
                  "entry 4: an ISRC takes two entries of track 01 right before it");
}

TEST(CueSheet, FieldsOfTheEntries) {
    // Times are binary: the BCD form of 66:42:00 is no time at all.
    ExpectRefused(With([](Sheet& s) { s[3][5] = 0x66; s[3][6] = 0x42; }),
                  "entry 4: address is not an MSF of the program area");
    ExpectRefused(With([](Sheet& s) { s[3][5] = 90; s[3][6] = 0; }),
                  "entry 4: address is not an MSF of the program area");
    ExpectRefused(With([](Sheet& s) { s[2][7] = 75; }), "entry 3: address is not an MSF of the program area");

    ExpectRefused(With([](Sheet& s) { for (Entry& e : s) e[0] = 0x01; }),
                  "entry 1: CTL 00 is not a two-channel data track without pre-emphasis");
    ExpectRefused(With([](Sheet& s) { for (Entry& e : s) e[0] = 0x51; }), "entry 1: CTL 50 is not a two-channel");
    ExpectRefused(With([](Sheet& s) { for (Entry& e : s) e[0] = 0xC1; }), "entry 1: CTL C0 is not a two-channel");
    ExpectRefused(With([](Sheet& s) { s[2][0] = 0x61; }), "entry 3: CTL 60 differs from the lead-in's 40");
    ExpectRefused(With([](Sheet& s) { s[3][0] = 0x01; }), "entry 4: CTL 00 differs from the lead-in's 40");
    ExpectRefused(With([](Sheet& s) { s[1][0] = 0x45; }), "entry 2: ADR 5");
    ExpectRefused(With([](Sheet& s) { s[2][4] = 0x01; }), "entry 3: SCMS 01 is neither 00 nor 80");

    ExpectRefused(With([](Sheet& s) { s[0][3] = 0x01; }), "entry 1: lead-in data form 01, expected 14");
    ExpectRefused(With([](Sheet& s) { s[1][3] = 0x14; }), "entry 2: pregap data form 14, expected 10");
    for (uint8_t form : {0x00, 0x11, 0x20, 0x30, 0x50})
        ExpectRefused(With([form](Sheet& s) { s[2][3] = form; }), "entry 3: track data form");
    ExpectRefused(With([](Sheet& s) { s[3][3] = 0x10; }), "entry 4: lead-out data form 10, expected 14");
    ExpectRefused(With([](Sheet& s) { s[3][2] = 0x00; }), "entry 4: lead-out index 00, expected 01");

    ExpectRefused(With([](Sheet& s) { s[1][7] = 1; }),
                  "entry 2: track 01 index 00 must follow the lead-in at 00:00:00");
    ExpectRefused(With([](Sheet& s) { s[0][7] = 1; }), "entry 1: the sheet must begin with the lead-in at 00:00:00");
    ExpectRefused(With([](Sheet& s) { s[2][6] = 1; s[2][7] = 74; }), "entry 3: track 01 starts before 00:02:00");
    // 4 s at least: the lead-out at 00:05:74 leaves 299 blocks.
    ExpectRefused(With([](Sheet& s) { s[3][5] = 0; s[3][6] = 5; s[3][7] = 74; }),
                  "entry 4: track 01 has 299 blocks, at least 300 (4 s) needed");
    CueLayout layout;
    EXPECT_TRUE(Parse(With([](Sheet& s) { s[3][5] = 0; s[3][6] = 6; s[3][7] = 0; }), &layout).Ok());
    EXPECT_EQ(layout.leadOutStart, 300);
}
