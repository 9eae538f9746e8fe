// The mode page in the real wizard: which methods a drive and its disc are offered, what Next
// stores, and the test-mode box across Back and Next (with its effect on the options page).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/pages/PageWizard.h"

using Items = std::vector<std::string>;

struct ModeCase {
    const char* what;
    bool rawPW, pq, sao, tao, dvd;
    Items offered;
    int choose;      // entry chosen before Next; -1 keeps the default
    int32_t stored;  // m_burningMode after Next
};

// Rebuilt from the drive's flags on showing; the entry's code, not its index, is stored.
TEST(ModePage, MethodsOfferedInOrderOfPreferenceAndTheChosenCodeStored) {
    const ModeCase cases[] = {
        {"DVD+R: Track-At-Once whatever the drive reports", true, true, true, true, true,
         {"Track-At-Once"}, -1, 0},
        {"CD-R, drive without Session-At-Once", true, true, false, true, false,
         {"Disc-At-Once raw P-W", "Disc-At-Once PQ", "Track-At-Once"}, 2, 0},
        {"CD-R, no method at all", false, false, false, false, false, {}, -1, -1},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.what);
        PageWizard sheet(kModePage);
        DEVICE_RECORD& device = sheet.m_selectedDevice;
        device.m_daoRawPW = c.rawPW;
        device.m_daoPQ = c.pq;
        device.m_sao = c.sao;
        device.m_tao = c.tao;
        device.m_isDvdMedia = c.dvd;
        sheet.m_burningMode = 3;
        RunWizard(sheet, [&](WizardDriver& driver) {
            ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
            EXPECT_EQ(driver.ComboItems(IDC_MODE_COMBO), c.offered);
            EXPECT_EQ(driver.ComboSelection(IDC_MODE_COMBO), c.offered.empty() ? -1 : 0);
            if (c.choose >= 0) driver.SelectComboItem(IDC_MODE_COMBO, c.choose);
            driver.Press(PSBTN_NEXT);
            EXPECT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        });
        EXPECT_EQ(sheet.m_burningMode, c.stored);
    }
}

// Test mode writes nothing, so OPC is forced off for it, and it stays off once test mode is left:
// the user has to ask for it again.
TEST(ModePage, TestModeKeptAcrossBackAndOpcStaysOffAfterLeavingIt) {
    PageWizard sheet(kModePage);
    sheet.m_selectedDevice.m_tao = true;
    bool testModeSeenByOptions = false;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        EXPECT_FALSE(driver.IsButtonChecked(IDC_TEST_MODE));
        driver.ClickControl(IDC_TEST_MODE);
        ASSERT_TRUE(PollUntil([&] { return driver.IsButtonChecked(IDC_TEST_MODE); }));
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        HWND opc = ::GetDlgItem(driver.ActivePage(), IDC_SEND_OPC);
        EXPECT_FALSE(driver.IsButtonChecked(IDC_SEND_OPC));
        EXPECT_FALSE(::IsWindowEnabled(opc));

        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        EXPECT_TRUE(driver.IsButtonChecked(IDC_TEST_MODE));
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        testModeSeenByOptions = !::IsWindowEnabled(opc);

        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        driver.ClickControl(IDC_TEST_MODE);
        ASSERT_TRUE(PollUntil([&] { return !driver.IsButtonChecked(IDC_TEST_MODE); }));
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        EXPECT_TRUE(::IsWindowEnabled(opc));
        EXPECT_FALSE(driver.IsButtonChecked(IDC_SEND_OPC));
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
    });
    EXPECT_TRUE(testModeSeenByOptions);
    EXPECT_FALSE(sheet.m_testMode);
    EXPECT_FALSE(sheet.m_sendOpc);
}
