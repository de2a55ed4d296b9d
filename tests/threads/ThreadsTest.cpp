// The thread pool and the job queue: from GetToolObject with their shipped settings, constructed
// directly for a longer growth pause or a small job limit.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/ToolObjects.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadPools.h"
#include "tools/threads/CThreadQueue.h"
#include "tools/win/Event.h"

namespace {

using IGlobalTools::IJob;
using IGlobalTools::IThreadPools;
using IGlobalTools::IThreadQueue;

// The test owns the storage, so Release only records; Verdict says what the tool did.
class ProbeJob : public IJob {
public:
    explicit ProbeJob(std::function<void()> body = nullptr) : body_(std::move(body)) {}
    void Run() override {
        if (releases_ != 0) runAfterRelease_ = true;
        thread_ = ::GetCurrentThreadId();
        ++runs_;
        if (body_) body_();
    }
    void Release() override { ++releases_; }
    int runs() const { return runs_; }
    int releases() const { return releases_; }
    DWORD thread() const { return thread_; }
    std::string Verdict() const {
        if (runAfterRelease_) return "run after release";
        if (releases_ == 1 && runs_ <= 1) return runs_ == 1 ? "run then released" : "released unrun";
        if (runs_ == 0 && releases_ == 0) return "untouched";
        return "run " + std::to_string(runs_) + " times, released " + std::to_string(releases_) + " times";
    }
    std::function<void()> body_;

private:
    std::atomic<int> runs_{0}, releases_{0};
    std::atomic<bool> runAfterRelease_{false};
    std::atomic<DWORD> thread_{0};
};

// Holds the jobs that wait on it until opened; at most 10 s, so a failing test cannot hang.
struct Gate {
    Event event{Event::ResetMode::Manual};
    void Open() { event.Set(); }
    void Wait() const { event.Wait(10000); }
};

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    for (const ULONGLONG end = ::GetTickCount64() + timeoutMs; !done(); ::Sleep(1))
        if (::GetTickCount64() >= end) return done();
    return true;
}

struct StopAndRelease {
    template <typename Tool>
    void operator()(Tool* tool) const {
        tool->Stop();
        tool->Release();
    }
};
using Pool = std::unique_ptr<IThreadPools, StopAndRelease>;
using Queue = std::unique_ptr<IThreadQueue, StopAndRelease>;

int Workers() {  // 2 x processors + 2 after Start
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return 2 * static_cast<int>(system.dwNumberOfProcessors) + 2;
}

// Jobs that each hold a worker until their own gate opens.
struct Blockers {
    std::deque<Gate> gates;
    std::deque<ProbeJob> jobs;
    std::atomic<size_t> started{0};

    ~Blockers() { OpenAll(); }
    bool Post(IThreadPools* pool, int count) {  // true once every job holds a worker
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
        for (const ProbeJob& job : jobs) threads.insert(job.thread());
        return threads;
    }
    void OpenAll() {
        for (Gate& gate : gates) gate.Open();
    }
};

// Refused jobs (before Start, after Stop) are never touched; a null job is taken and dropped; a
// throwing job is still released; a stopped pool starts again.
TEST(ThreadPools, Lifecycle) {
    Pool pool(MakeTool<IThreadPools>(ToolIds::IThreadPools).release());
    ProbeJob beforeStart, running([] { throw std::runtime_error("thrown"); }), afterStop, afterRestart;
    EXPECT_EQ(pool->PostJob(&beforeStart), FALSE);
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->PostJob(nullptr), TRUE);
    EXPECT_EQ(pool->PostJob(&running), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(pool->PostJob(&afterStop), FALSE);
    EXPECT_EQ(pool->Stop(), TRUE) << "a second Stop is harmless";
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->PostJob(&afterRestart), TRUE);
    EXPECT_EQ(pool->Stop(), TRUE);
    EXPECT_EQ(beforeStart.Verdict(), "untouched");
    EXPECT_EQ(running.Verdict(), "run then released");
    EXPECT_EQ(afterStop.Verdict(), "untouched");
    EXPECT_EQ(afterRestart.Verdict(), "run then released");
}

