// The thread pool as callers reach it: through GetToolObject for the shipped 300 ms growth
// pause, constructed directly where a test needs a shorter pause or scripted thread starts.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <thread>

#include "JobProbes.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadPools.h"

namespace {

using IGlobalTools::IThreadPools;
using JobProbes::Gate;
using JobProbes::ProbeJob;
using JobProbes::StdoutCapture;
using JobProbes::ThreadIds;
using JobProbes::ThreadStartPlan;
using JobProbes::WaitUntil;

const char kNoFreeWorker[] = "get free thread fail \r\n";
const char kGrowing[] = "get free thread fail, new a thread to execute job \r\n";

using Pool = JobProbes::ToolOwner<IThreadPools>;

IThreadPools* ShippedPool() {
    return JobProbes::FromFactory<IThreadPools>(ToolIds::IThreadPools);
}

// Jobs that each hold their worker until their own gate opens.
struct Blockers {
    std::deque<Gate> gates;
    std::deque<ProbeJob> jobs;
    std::atomic<unsigned> started{0};
    ThreadIds threads;

    ~Blockers() { OpenAll(); }
    void Post(IThreadPools* pool, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            Gate& gate = gates.emplace_back();
            jobs.emplace_back([this, &gate] {
                threads.Add(::GetCurrentThreadId());
                ++started;
                gate.Wait();
            });
            EXPECT_EQ(pool->PostJob(&jobs.back()), TRUE);
        }
    }
    bool AllStarted() {
        return WaitUntil([this] { return started.load() == jobs.size(); });
    }
    void OpenAll() {
        for (Gate& gate : gates) gate.Open();
    }
};

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TEST(ThreadPools, FactoryMakesANewPoolEachTime) {
    Pool first(ShippedPool());
    ASSERT_NE(first.get(), nullptr);
    ProbeJob job;
    {
        Pool second(ShippedPool());
        EXPECT_NE(first.get(), second.get());
        second->Start();
    }
    first->Start();
    EXPECT_EQ(first->PostJob(&job), TRUE) << "still usable after the other went";
    first->Stop();
    EXPECT_EQ(job.Verdict(), "run then released");
}

TEST(ThreadPools, RefusedJobsAreNeverTouched) {
    Pool pool(ShippedPool());
    ProbeJob beforeStart, running, afterStop, afterRestart;
    EXPECT_EQ(pool->PostJob(&beforeStart), FALSE);
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->PostJob(&running), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(running.Verdict(), "run then released") << "Stop comes after the job ran";
    EXPECT_EQ(pool->PostJob(&afterStop), FALSE);
    EXPECT_EQ(pool->Stop(), TRUE) << "a second Stop is harmless";
    EXPECT_EQ(beforeStart.Verdict(), "untouched");
    EXPECT_EQ(afterStop.Verdict(), "untouched");

    EXPECT_EQ(pool->Start(), TRUE) << "a stopped pool starts again";
    EXPECT_EQ(pool->PostJob(&afterRestart), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(afterRestart.Verdict(), "run then released");
}

TEST(ThreadPools, NullJobIsAcceptedAndDropped) {
    Pool pool(ShippedPool());
    pool->Start();
    ProbeJob after;
    EXPECT_EQ(pool->PostJob(nullptr), TRUE);
    EXPECT_EQ(pool->PostJob(&after), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return after.releases() == 1; }));
    pool->Stop();
    EXPECT_EQ(after.Verdict(), "run then released");
}

TEST(ThreadPools, JobThatThrowsIsStillReleasedAndItsWorkerStays) {
    Pool pool(ShippedPool());
    pool->Start();
    const unsigned workers = JobProbes::PoolWorkerCount();
    std::deque<ProbeJob> throwing;
    for (unsigned i = 0; i < workers; ++i) {
        throwing.emplace_back([] { throw std::runtime_error("job failed"); });
        pool->PostJob(&throwing.back());
    }
    ASSERT_TRUE(WaitUntil([&] {
        for (const ProbeJob& job : throwing)
            if (job.releases() == 0) return false;
        return true;
    }));
    for (const ProbeJob& job : throwing) EXPECT_EQ(job.Verdict(), "run then released");
    // The workers live on: a full set of jobs runs side by side without growing the pool.
    StdoutCapture out;
    Blockers after;
    after.Post(pool.get(), workers);
    ASSERT_TRUE(after.AllStarted());
    EXPECT_EQ(out.Text().find(kGrowing), std::string::npos);
    after.OpenAll();
    pool->Stop();
    for (const ProbeJob& job : after.jobs) EXPECT_EQ(job.Verdict(), "run then released");
}

