// The thread pool and the job queue, from GetToolObject or built with a longer growth pause or a small job limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/TestKit.h"
#include "support/ToolObjects.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadPools.h"
#include "tools/threads/CThreadQueue.h"
#include "tools/win/Event.h"

namespace {

using namespace IGlobalTools;

std::atomic<long> allRuns{0};

// The test owns the storage, so Release only records what the tool did.
struct ProbeJob : IJob {
    explicit ProbeJob(std::function<void()> body = nullptr) : body(std::move(body)) {}
    void Run() override {
        if (releases != 0) runAfterRelease = true;
        thread = ::GetCurrentThreadId();
        order = ++allRuns;
        ++runs;
        if (body) body();
    }
    void Release() override { ++releases; }
    // "RX": run then released once; "X": released unrun; "": untouched.
    std::string Verdict() const {
        return runAfterRelease ? "run after release" : std::string(runs, 'R') + std::string(releases, 'X');
    }
    std::function<void()> body;
    std::atomic<int> runs{0}, releases{0};
    std::atomic<bool> runAfterRelease{false};
    std::atomic<DWORD> thread{0};
    std::atomic<long> order{LONG_MAX};  // among all runs; never run: after every job that did
};

struct StopAndRelease {
    template <typename Tool>
    void operator()(Tool* tool) const {
        tool->Stop(), tool->Release();
    }
};
using Pool = std::unique_ptr<IThreadPools, StopAndRelease>;
using Queue = std::unique_ptr<IThreadQueue, StopAndRelease>;

int Workers() {  // 2 x processors + 2 after Start
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return 2 * static_cast<int>(system.dwNumberOfProcessors) + 2;
}

// Jobs that each hold a worker until their own gate opens, for at most 10 s so a failure cannot hang.
struct Blockers {
    std::deque<Event> gates;
    std::deque<ProbeJob> jobs;

    bool Post(IThreadPools* pool, int count) {  // true once every job holds a worker
        for (int i = 0; i < count; ++i) {
            Event& gate = gates.emplace_back(Event::ResetMode::Manual);
            pool->PostJob(&jobs.emplace_back([&gate] { gate.Wait(10000); }));
        }
        return WaitUntil([&] { return std::all_of(jobs.begin(), jobs.end(), [](auto& job) { return job.runs == 1; }); },
                         10000);
    }
    bool OpenAll() {  // true once every job is released
        for (Event& gate : gates) gate.Set();
        return WaitUntil(
            [&] { return std::all_of(jobs.begin(), jobs.end(), [](auto& job) { return job.releases == 1; }); }, 10000);
    }
    std::set<DWORD> Threads() const {
        std::set<DWORD> threads;
        for (const ProbeJob& job : jobs) threads.insert(job.thread);
        return threads;
    }
};

// Refused jobs (before Start, after Stop) are never touched; a null job is taken and dropped; a
// throwing job is still released; a stopped pool starts again.
TEST(ThreadPools, Lifecycle) {
    Pool pool(MakeTool<IThreadPools>(ToolIds::IThreadPools).release());
    ProbeJob beforeStart, running([] { throw 1; }), afterStop, afterRestart;
    // Called in this order; Start and Stop always give 1, PostJob only while the pool runs.
    const std::vector<BOOL> results{
        pool->PostJob(&beforeStart), pool->Start(), pool->PostJob(nullptr), pool->PostJob(&running),      pool->Stop(),
        pool->PostJob(&afterStop),   pool->Stop(),  pool->Start(),          pool->PostJob(&afterRestart), pool->Stop()};
    EXPECT_EQ(results, (std::vector<BOOL>{FALSE, TRUE, TRUE, TRUE, TRUE, FALSE, TRUE, TRUE, TRUE, TRUE}));
    for (ProbeJob* job : {&beforeStart, &afterStop}) EXPECT_EQ(job->Verdict(), "");
    for (ProbeJob* job : {&running, &afterRestart}) EXPECT_EQ(job->Verdict(), "RX");
}

// With every worker busy, the pool waits its pause, then grows by one worker for the extra job and
// prints both lines; a worker freed within the pause takes the job instead. The grown worker stays:
// one job more than at first then runs side by side on known threads. A second Start adds none.
TEST(ThreadPools, BusyPoolGrowsByOneElseAFreedWorkerTakesTheJob) {
    Blockers busy, again;  // outlive the pool, whose Stop waits for their gates
    ProbeJob freed;
    Pool pool(new CThreadPools(1000));
    EXPECT_TRUE(pool->Start() && pool->Start());
    ASSERT_TRUE(busy.Post(pool.get(), Workers()));
    const std::set<DWORD> first = busy.Threads();
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(busy.Post(pool.get(), 1));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "get free thread fail \r\nget free thread fail, new a thread to execute job \r\n");
    EXPECT_EQ(first.count(busy.jobs.back().thread), 0u) << "the extra job ran on a new worker";

    EXPECT_EQ(pool->PostJob(&freed), TRUE);
    EXPECT_FALSE(WaitUntil([&] { return freed.runs == 1; }, 100)) << "the job waits for a worker";
    busy.gates[2].Set();
    ASSERT_TRUE(WaitUntil([&] { return freed.releases == 1; }, 10000));
    EXPECT_EQ(freed.thread, busy.jobs[2].thread);

