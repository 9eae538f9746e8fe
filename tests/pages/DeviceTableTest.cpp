// The device page in the real wizard over virtual recorders: the scan behind its wait dialog, the
// table, the choice of a row, and the checks of the disc on Next.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "burnlib/api/DeviceProvider.h"
#include "burnlib/virtual/Medium.h"
#include "pages/WInfoTable.h"
#include "res/resource.h"
#include "tests/drive/VirtualDrives.h"
#include "tests/pages/PageWizard.h"

namespace {

using namespace drivetest;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kDevicePage = 2;

// A drive that answers slowly while `slow` is set, so the scan can be watched.
class SlowTarget : public burnlib::ScsiTarget {
public:
    explicit SlowTarget(std::shared_ptr<burnlib::VirtualRecorder> recorder)
        : m_recorder(std::move(recorder)) {}
    burnlib::ScsiResult Execute(const burnlib::ScsiRequest& request) override {
        if (slow) ::Sleep(20);
        return m_recorder->Execute(request);
    }
    bool ClaimExclusive(const void* owner) override { return m_recorder->ClaimExclusive(owner); }
    void ReleaseExclusive(const void* owner) override { m_recorder->ReleaseExclusive(owner); }
    volatile bool slow = false;

private:
    std::shared_ptr<burnlib::VirtualRecorder> m_recorder;
};

burnlib::Medium BlankOf(uint16_t profile) {
    burnlib::Medium m = MediumOfProfile(profile);
    m.state = burnlib::DiscState::Blank;
    return m;
}

class DevicePage : public ::testing::Test {
protected:
    DevicePage() : m_provider(std::make_shared<TestDeviceProvider>()) {}

    // The library is started on the provider's drives by the wizard itself.
    void SetUp() override { burnlib::SetDeviceProvider(m_provider); }
    void TearDown() override { burnlib::SetDeviceProvider(nullptr); }