// With every worker busy, a worker freed within the pause takes the extra job; otherwise, after
// the pause, one new worker runs it and stays: then one more than the first count of jobs run
// side by side on known threads. A second Start adds no worker.
TEST(ThreadPools, BusyPoolWaitsForAFreedWorkerElseGrowsByOne) {
    Pool pool(new CThreadPools(1000));
    EXPECT_EQ(pool->Start(), TRUE);
    EXPECT_EQ(pool->Start(), TRUE);
    Blockers busy;
    ASSERT_TRUE(busy.Post(pool.get(), Workers()));

    ::testing::internal::CaptureStdout();
    ProbeJob freed;
    EXPECT_EQ(pool->PostJob(&freed), TRUE);
    busy.gates[2].Open();
    ASSERT_TRUE(WaitUntil([&] { return freed.releases() == 1; }));
    EXPECT_EQ(freed.thread(), busy.jobs[2].thread());
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed.empty() || printed == "get free thread fail \r\n") << printed;

    Blockers refill;
    ASSERT_TRUE(refill.Post(pool.get(), 1));
    ::testing::internal::CaptureStdout();
    ProbeJob grown;
    EXPECT_EQ(pool->PostJob(&grown), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return grown.runs() == 1; }));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "get free thread fail \r\nget free thread fail, new a thread to execute job \r\n");
    std::set<DWORD> known = busy.Threads();
    EXPECT_EQ(known.count(grown.thread()), 0u) << "the extra job ran on a new worker";
    known.insert(grown.thread());

    busy.OpenAll();
    refill.OpenAll();
    ASSERT_TRUE(WaitUntil([&] { return grown.releases() == 1 && refill.jobs[0].releases() == 1; }));
    ::testing::internal::CaptureStdout();
    Blockers again;
    ASSERT_TRUE(again.Post(pool.get(), Workers() + 1));
    EXPECT_EQ(again.Threads(), known);
    again.OpenAll();
    pool.reset();
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("new a thread"), std::string::npos);
}

// Jobs run one at a time in posting order; a throwing job is released and the queue goes on; a
// job posted from a running job goes to the back.
TEST(ThreadQueue, RunsJobsOneAtATimeInPostingOrder) {
    Queue queue(MakeTool<IThreadQueue>(ToolIds::IThreadQueue).release());
    ASSERT_EQ(queue->Start(), TRUE);
    std::string order;  // written by the one worker only
    Gate gate;
    ProbeJob d([&] { order += 'D'; }), c([&] { order += 'C'; });
    ProbeJob b([&] { order += 'B', throw std::runtime_error("thrown"); });
    ProbeJob hold([&] { gate.Wait(), order += 'G'; });
    ProbeJob a([&] { order += 'A', queue->PostJob(&d); });
    for (ProbeJob* job : {&hold, &a, &b, &c}) queue->PostJob(job);
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return d.releases() == 1; }));
    EXPECT_EQ(order, "GABCD");
    for (ProbeJob* job : {&hold, &a, &b, &c, &d}) EXPECT_EQ(job->Verdict(), "run then released");
}

// Stop lets the running job finish and releases the waiting ones unrun; a job posted while the
// queue is not running is released unrun at once.
TEST(ThreadQueue, StopReleasesWaitingJobsUnrun) {
    Queue queue(MakeTool<IThreadQueue>(ToolIds::IThreadQueue).release());
    ProbeJob beforeStart, afterStop, a, b;
    queue->PostJob(&beforeStart);
    EXPECT_EQ(beforeStart.Verdict(), "released unrun");
    queue->Start();
    Gate gate;
    ProbeJob hold([&] { gate.Wait(); });
    queue->PostJob(&hold);
    ASSERT_TRUE(WaitUntil([&] { return hold.runs() == 1; }));
    queue->PostJob(&a);
    queue->PostJob(&b);
    std::thread opener([&] {
        WaitUntil([] { return false; }, 100);
        gate.Open();
    });
    queue->Stop();
    EXPECT_EQ(hold.Verdict(), "run then released") << "Stop returned before the running job ended";
    opener.join();
    EXPECT_EQ(a.Verdict(), "released unrun");
    EXPECT_EQ(b.Verdict(), "released unrun");
    queue->PostJob(&afterStop);
    EXPECT_EQ(afterStop.Verdict(), "released unrun");
}

