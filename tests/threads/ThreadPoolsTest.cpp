// The thread pool: from GetToolObject for the shipped 300 ms growth pause, constructed directly
// for a shorter pause or scripted thread starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <stdexcept>
#include <thread>

#include "JobProbes.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadPools.h"

namespace {

using IGlobalTools::IThreadPools;
using namespace JobProbes;
using Pool = Owned<IThreadPools>;

const char kNoFreeWorker[] = "get free thread fail \r\n";
const char kGrowing[] = "get free thread fail, new a thread to execute job \r\n";

Pool ShippedPool() {
    return Pool(FromFactory<IThreadPools>(ToolIds::IThreadPools));
}

int Workers() {  // 2 x processors + 2 after Start
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return 2 * static_cast<int>(system.dwNumberOfProcessors) + 2;
}

// Jobs that each hold their worker until their own gate opens. The pool stops before they go.
struct Blockers {
    IThreadPools* pool;
    std::deque<Gate> gates;
    std::deque<ProbeJob> jobs;
    std::atomic<size_t> started{0};

    explicit Blockers(IThreadPools* owner) : pool(owner) {}
    ~Blockers() {
        OpenAll();
        pool->Stop();
    }
    bool Post(int count) {  // true once every job holds a worker
        for (int i = 0; i < count; ++i) {
            Gate& gate = gates.emplace_back();
            jobs.emplace_back([this, &gate] {
                ++started;
                gate.Wait();
            });
            EXPECT_EQ(pool->PostJob(&jobs.back()), TRUE);
        }
        return WaitUntil([this] { return started == jobs.size(); });
    }
    std::set<DWORD> Threads() const {
        std::set<DWORD> threads;
        for (const ProbeJob& job : jobs) threads.insert(job.runThread());
        return threads;
    }
    void OpenAll() {
        for (Gate& gate : gates) gate.Open();
    }
};

// Refused jobs (before Start, after Stop) are never touched; a null job is taken and dropped;
// each factory call gives a pool of its own, and a stopped pool starts again.
TEST(ThreadPools, LifecycleAndRefusedJobs) {
    Pool pool = ShippedPool(), other = ShippedPool();
    ASSERT_NE(pool.get(), nullptr);
    EXPECT_NE(pool.get(), other.get());
    other->Start();
    other.reset();
    ProbeJob beforeStart, running, afterStop, afterRestart;
    EXPECT_EQ(pool->PostJob(&beforeStart), FALSE);
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->PostJob(nullptr), TRUE);
    EXPECT_EQ(pool->PostJob(&running), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(running.Verdict(), "run then released");
    EXPECT_EQ(pool->PostJob(&afterStop), FALSE);
    EXPECT_EQ(pool->Stop(), TRUE) << "a second Stop is harmless";
    EXPECT_EQ(beforeStart.Verdict(), "untouched");
    EXPECT_EQ(afterStop.Verdict(), "untouched");
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->PostJob(&afterRestart), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(afterRestart.Verdict(), "run then released");
}

// Jobs that throw are still released and their workers stay. With every worker busy the extra
// job waits the shipped pause, then runs on one new worker that stays. A second Start adds none.
class PoolGrowthTest : public ::testing::TestWithParam<int> {};

TEST_P(PoolGrowthTest, BusyPoolWaitsThePauseThenGrowsByOneWorkerForGood) {
    Pool pool = ShippedPool();
    for (int i = 0; i < GetParam(); ++i) EXPECT_EQ(pool->Start(), TRUE);
    std::deque<ProbeJob> throwing;
    for (int i = 0; i < Workers(); ++i) pool->PostJob(&throwing.emplace_back([] { throw std::runtime_error("no"); }));
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(throwing.begin(), throwing.end(), [](const ProbeJob& job) { return job.releases() != 0; });
    }));
    for (const ProbeJob& job : throwing) EXPECT_EQ(job.Verdict(), "run then released");
    StdoutCapture out;
    Blockers first{pool.get()};
    ASSERT_TRUE(first.Post(Workers()));
    EXPECT_EQ(first.Threads().size(), static_cast<size_t>(Workers()));
    ProbeJob extra;
    const ULONGLONG posted = ::GetTickCount64();
    EXPECT_EQ(pool->PostJob(&extra), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return extra.runs() == 1; }));
    EXPECT_GE(::GetTickCount64() - posted, 250u) << "the job waited for a worker to free up first";
    EXPECT_EQ(out.Text(), std::string(kNoFreeWorker) + kGrowing);
    EXPECT_EQ(first.Threads().count(extra.runThread()), 0u) << "the extra job ran on a new worker";

    // Once all are idle, one more than the initial count run side by side on the known threads.
    first.OpenAll();
    ASSERT_TRUE(WaitUntil([&] { return extra.releases() == 1; }));
    std::set<DWORD> known = first.Threads();
    known.insert(extra.runThread());
    StdoutCapture again;
    Blockers second{pool.get()};
    ASSERT_TRUE(second.Post(Workers() + 1));
    EXPECT_EQ(second.Threads(), known);
    EXPECT_EQ(again.Text().find(kGrowing), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Starts, PoolGrowthTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "OneStart" : "SecondStartAddsNoWorkers"; });