// A second Start on a running pool must not add another set of workers: with every worker
// busy the next job still has to wait for growth.
struct StartRow {
    const char* name;
    int startCalls;
};

class PoolStartTest : public ::testing::TestWithParam<StartRow> {};

TEST_P(PoolStartTest, MakesTwiceProcessorsPlusTwoWorkers) {
    Pool pool(ShippedPool());
    for (int i = 0; i < GetParam().startCalls; ++i) EXPECT_EQ(pool->Start(), TRUE);
    const unsigned workers = JobProbes::PoolWorkerCount();
    Blockers busy;
    StdoutCapture out;
    busy.Post(pool.get(), workers);
    ASSERT_TRUE(busy.AllStarted()) << "each of the first jobs found an idle worker";
    EXPECT_EQ(busy.threads.Count(), workers);

    ProbeJob extra;
    EXPECT_EQ(pool->PostJob(&extra), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return extra.runs() == 1; }));
    EXPECT_EQ(out.Text(), std::string(kNoFreeWorker) + kGrowing);
    EXPECT_EQ(busy.threads.Get().count(extra.runThread()), 0u) << "the extra job ran on a new worker";
}

INSTANTIATE_TEST_SUITE_P(Starts, PoolStartTest,
                         ::testing::Values(StartRow{"OneStart", 1}, StartRow{"SecondStartAddsNothing", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ThreadPools, BusyPoolWaitsThePauseThenGrowsByOneWorkerForGood) {
    Pool pool(ShippedPool());  // the shipped 300 ms pause
    pool->Start();
    const unsigned workers = JobProbes::PoolWorkerCount();
    Blockers first;
    first.Post(pool.get(), workers);
    ASSERT_TRUE(first.AllStarted());

    StdoutCapture out;
    ProbeJob extra;
    LARGE_INTEGER posted;
    ::QueryPerformanceCounter(&posted);
    pool->PostJob(&extra);
    ASSERT_TRUE(WaitUntil([&] { return extra.runs() == 1; }));
    const double waited = MillisecondsSince(posted);
    EXPECT_EQ(out.Text(), std::string(kNoFreeWorker) + kGrowing);
    EXPECT_GE(waited, 250.0) << "the job waited for a worker to free up first";
    EXPECT_EQ(first.threads.Get().count(extra.runThread()), 0u);

    // The grown worker stays: once all are idle again, one more than the initial count run
    // side by side, on exactly the threads seen so far.
    first.OpenAll();
    ASSERT_TRUE(WaitUntil([&] { return extra.releases() == 1; }));
    std::set<DWORD> known = first.threads.Get();
    known.insert(extra.runThread());
    StdoutCapture again;
    Blockers second;
    second.Post(pool.get(), workers + 1);
    ASSERT_TRUE(second.AllStarted());
    EXPECT_EQ(second.threads.Get(), known);
    EXPECT_EQ(again.Text().find(kGrowing), std::string::npos);
}

TEST(ThreadPools, BusyPoolGivesTheJobToTheFirstWorkerThatFreesUp) {
    Pool pool(new CThreadPools(1000));
    pool->Start();
    Blockers busy;
    busy.Post(pool.get(), JobProbes::PoolWorkerCount());
    ASSERT_TRUE(busy.AllStarted());

    StdoutCapture out;
    ProbeJob extra;
    pool->PostJob(&extra);
    ::Sleep(50);
    busy.gates[2].Open();
    ASSERT_TRUE(WaitUntil([&] { return extra.releases() == 1; }));
    EXPECT_EQ(extra.runThread(), busy.jobs[2].runThread());
    EXPECT_EQ(out.Text().find(kGrowing), std::string::npos);
}

// Stop waits for running jobs and still runs every queued one. In the plain design Stop
// holds the queue lock while it joins a worker that needs that lock to go idle after its job.
struct StopRow {
    const char* name;
    bool everyWorkerBusy;
    unsigned queued;
};

class PoolStopTest : public ::testing::TestWithParam<StopRow> {};

TEST_P(PoolStopTest, RunningJobsFinishAndQueuedJobsRunBeforeStopReturns) {
    const StopRow& row = GetParam();
    Pool pool(new CThreadPools(20));
    pool->Start();
    Blockers busy;
    busy.Post(pool.get(), row.everyWorkerBusy ? JobProbes::PoolWorkerCount() : 1);
    ASSERT_TRUE(busy.AllStarted());
    std::deque<ProbeJob> queued(row.queued);
    for (ProbeJob& job : queued) EXPECT_EQ(pool->PostJob(&job), TRUE);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        pool->Stop();
        stopped = true;
    });
    ::Sleep(100);
    EXPECT_FALSE(stopped.load()) << "Stop waits for the running jobs";
    busy.OpenAll();
    stopper.join();
    for (const ProbeJob& job : busy.jobs) EXPECT_EQ(job.Verdict(), "run then released");
    for (const ProbeJob& job : queued) EXPECT_EQ(job.Verdict(), "run then released");
}