    // True once the scan has delivered its list: Back, Next and Refresh usable and the wizard no
    // longer under the wait dialog, for long enough that no earlier button request is pending.
    static bool WaitForScan(WizardDriver& driver) {
        int settled = 0;
        return PollUntil([&] {
            const bool ready = driver.IsButtonEnabled(kButtonNext) &&
                               driver.IsButtonEnabled(kButtonBack) &&
                               ::IsWindowEnabled(driver.Sheet()) &&
                               ::IsWindowEnabled(::GetDlgItem(driver.ActivePage(), IDC_REFRESH));
            settled = ready ? settled + 1 : 0;
            return settled >= 10;
        });
    }
    static Rows TableRows(WizardDriver& driver) { return driver.ListRows(IDC_DEVICE_LIST, 6); }
    static int SelectedRow(WizardDriver& driver) {
        return static_cast<int>(::SendMessageA(::GetDlgItem(driver.ActivePage(), IDC_DEVICE_LIST),
                                               LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    static void SelectRow(WizardDriver& driver, int row) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(::GetDlgItem(driver.ActivePage(), IDC_DEVICE_LIST), LVM_SETITEMSTATE,
                       static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    // The text of the message box that appears next, closed with OK; its icon is returned too.
    std::string TakeBox(UINT* icon = nullptr) const {
        HWND box = WaitForDialogOfThread(m_uiThread);
        if (!box) return "(no message box)";
        MessageBoxInfo info = ReadMessageBox(box);
        if (icon) {
            *icon = info.icon == ::LoadIconA(nullptr, IDI_EXCLAMATION) ? MB_ICONEXCLAMATION
                    : info.icon == ::LoadIconA(nullptr, IDI_HAND)      ? MB_ICONERROR
                                                                       : 0;
        }
        PressDialogButton(box, IDOK);
        PollUntil([&] { return !::IsWindowVisible(box); });
        return info.text;
    }

    // Presses Next and returns the message it answers with, the page staying where it is.
    std::string NextRefusal(WizardDriver& driver, PageWizard& sheet, UINT* icon = nullptr) const {
        driver.Press(PSBTN_NEXT);
        std::string text = TakeBox(icon);
        EXPECT_EQ(driver.ActivePage(), sheet.GetPage(kDevicePage)->m_hWnd);
        return text;
    }

    std::shared_ptr<TestDeviceProvider> m_provider;
    DWORD m_uiThread = ::GetCurrentThreadId();
};

}  // namespace

TEST(DeviceColumns, QuarterAndEighthsOfTheListWidthTruncated) {
    const DeviceColumnWidths w600 = DeviceColumnWidthsFor(600);
    const int expected600[6] = {150, 75, 75, 75, 75, 150};
    const DeviceColumnWidths w415 = DeviceColumnWidthsFor(415);
    const int expected415[6] = {103, 51, 51, 51, 51, 103};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w600.widths[i], expected600[i]) << i;
        EXPECT_EQ(w415.widths[i], expected415[i]) << i;
    }
}

// Every disc code the probe can report, judged by the write flag of its own kind.
TEST(DiscChecks, EachKindOfDiscByItsOwnWriteFlag) {
    struct Case {
        int32_t discType;
        unsigned flagByte;  // 0: no flag makes the disc burnable
        UINT refusalWithoutFlag;
    };
    const Case cases[] = {
        {2, 6, IDS_UNSUPPORTED_MEDIA},  {11, 6, IDS_UNSUPPORTED_MEDIA},
        {3, 8, IDS_UNSUPPORTED_MEDIA},  {12, 8, IDS_UNSUPPORTED_MEDIA},
        {5, 11, IDS_UNSUPPORTED_MEDIA}, {16, 13, IDS_UNSUPPORTED_MEDIA},
        {7, 15, IDS_UNSUPPORTED_MEDIA}, {8, 15, IDS_UNSUPPORTED_MEDIA},
        {6, 19, IDS_UNSUPPORTED_MEDIA}, {9, 21, IDS_UNSUPPORTED_MEDIA},
        {13, 25, IDS_UNSUPPORTED_MEDIA}, {15, 27, IDS_UNSUPPORTED_MEDIA},
        {14, 0, IDS_NO_MEDIA},
        {0, 0, IDS_MEDIA_NOT_WRITABLE}, {1, 0, IDS_MEDIA_NOT_WRITABLE},
        {4, 0, IDS_MEDIA_NOT_WRITABLE}, {10, 0, IDS_MEDIA_NOT_WRITABLE},
        {17, 0, IDS_MEDIA_NOT_WRITABLE}, {19, 0, IDS_MEDIA_NOT_WRITABLE},
        {22, 0, IDS_MEDIA_NOT_WRITABLE}, {23, 0, IDS_MEDIA_NOT_WRITABLE},
        {-1, 0, IDS_MEDIA_NOT_WRITABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.discType);
        DEVICE_RECORD record;
        record.m_discType = c.discType;
        record.m_isBlank = true;
        // Every write flag but the disc's own: a check of the wrong byte lets the disc through.
        uint8_t* bytes = reinterpret_cast<uint8_t*>(&record.m_mediaFormats);
        for (unsigned b = 4; b < sizeof record.m_mediaFormats; ++b) bytes[b] = 1;
        if (c.flagByte != 0) bytes[c.flagByte] = 0;
        EXPECT_EQ(DiscRefusal(record), c.refusalWithoutFlag);
        if (c.flagByte == 0) continue;
        std::fill(bytes + 4, bytes + sizeof record.m_mediaFormats, uint8_t{0});
        bytes[c.flagByte] = 1;
        EXPECT_EQ(DiscRefusal(record), 0u);
        record.m_isBlank = false;
        EXPECT_EQ(DiscRefusal(record), static_cast<UINT>(IDS_DISC_NOT_BLANK));
    }
}

TEST_F(DevicePage, ScanFillsTheTableAndOffersTheFirstDrive) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    m_provider->Add("CdRom1", DvdWriter({1385, 5540}), NoDisc());
    m_provider->Add("CdRom2", DvdReader(), BlankCdR());  // cannot write CD-R: not offered
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        HWND list = ::GetDlgItem(driver.ActivePage(), IDC_DEVICE_LIST);
        RECT client{};
        ::GetClientRect(list, &client);
        HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
        ASSERT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 6);
        const char* headings[6] = {"Product", "Vendor", "Revision", "Media", "Size", "Label"};
        const int divisors[6] = {4, 8, 8, 8, 8, 4};
        for (int i = 0; i < 6; ++i) {
            char text[64] = {};
            HDITEMA item{};
            item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            ::SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_STREQ(text, headings[i]);
            EXPECT_EQ(item.cxy, client.right / divisors[i]) << headings[i];
            EXPECT_EQ(item.fmt & HDF_JUSTIFYMASK, HDF_LEFT);
        }
        EXPECT_TRUE(::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);

