// Scans and burns repeated inside one process leave its handles, threads and private memory
// where they were: every thread has ended and every handle of a scan or a burn is closed.
#include <gtest/gtest.h>

#include "tests/reliability/ProcessFigures.h"
#include "tests/reliability/Workload.h"

using reliability::ProcessFigures;
using reliability::Workload;

TEST(Resources, RepeatedScansAndBurnsLeaveHandlesThreadsAndMemoryFlat) {
    Workload work;
    std::string why;
    // The first of each allocates what the process keeps for its life (string tables, heaps).
    ASSERT_EQ(work.Scan(), 2);
    for (int32_t method = 0; method < 4; ++method) ASSERT_TRUE(work.Burn(method, &why)) << why;
    const ProcessFigures before = ProcessFigures::Take();

    for (int i = 0; i < 20; ++i) ASSERT_EQ(work.Scan(), 2) << "scan " << i;
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(work.Burn(i % 4, &why)) << "burn " << i << ": " << why;
    const ProcessFigures after = ProcessFigures::Take();

    // A leak of one handle or thread per scan or burn would show as 20 or 8 more.
    ASSERT_GT(before.openHandles, 0u);
    ASSERT_GT(before.committedPrivate, 0u);
    EXPECT_LE(after.handles, before.handles + 2) << before.handles << " -> " << after.handles;
    EXPECT_LE(after.openHandles, before.openHandles + 2) << before.openHandles << " -> " << after.openHandles;
    EXPECT_LE(after.threads, before.threads) << before.threads << " -> " << after.threads;
    EXPECT_LE(after.privateBytes, before.privateBytes + 4 * 1048576)
        << before.privateBytes << " -> " << after.privateBytes;
    EXPECT_LE(after.committedPrivate, before.committedPrivate + 4 * 1048576)
        << before.committedPrivate << " -> " << after.committedPrivate;
}