INSTANTIATE_TEST_SUITE_P(Stops, PoolStopTest,
                         ::testing::Values(StopRow{"OneJobRunning", false, 0},
                                           StopRow{"EveryWorkerBusyFiveQueued", true, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ThreadPools, JobAssignedToAWorkerToldToStopIsStillRunOnce) {
    const int workers = static_cast<int>(JobProbes::PoolWorkerCount());
    // Every worker thread starts suspended, so the job is assigned to a worker that has not
    // woken yet when Stop signals it.
    ThreadStartPlan plan(nullptr, [workers](int n) { return n < workers; });
    Pool pool(new CThreadPools(20, &ThreadStartPlan::Start));
    pool->Start();
    ProbeJob job;
    EXPECT_EQ(pool->PostJob(&job), TRUE);
    ::Sleep(100);
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        pool->Stop();
        stopped = true;
    });
    ::Sleep(200);
    EXPECT_FALSE(stopped.load());
    EXPECT_EQ(job.Verdict(), "untouched");
    plan.ResumeAll();
    stopper.join();
    EXPECT_EQ(job.Verdict(), "run then released");
}

// Threads that cannot start: the pool refuses jobs when nothing can run them, and a job whose
// grown worker cannot start waits for a worker instead of being dropped.
struct StartFailureRow {
    const char* name;
    bool (*fails)(int startNumber, int workers);  // start numbers: workers first, then dispatcher, then growth
    bool acceptsJobs;
};

class PoolThreadFailureTest : public ::testing::TestWithParam<StartFailureRow> {};

TEST_P(PoolThreadFailureTest, NoJobIsLost) {
    const StartFailureRow& row = GetParam();
    const int workers = static_cast<int>(JobProbes::PoolWorkerCount());
    ThreadStartPlan plan([&row, workers](int n) { return row.fails(n, workers); }, nullptr);
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

TEST(ThreadPools, JobWhoseGrownWorkerCannotStartWaitsForAFreeWorker) {
    const int workers = static_cast<int>(JobProbes::PoolWorkerCount());
    ThreadStartPlan plan([workers](int n) { return n > workers; }, nullptr);
    Pool pool(new CThreadPools(10, &ThreadStartPlan::Start));
    pool->Start();
    Blockers busy;
    busy.Post(pool.get(), workers);
    ASSERT_TRUE(busy.AllStarted());

    StdoutCapture out;
    ProbeJob extra;
    EXPECT_EQ(pool->PostJob(&extra), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return plan.starts() >= workers + 4; })) << "growth is tried again";
    EXPECT_EQ(extra.Verdict(), "untouched");
    busy.gates[0].Open();
    ASSERT_TRUE(WaitUntil([&] { return extra.releases() == 1; }));
    EXPECT_EQ(extra.Verdict(), "run then released");
    EXPECT_EQ(extra.runThread(), busy.jobs[0].runThread());
    EXPECT_NE(out.Text().find(kGrowing), std::string::npos);
}

}  // namespace