        const Rows expected = {{"CD WRITER", "QFTEST", "1.00", "CD-R", "Blank", ""},
                               {"DVD WRITER", "QFTEST", "1.00", "Empty", "", ""}};
        EXPECT_EQ(TableRows(driver), expected);
        EXPECT_EQ(SelectedRow(driver), 0);
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonBack));
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonCancel));

        // The empty tray is refused; the blank CD-R in the other drive is taken.
        SelectRow(driver, 1);
        UINT icon = 0;
        EXPECT_EQ(NextRefusal(driver, sheet, &icon), "No media in drive");
        EXPECT_EQ(icon, static_cast<UINT>(MB_ICONERROR));
        SelectRow(driver, 0);
        driver.Press(PSBTN_NEXT);
        EXPECT_TRUE(sheet.WaitForPage(driver, kImagePage));
    });
    EXPECT_STREQ(sheet.m_selectedDevice.m_product, "CD WRITER");
    EXPECT_STREQ(sheet.m_selectedDevice.m_deviceName, "CdRom0");
    EXPECT_TRUE(sheet.m_selectedDevice.m_isBlank);
    EXPECT_FALSE(sheet.m_selectedDevice.m_writeSpeeds.empty());
}

// While the scan runs nothing on the page can be used; afterwards everything can.
TEST_F(DevicePage, ScanningHoldsTheButtonsAndRefreshRescans) {
    auto recorder = std::make_shared<burnlib::VirtualRecorder>(CdWriter(StandardCdSteps()), NoDisc());
    auto slow = std::make_shared<SlowTarget>(recorder);
    m_provider->AddTarget("CdRom0", slow);
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        EXPECT_EQ(TableRows(driver)[0][3], "Empty");

        recorder->InsertMedium(BlankCdR());
        slow->slow = true;
        driver.ClickControl(IDC_REFRESH);
        ASSERT_TRUE(PollUntil([&] { return !driver.IsButtonEnabled(kButtonNext); }));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonBack));
        EXPECT_FALSE(driver.IsButtonEnabled(kButtonCancel));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(driver.ActivePage(), IDC_REFRESH)));
        EXPECT_TRUE(PollUntil([&] { return !::IsWindowEnabled(driver.Sheet()); }));  // wait dialog
        slow->slow = false;
        ASSERT_TRUE(WaitForScan(driver));
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonCancel));
        EXPECT_TRUE(PollUntil([&] { return ::IsWindowEnabled(driver.Sheet()) != FALSE; }));
        EXPECT_EQ(TableRows(driver)[0][3], "CD-R");
        EXPECT_EQ(TableRows(driver)[0][4], "Blank");
    });
}

TEST_F(DevicePage, NoWritableDriveLeavesAnEmptyTableAndNextAsksForOne) {
    m_provider->Add("CdRom0", DvdReader(), BlankCdR());
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        EXPECT_TRUE(TableRows(driver).empty());
        EXPECT_TRUE(driver.IsButtonEnabled(kButtonBack));
        UINT icon = 0;
        EXPECT_EQ(NextRefusal(driver, sheet, &icon), "Please select burning device to use!");
        EXPECT_EQ(icon, static_cast<UINT>(MB_ICONEXCLAMATION));
    });
    EXPECT_STREQ(sheet.m_selectedDevice.m_product, "CD-RW CRX230E");  // untouched
}

