// The mode page in the real wizard: which methods a drive and its disc are offered, what Next
// stores, and the test-mode box across Back and Next (with its effect on the options page).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/pages/PageWizard.h"

using Items = std::vector<std::string>;

namespace {
void SetMethods(DEVICE_RECORD& device, bool rawPW, bool pq, bool sao, bool tao) {
    device.m_daoRawPW = rawPW;
    device.m_daoPQ = pq;
    device.m_sao = sao;
    device.m_tao = tao;
}
}  // namespace

TEST(ModePage, DvdIsOfferedTrackAtOnceOnlyWhateverTheDriveReports) {
    PageWizard sheet(kModePage);
    SetMethods(sheet.m_selectedDevice, true, true, true, true);
    sheet.m_selectedDevice.m_discType = 8;
    sheet.m_selectedDevice.m_isDvdMedia = true;
    sheet.m_burningMode = 3;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        EXPECT_EQ(driver.ComboItems(IDC_MODE_COMBO), Items{"Track-At-Once"});
        EXPECT_EQ(driver.ComboSelection(IDC_MODE_COMBO), 0);
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
    });
    EXPECT_EQ(sheet.m_burningMode, 0);
}

TEST(ModePage, CdMethodsInOrderOfPreferenceAndTheChosenOneStored) {
    PageWizard sheet(kModePage);
    SetMethods(sheet.m_selectedDevice, true, true, false, true);
    sheet.m_burningMode = 3;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        EXPECT_EQ(driver.ComboItems(IDC_MODE_COMBO),
                  (Items{"Disc-At-Once raw P-W", "Disc-At-Once PQ", "Track-At-Once"}));
        EXPECT_EQ(driver.ComboSelection(IDC_MODE_COMBO), 0);
        driver.SelectComboItem(IDC_MODE_COMBO, 2);
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
    });
    EXPECT_EQ(sheet.m_burningMode, 0);
}

TEST(ModePage, NoMethodForTheDiscStoresNone) {
    PageWizard sheet(kModePage);
    SetMethods(sheet.m_selectedDevice, false, false, false, false);
    sheet.m_burningMode = 0;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kModePage));
        EXPECT_TRUE(driver.ComboItems(IDC_MODE_COMBO).empty());
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
    });
    EXPECT_EQ(sheet.m_burningMode, -1);
}

// Test mode writes nothing, so OPC is forced off for it, and it stays off once test mode is left:
// the user has to ask for it again.
TEST(ModePage, TestModeKeptAcrossBackAndOpcStaysOffAfterLeavingIt) {
    PageWizard sheet(kModePage);
    SetMethods(sheet.m_selectedDevice, false, false, false, true);
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