// Ownership under load: four threads flood a pool or a queue (some jobs block a while, some post
// a job of their own) while the tool is stopped midway. Every accepted job is run then released,
// or (queue only) released unrun, exactly once; a refused job is never touched; the pool has
// done with every accepted job when Stop returns; the queue runs each poster's jobs in order.
constexpr int kPosters = 4, kJobsPerPoster = 5000, kJobs = kPosters * kJobsPerPoster, kChildEvery = 16;

struct Slot {
    ProbeJob job;
    std::atomic<bool> accepted{false};
    std::atomic<long> runOrder{0};  // 0: never ran
};

struct StressRow {
    const char* name;
    bool queue;
    LONG jobLimit;  // the queue's; 0: the shipped tool from the factory
};

class StressTest : public ::testing::TestWithParam<StressRow> {};

TEST_P(StressTest, EveryJobIsHandledExactlyOnce) {
    const StressRow& row = GetParam();
    Pool pool;
    Queue queue;
    if (row.queue) {
        queue.reset(row.jobLimit ? new CThreadQueue(row.jobLimit)
                                 : MakeTool<IThreadQueue>(ToolIds::IThreadQueue).release());
        ASSERT_EQ(queue->Start(), TRUE);
    } else {
        pool.reset(MakeTool<IThreadPools>(ToolIds::IThreadPools).release());
        ASSERT_EQ(pool->Start(), TRUE);
    }
    std::deque<Slot> slots(kJobs + kJobs / kChildEvery);  // job i at slot i; children after kJobs
    std::atomic<size_t> children{0};
    std::atomic<long> runs{0};
    std::atomic<int> posted{0}, inRun{0};
    std::atomic<bool> stopBegun{false}, concurrent{false};
    auto post = [&](size_t i) {
        slots[i].accepted = row.queue ? (queue->PostJob(&slots[i].job), true) : pool->PostJob(&slots[i].job) == TRUE;
    };
    auto alone = [&] {  // only the queue forbids two jobs at once
        if (++inRun > 1) concurrent = true;
        ::SwitchToThread();
        --inRun;
    };
    for (int i = 0; i < kJobs; ++i) {
        slots[i].job.body_ = [&, i] {
            alone();
            slots[i].runOrder = ++runs;
            if (i % 1000 == 0) ::Sleep(3);
            const size_t child = i % kChildEvery == 0 ? kJobs + children++ : 0;
            if (child != 0 && child < slots.size()) post(child);
        };
    }
    for (size_t c = kJobs; c < slots.size(); ++c) slots[c].job.body_ = alone;

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
    row.queue ? queue->Stop() : static_cast<void>(pool->Stop());
    const size_t used = kJobs + std::min<size_t>(children, kJobs / kChildEvery);
    int accepted = 0, disposedAtStop = 0;
    for (size_t i = 0; i < used; ++i) disposedAtStop += slots[i].job.releases();
    for (std::thread& poster : posters) poster.join();

    int ran = 0;
    for (size_t i = 0; i < used; ++i) {
        const std::string verdict = slots[i].job.Verdict();
        accepted += slots[i].accepted ? 1 : 0;
        ran += i < kJobs ? slots[i].job.runs() : 0;
        const bool fine = slots[i].accepted
                              ? verdict == "run then released" || (row.queue && verdict == "released unrun")
                              : verdict == "untouched";
        ASSERT_TRUE(fine) << (slots[i].accepted ? "job " : "refused job ") << i << ": " << verdict;
    }
    EXPECT_GT(ran, 0);
    EXPECT_LT(ran, kJobs) << "Stop came in the middle of the flood";
    if (!row.queue) {
        EXPECT_EQ(disposedAtStop, accepted) << "every accepted job was done with before Stop returned";
        return;
    }
    EXPECT_FALSE(concurrent) << "two jobs ran at once";
    for (int p = 0; p < kPosters; ++p) {  // each poster's jobs that ran: a prefix, in posting order
        long previous = 0;
        for (int k = 0; k < kJobsPerPoster; ++k) {
            const long order = slots[k * kPosters + p].runOrder;
            ASSERT_TRUE(order == 0 || order > previous) << "job " << k * kPosters + p << " ran out of order";
            previous = order == 0 ? LONG_MAX : order;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Floods, StressTest,
                         ::testing::Values(StressRow{"Pool", false, 0}, StressRow{"QueueShippedLimit", true, 0},
                                           StressRow{"QueueLimitOfFour", true, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