// A busy pool gives the extra job to the first worker that frees up: within the pause, or
// after it when the grown worker cannot start (growth is tried again meanwhile).
struct FreedRow {
    const char* name;
    DWORD pauseMs;
    bool growthFails;
};

class PoolFreedWorkerTest : public ::testing::TestWithParam<FreedRow> {};

TEST_P(PoolFreedWorkerTest, ExtraJobRunsOnTheFreedWorker) {
    const FreedRow& row = GetParam();
    const int workers = Workers();
    ThreadStartPlan plan([&](int n) { return row.growthFails && n > workers; }, nullptr);
    Pool pool(new CThreadPools(row.pauseMs, &ThreadStartPlan::Start));
    pool->Start();
    Blockers busy{pool.get()};
    ASSERT_TRUE(busy.Post(workers));
    StdoutCapture out;
    ProbeJob extra;
    EXPECT_EQ(pool->PostJob(&extra), TRUE);
    if (row.growthFails) {
        ASSERT_TRUE(WaitUntil([&] { return plan.starts() >= workers + 4; })) << "growth is tried again";
    } else {
        ::Sleep(50);
    }
    EXPECT_EQ(extra.Verdict(), "untouched");
    busy.gates[2].Open();
    ASSERT_TRUE(WaitUntil([&] { return extra.releases() == 1; }));
    EXPECT_EQ(extra.Verdict(), "run then released");
    EXPECT_EQ(extra.runThread(), busy.jobs[2].runThread());
    EXPECT_EQ(out.Text().find(kGrowing) != std::string::npos, row.growthFails);
}

INSTANTIATE_TEST_SUITE_P(Freed, PoolFreedWorkerTest,
                         ::testing::Values(FreedRow{"WithinThePause", 1000, false},
                                           FreedRow{"GrownWorkerCannotStart", 10, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Stop waits for running jobs and still runs every queued one (a Stop that joins a worker
// while holding the queue lock hangs here). Suspended workers: the job is assigned to a worker
// that has not woken yet when Stop signals it.
struct StopRow {
    const char* name;
    int busy, queued;  // busy -1: every worker
    bool suspendWorkers;
};

class PoolStopTest : public ::testing::TestWithParam<StopRow> {};

TEST_P(PoolStopTest, RunningJobsFinishAndQueuedJobsRunBeforeStopReturns) {
    const StopRow& row = GetParam();
    const int workers = Workers();
    ThreadStartPlan plan(nullptr, [&](int n) { return row.suspendWorkers && n < workers; });
    Pool pool(new CThreadPools(20, &ThreadStartPlan::Start));
    pool->Start();
    Blockers busy{pool.get()};
    ASSERT_TRUE(busy.Post(row.busy < 0 ? workers : row.busy));
    std::deque<ProbeJob> queued(row.queued);
    for (ProbeJob& job : queued) EXPECT_EQ(pool->PostJob(&job), TRUE);
    ::Sleep(row.suspendWorkers ? 100 : 0);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        pool->Stop();
        stopped = true;
    });
    ::Sleep(150);
    EXPECT_FALSE(stopped.load()) << "Stop waits for the running jobs";
    busy.OpenAll();
    plan.ResumeAll();
    stopper.join();
    for (const ProbeJob& job : busy.jobs) EXPECT_EQ(job.Verdict(), "run then released");
    for (const ProbeJob& job : queued) EXPECT_EQ(job.Verdict(), "run then released");
}

INSTANTIATE_TEST_SUITE_P(Stops, PoolStopTest,
                         ::testing::Values(StopRow{"OneJobRunning", 1, 0, false},
                                           StopRow{"EveryWorkerBusyFiveQueued", -1, 5, false},
                                           StopRow{"JobAssignedToASuspendedWorker", 0, 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Threads that cannot start: the pool refuses jobs only when nothing can run them.
struct StartFailureRow {
    const char* name;
    bool (*fails)(int startNumber, int workers);  // workers first, then the dispatcher
    bool acceptsJobs;
};

class PoolThreadFailureTest : public ::testing::TestWithParam<StartFailureRow> {};

TEST_P(PoolThreadFailureTest, NoJobIsLost) {
    const StartFailureRow& row = GetParam();
    const int workers = Workers();
    ThreadStartPlan plan([&](int n) { return row.fails(n, workers); }, nullptr);
    Pool pool(new CThreadPools(10, &ThreadStartPlan::Start));
    EXPECT_EQ(pool->Start(), TRUE);
    ProbeJob job;
    EXPECT_EQ(pool->PostJob(&job), row.acceptsJobs ? TRUE : FALSE);
    pool->Stop();
    EXPECT_EQ(job.Verdict(), row.acceptsJobs ? "run then released" : "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PoolThreadFailureTest,
    ::testing::Values(StartFailureRow{"NoWorkerStarts", [](int n, int w) { return n < w; }, false},
                      StartFailureRow{"DispatcherCannotStart", [](int n, int w) { return n == w; }, false},
                      StartFailureRow{"EveryOtherWorkerFails", [](int n, int w) { return n < w && n % 2 == 1; }, true},
                      StartFailureRow{"OnlyOneWorkerStarts", [](int n, int w) { return n > 0 && n < w; }, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
