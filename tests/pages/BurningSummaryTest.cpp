// The summary page in the real wizard: the eight lines, each ended by CR LF, built afresh on
// every visit.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/pages/PageWizard.h"

namespace {
size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}
}  // namespace

TEST(SummaryPage, EveryChoiceOnceInItsOrderAfterTwoVisits) {
    PageWizard sheet(kSummaryPage);
    DEVICE_RECORD& device = sheet.m_selectedDevice;
    std::strcpy(device.m_vendor, "V");
    std::strcpy(device.m_product, "P");
    std::strcpy(device.m_revision, "R");
    std::strcpy(device.m_mediaName, "CD-R");
    device.m_writeSpeeds = {{8448, "48.0x"}};
    sheet.m_transport = 1;
    std::strcpy(sheet.m_imagePath, "C:\\images\\disc.iso");
    sheet.m_speedText = "48.0x (8448 KB/sec)";
    sheet.m_sendOpc = true;
    sheet.m_burningMode = 3;
    sheet.m_testMode = false;
    const std::string expected =
        "Drive: P V (R)\r\n"
        "Transport: SPTI\r\n"
        "Disc Type: CD-R\r\n"
        "Selected image file name: C:\\images\\disc.iso\r\n"
        "Burning Speed: 48.0x (8448 KB/sec)\r\n"
        "Send OPC: Yes\r\n"
        "Burning Mode: Disc-At-Once raw PW\r\n"
        "Test Write: No\r\n";
    std::string first, second;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
        first = driver.ControlText(IDC_SUMMARY_TEXT);
        // Back and Next again: the options page stores the same speed and OPC choice.
        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kOptionsPage));
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
        second = driver.ControlText(IDC_SUMMARY_TEXT);
    });
    EXPECT_EQ(first, expected);
    EXPECT_EQ(second, expected);
    EXPECT_EQ(Count(second, "Drive: "), 1u);
}

TEST(SummaryPage, NoMethodLeavesTheNameEmpty) {
    PageWizard sheet(kSummaryPage);
    sheet.m_transport = 0;
    sheet.m_burningMode = -1;
    sheet.m_sendOpc = false;
    sheet.m_testMode = true;
    std::string text;
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kSummaryPage));
        text = driver.ControlText(IDC_SUMMARY_TEXT);
    });
    EXPECT_EQ(Count(text, "\r\n"), 8u);
    EXPECT_NE(text.find("\r\nTransport: ASPI\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nSend OPC: No\r\nBurning Mode: \r\nTest Write: Yes\r\n"),
              std::string::npos)
        << text;
}