    ASSERT_TRUE(busy.OpenAll());
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(again.Post(pool.get(), Workers() + 1));
    EXPECT_EQ(again.Threads(), busy.Threads());
    again.OpenAll();
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("new a thread"), std::string::npos);
}

// Jobs run one at a time in posting order; a throwing job is released and the queue goes on; a
// job posted from a running job goes to the back. Stop lets the running job finish and releases
// the waiting ones unrun. More jobs wait than the small job limit counts: each still runs.
TEST(ThreadQueue, RunsJobsInPostingOrderAndStopReleasesTheWaitingUnrun) {
    Queue queue(new CThreadQueue(2));
    std::string order;  // written by the one worker only
    Event gate(Event::ResetMode::Manual), lastGate(Event::ResetMode::Manual);
    ProbeJob waiting, d, c([&] { order += 'C'; }), last([&] { lastGate.Wait(10000); });
    ProbeJob b([&] { order += 'B', throw 1; });
    ProbeJob hold([&] { gate.Wait(10000), order += 'G'; }), a([&] { order += 'A', queue->PostJob(&d); });
    ASSERT_EQ(queue->Start(), TRUE);
    for (ProbeJob* job : {&hold, &a, &b, &c, &last, &waiting}) queue->PostJob(job);
    gate.Set();
    ASSERT_TRUE(WaitUntil([&] { return last.runs == 1; }, 10000));
    std::thread opener([&] {  // lets Stop begin its wait first
        WaitUntil([] { return false; }, 100);
        lastGate.Set();
    });
    queue->Stop();
    EXPECT_EQ(last.Verdict(), "RX") << "Stop returned before the running job ended";
    opener.join();
    EXPECT_EQ(order, "GABC");
    for (ProbeJob* job : {&hold, &a, &b, &c}) EXPECT_EQ(job->Verdict(), "RX");
    for (ProbeJob* job : {&waiting, &d}) EXPECT_EQ(job->Verdict(), "X");
}

// Four threads flood a pool or a queue (every 16th job posts one more) that stops midway. An accepted
// job is run then released, or (queue only) released unrun, once; a refused one is untouched; the
// pool is done with every accepted job when Stop returns; the queue runs one job at a time, in order.
class Flood : public ::testing::TestWithParam<bool> {};  // true: the queue

TEST_P(Flood, EveryJobIsHandledExactlyOnce) {
    constexpr int kPosters = 4, kJobsPerPoster = 5000, kJobs = kPosters * kJobsPerPoster;
    const bool isQueue = GetParam();
    Queue queue(isQueue ? MakeTool<IThreadQueue>(ToolIds::IThreadQueue).release() : nullptr);
    Pool pool(isQueue ? nullptr : MakeTool<IThreadPools>(ToolIds::IThreadPools).release());
    ASSERT_EQ(isQueue ? queue->Start() : pool->Start(), TRUE);
    std::deque<ProbeJob> jobs(kJobs + kJobs / 16);  // posted by the posters, then by every 16th job
    std::vector<char> taken(jobs.size());           // each written by the one thread posting its job
    std::atomic<int> posted{0}, inRun{0};
    std::atomic<bool> stopBegun{false}, concurrent{false};
    auto post = [&](size_t i) {
        taken[i] = isQueue ? (queue->PostJob(&jobs[i]), true) : pool->PostJob(&jobs[i]) == TRUE;
    };
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].body = [&, i] {
            if (++inRun > 1) concurrent = true;
            ::SwitchToThread();
            --inRun;
            if (i % 1000 == 0) ::Sleep(3);
            if (i < kJobs && i % 16 == 0) post(kJobs + i / 16);
        };
    }
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {  // no poster posts its last quarter before Stop begins
            for (int k = 0; k < kJobsPerPoster; ++k, ++posted) {
                if (k == kJobsPerPoster * 3 / 4) WaitUntil([&] { return stopBegun.load(); }, 60000);
                post(k * kPosters + p);
            }
        });
    }
    WaitUntil([&] { return posted >= kJobs / 2; }, 60000);
    stopBegun = true;
    isQueue ? queue->Stop() : static_cast<void>(pool->Stop());
    int disposedAtStop = 0;
    for (const ProbeJob& job : jobs) disposedAtStop += job.releases;
    for (std::thread& poster : posters) poster.join();

    for (size_t i = 0; i < jobs.size(); ++i) {
        const std::string verdict = jobs[i].Verdict();
        const bool fine = taken[i] ? verdict == "RX" || (isQueue && verdict == "X") : verdict.empty();
        ASSERT_TRUE(fine) << (taken[i] ? "job " : "refused job ") << i << ": " << verdict;
    }
    EXPECT_TRUE(isQueue || disposedAtStop == std::count(taken.begin(), taken.end(), 1)) << "jobs left after Stop";
    EXPECT_FALSE(isQueue && concurrent) << "two jobs ran at once";
    for (int p = 0; isQueue && p < kPosters; ++p) {  // each poster's jobs that ran: a prefix, in posting order
        std::vector<long> orders;
        for (int k = 0; k < kJobsPerPoster; ++k) orders.push_back(jobs[k * kPosters + p].order);
        EXPECT_TRUE(std::is_sorted(orders.begin(), orders.end())) << "poster " << p << "'s jobs ran out of order";
    }
}

INSTANTIATE_TEST_SUITE_P(PoolAndQueue, Flood, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Queue" : "Pool"; });

}  // namespace
