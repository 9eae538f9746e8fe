#include "drive/DeviceScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "FakeSystemCalls.h"
#include "VirtualDrives.h"
#include "burnlib/api/ApiStatistics.h"

namespace {

using burnlib::ApiStatistics;
using namespace drivetest;
using namespace std::chrono_literals;

// What each completion call delivered, taken on the thread that made the call.
struct Completion {
    void* context = nullptr;
    CDeviceArray* devices = nullptr;
    std::vector<std::string> names;  // device name, or "p.b.t.l" for an addressed record
    std::vector<std::string> products;
    DWORD threadId = 0;
};

class CompletionLog {
public:
    static void OnComplete(void* context, CDeviceArray* devices) {
        CompletionLog* log = static_cast<CompletionLog*>(context);
        Completion c;
        c.context = context;
        c.devices = devices;
        c.threadId = GetCurrentThreadId();
        for (int i = 0; i < devices->GetCount(); ++i) {
            const DEVICE_RECORD& r = devices->GetAt(i);
            if (r.m_accessKind == kAccessByName) {
                c.names.push_back(r.m_deviceName);
            } else {
                c.names.push_back(std::to_string(r.m_address[1]) + "." +
                                  std::to_string(r.m_address[2]) + "." +
                                  std::to_string(r.m_address[3]) + "." +
                                  std::to_string(r.m_address[4]));
            }
            c.products.push_back(r.m_product);
        }
        std::lock_guard<std::mutex> lock(log->m_lock);
        log->m_completions.push_back(c);
        log->m_changed.notify_all();
    }

    // Waits (with a deadline) until n completions arrived; the first n.
    std::vector<Completion> WaitFor(size_t n) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait_for(lock, 60s, [&] { return m_completions.size() >= n; });
        return m_completions;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Completion> m_completions;
};

class DeviceScannerTest : public ::testing::Test {
protected:
    void SetUp() override { FakeSystem::Reset(); }
    void Start() { m_session = std::make_unique<LibrarySession>(m_provider); }

    std::shared_ptr<TestDeviceProvider> m_provider = std::make_shared<TestDeviceProvider>();
    std::unique_ptr<LibrarySession> m_session;
    CompletionLog m_log;
};

TEST_F(DeviceScannerTest, SptiTriesAllTwentyNamesAndKeepsTheirOrder) {
    m_provider->Add("CdRom2", CdWriter(StandardCdSteps()), BlankCdR());
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), NoDisc());
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    const auto completions = m_log.WaitFor(1);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].context, &m_log);
    EXPECT_EQ(completions[0].devices, &scanner.GetDeviceArray());
    EXPECT_EQ(completions[0].names, (std::vector<std::string>{"CdRom0", "CdRom2"}));
    EXPECT_NE(completions[0].threadId, GetCurrentThreadId());

    std::vector<std::string> discovery = m_provider->TriedNames();
    discovery.resize(20);
    for (int n = 0; n < 20; ++n) EXPECT_EQ(discovery[n], "CdRom" + std::to_string(n));
}

TEST_F(DeviceScannerTest, AspiKeepsTheReportedAddressesInOrder) {
    m_provider->AddAt(burnlib::ScsiAddress{3, 0, 1, 0}, 'E', CdWriter(StandardCdSteps()),
                      BlankCdR());
    m_provider->AddAt(burnlib::ScsiAddress{1, 2, 5, 1}, 'D', CdWriter(StandardCdSteps()),
                      BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.SetSystemCalls(FakeSystem::Calls());
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportAspi, true);
    const auto completions = m_log.WaitFor(1);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].names, (std::vector<std::string>{"3.0.1.0", "1.2.5.1"}));
    EXPECT_EQ(completions[0].products, (std::vector<std::string>{"CD WRITER", "CD WRITER"}));
    EXPECT_STREQ(scanner.GetDeviceArray().GetAt(0).m_drive, "E:");
    EXPECT_STREQ(scanner.GetDeviceArray().GetAt(0).m_deviceName, "");
    EXPECT_EQ(ApiStatistics::Get().Calls("StarBurn_FindDevice"), 1u);
}

TEST_F(DeviceScannerTest, UnknownTransportFindsNothingAndStillCompletes) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, 2, true);
    const auto completions = m_log.WaitFor(1);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_TRUE(completions[0].names.empty());
    EXPECT_EQ(ApiStatistics::Get().TotalCalls(), 0u);
}

