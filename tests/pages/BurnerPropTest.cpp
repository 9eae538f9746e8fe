// The options page in the real wizard: the drive's write speeds, the fastest chosen on every
// visit, and what Next stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/pages/PageWizard.h"

using Items = std::vector<std::string>;

TEST(OptionsPage, FastestSpeedSelectedOnEveryVisitAndStoredWithItsText) {
    PageWizard sheet(kOptionsPage);
    sheet.m_selectedDevice.m_writeSpeeds = {
        {176, "1.0x"}, {1764, "10.0x"}, {4234, "24.0x"}, {8448, "48.0x"}};
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        EXPECT_EQ(driver.ComboItems(IDC_SPEED_COMBO),
                  (Items{"1.0x (176 KB/sec)", "10.0x (1764 KB/sec)", "24.0x (4234 KB/sec)",
                         "48.0x (8448 KB/sec)"}));
        EXPECT_EQ(driver.ComboSelection(IDC_SPEED_COMBO), 3);
        EXPECT_TRUE(driver.IsButtonChecked(IDC_SEND_OPC));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(driver.ActivePage(), IDC_SEND_OPC)));

        driver.SelectComboItem(IDC_SPEED_COMBO, 0);
        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        EXPECT_EQ(driver.ComboItems(IDC_SPEED_COMBO).size(), 4u);
        EXPECT_EQ(driver.ComboSelection(IDC_SPEED_COMBO), 3);
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
    });
    EXPECT_EQ(sheet.m_burningSpeed, 8448);
    EXPECT_EQ(sheet.m_speedText, "48.0x (8448 KB/sec)");
    EXPECT_TRUE(sheet.m_sendOpc);
}

// A drive that listed no speed is asked for its fastest (speed 0 to the library), and the user
// sees that choice instead of an empty list.
TEST(OptionsPage, NoListedSpeedStoresTheDrivesMaximum) {
    PageWizard sheet(kOptionsPage);
    sheet.m_burningSpeed = 1234;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        EXPECT_EQ(driver.ComboItems(IDC_SPEED_COMBO), Items{"Maximum"});
        EXPECT_EQ(driver.ComboSelection(IDC_SPEED_COMBO), 0);
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
    });
    EXPECT_EQ(sheet.m_burningSpeed, 0);
    EXPECT_EQ(sheet.m_speedText, "Maximum");
}
