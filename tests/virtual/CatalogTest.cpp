#include <gtest/gtest.h>

#include "burnlib/virtual/Catalog.h"

using namespace burnlib;

TEST(Catalog, EveryListedNameResolvesToWhatItSays) {
    for (const std::string& name : DriveModelNames()) {
        std::optional<DriveModel> model = DriveModelByName(name);
        ASSERT_TRUE(model) << name;
        EXPECT_EQ(model->shortName, name);
        for (uint16_t p : model->writeProfiles) EXPECT_TRUE(model->CanRead(p));
        for (auto* steps : {&model->cdWriteSpeeds, &model->dvdWriteSpeeds, &model->bdWriteSpeeds})
            EXPECT_TRUE(std::is_sorted(steps->begin(), steps->end())) << name;
    }
    for (const std::string& name : MediumNames()) {
        std::optional<Medium> medium = MediumByName(name);
        ASSERT_TRUE(medium) << name;
        EXPECT_EQ(medium->shortName, name);
        for (const RecordedTrack& t : medium->tracks)
            EXPECT_LE(t.start + static_cast<int64_t>(t.length), medium->LastPossibleLeadOut()) << name;
    }
    for (const char* name : {"cdrw-writer", "dvd-dl-writer", "dvd-reader", "bd-writer"})
        EXPECT_TRUE(DriveModelByName(name)) << name;
    for (const char* name : {"none", "not-ready", "cd-r-blank", "cd-r-closed", "cd-r-appendable", "cd-rw-blank",
                             "cd-rw-used", "dvd-r-blank", "dvd-rw-sequential", "dvd-rw-restricted", "dvd+r-blank",
                             "dvd+r-dl-blank", "dvd+rw", "dvd-ram", "dvd-rom", "bd-r-blank", "bd-re",
                             "hd-dvd-r-blank", "cd-rom", "dvd-r-dl-blank"})
        EXPECT_TRUE(MediumByName(name)) << name;
    EXPECT_FALSE(DriveModelByName("CDRW-WRITER"));
    EXPECT_FALSE(MediumByName(""));
    EXPECT_EQ(MediumByName("cd-r-blank")->LastPossibleLeadOut(), 359849);
}

TEST(DriveSet, ParsesItemsLettersAndWhitespace) {
    std::vector<VirtualDriveSpec> specs;
    std::string error;
    ASSERT_TRUE(ParseDriveSet(kDefaultVirtualDrives, &specs, &error)) << error;
    ASSERT_EQ(specs.size(), 2u);
    EXPECT_EQ(specs[0].model.shortName, "dvd-dl-writer");
    EXPECT_EQ(specs[1].medium.shortName, "cd-r-blank");

    ASSERT_TRUE(ParseDriveSet("  dvd-dl-writer : cd-r-blank ,cdrw-writer:none@e , bd-writer:bd-re @ F", &specs, &error))
        << error;
    ASSERT_EQ(specs.size(), 3u);
    EXPECT_EQ(specs[0].driveLetter, 0);
    EXPECT_EQ(specs[1].driveLetter, 'E');
    EXPECT_EQ(specs[1].medium.profile, kProfileNone);
    EXPECT_EQ(specs[2].driveLetter, 'F');
    EXPECT_EQ(specs[2].medium.profile, kProfileBdRe);

    ASSERT_TRUE(ParseDriveSet("   ", &specs, &error));
    EXPECT_TRUE(specs.empty());
}

TEST(DriveSet, RefusesBadItemsNamingThemAndLeavesTheOutputAlone) {
    std::vector<VirtualDriveSpec> specs(1);
    std::string error;
    struct Case {
        const char* line;
        const char* mustMention;
    } cases[] = {
        {"dvd-dl-writer:cd-r-blank,floppy:cd-r-blank", "floppy"},
        {"dvd-dl-writer:cd-r-blank,floppy:cd-r-blank", "cdrw-writer"},  // lists the valid models
        {"cdrw-writer:cd-x", "cd-x"},
        {"cdrw-writer:cd-x", "dvd+rw"},  // lists the valid media
        {"cdrw-writer", "model:medium"},
        {"cdrw-writer:none@EF", "@"},
        {"cdrw-writer:none@1", "@"},
        {"cdrw-writer:none@E,dvd-reader:none@e", "twice"},
        {"cdrw-writer:none,,dvd-reader:none", "empty"},
        {"cdrw-writer:none,", "empty"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(ParseDriveSet(c.line, &specs, &error)) << c.line;
        EXPECT_NE(error.find(c.mustMention), std::string::npos) << c.line << " -> " << error;
        EXPECT_EQ(specs.size(), 1u);
    }
}