TEST_F(DeviceScannerTest, DrivesThatCannotWriteCdRAreDroppedOnlyWhenAsked) {
    m_provider->Add("CdRom0", DvdReader(), BlankCdR());
    m_provider->Add("CdRom1", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    m_log.WaitFor(1);
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, false);
    const auto completions = m_log.WaitFor(2);
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_EQ(completions[0].names, std::vector<std::string>{"CdRom1"});
    EXPECT_EQ(completions[1].names, (std::vector<std::string>{"CdRom0", "CdRom1"}));
}

TEST_F(DeviceScannerTest, ConsecutiveFailedProbesAreRemovedAndTheNextDriveIsProbed) {
    // Discovery opens each drive once; CdRom1 and CdRom2 then refuse the probe's drive object.
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    m_provider->Add("CdRom1", CdWriter(StandardCdSteps()), BlankCdR(), 2);
    m_provider->Add("CdRom2", CdWriter(StandardCdSteps()), BlankCdR(), 2);
    m_provider->Add("CdRom3", DvdWriter({1385, 2770}), BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    const auto completions = m_log.WaitFor(1);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].names, (std::vector<std::string>{"CdRom0", "CdRom3"}));
    EXPECT_EQ(completions[0].products, (std::vector<std::string>{"CD WRITER", "DVD WRITER"}));
}

TEST_F(DeviceScannerTest, RefreshRefillsTheSameArray) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    m_provider->Add("CdRom1", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    m_log.WaitFor(1);
    m_provider->Remove("CdRom0");
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    const auto completions = m_log.WaitFor(2);
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_EQ(completions[0].devices, completions[1].devices);
    EXPECT_EQ(completions[0].names, (std::vector<std::string>{"CdRom0", "CdRom1"}));
    EXPECT_EQ(completions[1].names, std::vector<std::string>{"CdRom1"});
}

TEST_F(DeviceScannerTest, ThreadThatCannotStartStillEndsTheScanWithAnEmptyList) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    Start();
    CDeviceScanner scanner;
    scanner.SetSystemCalls(FakeSystem::Calls());
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    ASSERT_EQ(m_log.WaitFor(1).at(0).names.size(), 1u);

    FakeSystem::refuseThreads = true;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    const auto completions = m_log.WaitFor(2);
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_TRUE(completions[1].names.empty());  // the earlier records are not offered again
    EXPECT_EQ(completions[1].devices, &scanner.GetDeviceArray());

    FakeSystem::refuseThreads = false;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    EXPECT_EQ(m_log.WaitFor(3).at(2).names.size(), 1u);
}

TEST_F(DeviceScannerTest, NewScanWaitsForTheRunningOne) {
    auto a = m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    auto b = m_provider->Add("CdRom1", CdWriter(StandardCdSteps()), BlankCdR());
    a->SetCommandLatency(1ms);
    b->SetCommandLatency(1ms);
    Start();
    CDeviceScanner scanner;
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    const auto completions = m_log.WaitFor(2);
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_EQ(completions[0].names, (std::vector<std::string>{"CdRom0", "CdRom1"}));
    EXPECT_EQ(completions[1].names, (std::vector<std::string>{"CdRom0", "CdRom1"}));
    EXPECT_EQ(completions[0].products, completions[1].products);
}

TEST_F(DeviceScannerTest, DestructionWaitsForTheScan) {
    auto a = m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), BlankCdR());
    a->SetCommandLatency(1ms);
    Start();
    {
        CDeviceScanner scanner;
        scanner.StartScan(CompletionLog::OnComplete, &m_log, kTransportSpti, true);
    }
    // Returns at once: the scanner's end has already joined its worker.
    const auto completions = m_log.WaitFor(0);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].names, std::vector<std::string>{"CdRom0"});
}

TEST_F(DeviceScannerTest, EachFinishedWorkerHandleIsClosed) {
    m_provider->Add("CdRom0", CdWriter(StandardCdSteps()), NoDisc());
    Start();
    CDeviceScanner scanner;
    scanner.SetSystemCalls(FakeSystem::Calls());
    for (size_t n = 1; n <= 5; ++n) {
        scanner.StartScan(CompletionLog::OnComplete, &m_log, 2, true);
        m_log.WaitFor(n);
    }
    scanner.StartScan(CompletionLog::OnComplete, &m_log, 2, true);
    const std::vector<HANDLE> handles = FakeSystem::threads;
    ASSERT_EQ(handles.size(), 6u);
    // A replaced handle is closed: it no longer names an object, unless a later worker was
    // given the same value again, which is possible only after it was closed.
    for (size_t i = 0; i + 1 < handles.size(); ++i) {
        DWORD flags = 0;
        const bool reused = std::find(handles.begin() + i + 1, handles.end(), handles[i]) !=
                            handles.end();
        EXPECT_TRUE(reused || !GetHandleInformation(handles[i], &flags)) << i;
    }
}

}  // namespace