// Discs the drives hold but cannot burn: each Next re-probes and answers for the disc in the tray.
TEST_F(DevicePage, DiscsThatCannotBeBurnedAreRefusedByName) {
    burnlib::DriveModel bdWriter = DvdWriter({1385, 5540});
    bdWriter.product = "BD WRITER";
    bdWriter.writeProfiles.push_back(burnlib::kProfileBdR);
    burnlib::DriveModel plusBlind = DvdWriter({1385, 5540});
    plusBlind.product = "NO PLUS WRITER";
    plusBlind.dvdPlusR = false;
    plusBlind.dvdPlusRw = false;
    plusBlind.writeProfiles = {burnlib::kProfileCdR, burnlib::kProfileCdRw, burnlib::kProfileDvdR};
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), ClosedCdR(3000));
    m_provider->Add("CdRom1", bdWriter, BlankOf(burnlib::kProfileBdR));
    m_provider->Add("CdRom2", plusBlind, BlankDvdPlusR());
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        Rows rows = TableRows(driver);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0][3], "CD-R");
        EXPECT_EQ(rows[0][4], "5.86 MB");  // 3,000 blocks of 2,048 bytes
        EXPECT_EQ(rows[1][3], "BD-R");
        EXPECT_EQ(rows[2][3], "DVD+R");

        EXPECT_EQ(NextRefusal(driver, sheet), "Disc is not blank, burning is impossible!");
        SelectRow(driver, 1);
        EXPECT_EQ(NextRefusal(driver, sheet), "Media is not writable");
        SelectRow(driver, 2);
        EXPECT_EQ(NextRefusal(driver, sheet), "Unsupported media type");
    });
    EXPECT_STREQ(sheet.m_selectedDevice.m_product, "CD-RW CRX230E");  // no refusal stored a drive
}

// The re-probe on Next sees the disc inserted since the scan, but the row keeps what the scan saw;
// a drive gone since the scan is not judged by its old disc.
TEST_F(DevicePage, NextJudgesTheDriveAsItIsNow) {
    std::shared_ptr<burnlib::VirtualRecorder> cd =
        m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), NoDisc());
    m_provider->Add("CdRom1", CdWriter(StandardCdSteps()), BlankCdR());
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        ASSERT_EQ(TableRows(driver).size(), 2u);

        m_provider->Remove("CdRom1");
        SelectRow(driver, 1);
        EXPECT_EQ(NextRefusal(driver, sheet),
                  "The device does not answer. Check that it is connected, then click Refresh to "
                  "update devices list.");

        cd->InsertMedium(BlankCdR());
        SelectRow(driver, 0);
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        EXPECT_STREQ(sheet.m_selectedDevice.m_mediaName, "CD-R");

        // Back rescans at once and offers the first row again, now with the disc.
        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        Rows rows = TableRows(driver);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][3], "CD-R");
        EXPECT_EQ(SelectedRow(driver), 0);
    });
}

// After a refill the first row is selected even when another was chosen before.
TEST_F(DevicePage, BackFromTheImagePageRescansAndSelectsTheFirstRow) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    m_provider->Add("CdRom1", DvdWriter({1385, 5540}), BlankDvdPlusR());
    PageWizard sheet(kDevicePage);
    RunWizard(sheet, [&](WizardDriver& driver) {
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        SelectRow(driver, 1);
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
        EXPECT_STREQ(sheet.m_selectedDevice.m_mediaName, "DVD+R");
        driver.Press(PSBTN_BACK);
        ASSERT_TRUE(sheet.WaitForPage(driver, kDevicePage));
        ASSERT_TRUE(WaitForScan(driver));
        EXPECT_EQ(SelectedRow(driver), 0);
        driver.Press(PSBTN_NEXT);
        ASSERT_TRUE(sheet.WaitForPage(driver, kImagePage));
    });
    EXPECT_STREQ(sheet.m_selectedDevice.m_product, "CD WRITER");
}
