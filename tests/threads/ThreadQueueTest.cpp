// The job queue as callers reach it: through GetToolObject with the shipped semaphore limit,
// constructed directly where a test needs a small limit or scripted thread starts.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "JobProbes.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadQueue.h"

namespace {

using IGlobalTools::IThreadQueue;
using JobProbes::Gate;
using JobProbes::ProbeJob;
using JobProbes::ThreadIds;
using JobProbes::ThreadStartPlan;
using JobProbes::WaitUntil;
using Lines = std::vector<std::string>;

using Queue = JobProbes::ToolOwner<IThreadQueue>;

IThreadQueue* ShippedQueue() {
    return JobProbes::FromFactory<IThreadQueue>(ToolIds::IThreadQueue);
}

class Journal {
public:
    void Add(std::string line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(std::move(line));
    }
    Lines Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    Lines lines_;
};

// Writes "<name> runs", "<name> ran" and "<name> released" to the journal.
class JournalJob : public IGlobalTools::IJob {
public:
    JournalJob(Journal& journal, std::string name, std::function<void()> body = nullptr)
        : journal_(journal), name_(std::move(name)), body_(std::move(body)) {}
    void Run() override {
        journal_.Add(name_ + " runs");
        if (body_) body_();
        journal_.Add(name_ + " ran");
    }
    void Release() override { journal_.Add(name_ + " released"); }

private:
    Journal& journal_;
    std::string name_;
    std::function<void()> body_;
};

Lines RunLines(std::initializer_list<const char*> names) {
    Lines lines;
    for (const char* name : names) {
        lines.push_back(std::string(name) + " runs");
        lines.push_back(std::string(name) + " ran");
        lines.push_back(std::string(name) + " released");
    }
    return lines;
}

TEST(ThreadQueue, FactoryMakesANewQueueEachTime) {
    Queue first(ShippedQueue());
    ASSERT_NE(first.get(), nullptr);
    ProbeJob job;
    {
        Queue second(ShippedQueue());
        EXPECT_NE(first.get(), second.get());
        second->Start();
    }
    first->Start();
    first->PostJob(&job);
    EXPECT_TRUE(WaitUntil([&] { return job.releases() == 1; }));
    EXPECT_EQ(job.Verdict(), "run then released") << "still usable after the other went";
}

TEST(ThreadQueue, RunsJobsOneAtATimeInPostingOrder) {
    Queue queue(ShippedQueue());
    ASSERT_EQ(queue->Start(), TRUE);
    Journal journal;
    Gate gate;
    JournalJob hold(journal, "G", [&] { gate.Wait(); });
    JournalJob a(journal, "A", [] { ::Sleep(5); }), b(journal, "B"), c(journal, "C");
    queue->PostJob(&hold);
    queue->PostJob(&a);
    queue->PostJob(&b);
    queue->PostJob(&c);
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return journal.Get().size() == 12; }));
    EXPECT_EQ(journal.Get(), RunLines({"G", "A", "B", "C"}));
}

TEST(ThreadQueue, JobPostedFromARunningJobRunsAfterIt) {
    Queue queue(ShippedQueue());
    queue->Start();
    Journal journal;
    JournalJob second(journal, "B");
    JournalJob first(journal, "A", [&] {
        queue->PostJob(&second);
        ::Sleep(20);
    });
    queue->PostJob(&first);
    ASSERT_TRUE(WaitUntil([&] { return journal.Get().size() == 6; }));
    EXPECT_EQ(journal.Get(), RunLines({"A", "B"}));
}

TEST(ThreadQueue, StopLetsTheRunningJobFinishAndReleasesTheWaitingOnesUnrun) {
    Queue queue(ShippedQueue());
    queue->Start();
    Journal journal;
    Gate gate;
    JournalJob hold(journal, "G", [&] { gate.Wait(); });
    JournalJob a(journal, "A"), b(journal, "B"), c(journal, "C");
    queue->PostJob(&hold);
    ASSERT_TRUE(WaitUntil([&] { return journal.Get().size() == 1; }));
    queue->PostJob(&a);
    queue->PostJob(&b);
    queue->PostJob(&c);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        queue->Stop();
        stopped = true;
    });
    ::Sleep(100);
    EXPECT_FALSE(stopped.load()) << "Stop waits for the running job";
    gate.Open();
    stopper.join();
    EXPECT_EQ(journal.Get(), (Lines{"G runs", "G ran", "G released", "A released", "B released", "C released"}));
}

TEST(ThreadQueue, JobThatThrowsIsStillReleasedAndTheQueueGoesOn) {
    Queue queue(ShippedQueue());
    queue->Start();
    ProbeJob throwing([] { throw std::runtime_error("job failed"); });
    ProbeJob after;
    queue->PostJob(&throwing);
    queue->PostJob(&after);
    ASSERT_TRUE(WaitUntil([&] { return after.releases() == 1; }));
    EXPECT_EQ(throwing.Verdict(), "run then released");
    EXPECT_EQ(after.Verdict(), "run then released");
}

TEST(ThreadQueue, SecondStartKeepsOneWorker) {
    Queue queue(ShippedQueue());
    EXPECT_EQ(queue->Start(), TRUE);
    EXPECT_EQ(queue->Start(), TRUE);
    std::atomic<int> inRun{0};
    std::atomic<bool> overlapped{false};
    ThreadIds threads;
    std::deque<ProbeJob> jobs;
    for (int i = 0; i < 200; ++i) {
        jobs.emplace_back([&] {
            if (++inRun != 1) overlapped = true;
            threads.Add(::GetCurrentThreadId());
            ::Sleep(i % 20 == 0 ? 1 : 0);
            --inRun;
        });
        queue->PostJob(&jobs.back());
    }
    ASSERT_TRUE(WaitUntil([&] { return jobs.back().releases() == 1; }));
    EXPECT_EQ(threads.Count(), 1u);
    EXPECT_FALSE(overlapped.load());
}

// A queue that has no running worker owns what is posted to it all the same: the job is
// released at once without running.
struct IdlePostRow {
    const char* name;
    bool start;
    bool failThreads;
    bool stopFirst;
};

class QueueIdlePostTest : public ::testing::TestWithParam<IdlePostRow> {};

TEST_P(QueueIdlePostTest, JobIsReleasedUnrunAtOnce) {
    const IdlePostRow& row = GetParam();
    ThreadStartPlan plan([&row](int) { return row.failThreads; }, nullptr);
    Queue queue(new CThreadQueue(CThreadQueue::kJobLimit, &ThreadStartPlan::Start));
    if (row.start) {
        EXPECT_EQ(queue->Start(), row.failThreads ? FALSE : TRUE);
    }
    if (row.stopFirst) {
        queue->Stop();
        queue->Stop();  // harmless a second time
    }
    ProbeJob job;
    queue->PostJob(&job);
    EXPECT_EQ(job.Verdict(), "released unrun");
    queue->PostJob(nullptr);  // nothing to release: dropped
}

INSTANTIATE_TEST_SUITE_P(NotRunning, QueueIdlePostTest,
                         ::testing::Values(IdlePostRow{"BeforeStart", false, false, false},
                                           IdlePostRow{"AfterStop", true, false, true},
                                           IdlePostRow{"WorkerThreadCouldNotStart", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// More jobs waiting than the semaphore can count: each still gets its own wake-up.
struct LimitRow {
    const char* name;
    LONG limit;
    int jobs;
};

class QueueLimitTest : public ::testing::TestWithParam<LimitRow> {};

TEST_P(QueueLimitTest, JobsPastTheLimitStillRunInOrder) {
    const LimitRow& row = GetParam();
    Queue queue(new CThreadQueue(row.limit));
    queue->Start();
    Gate gate;
    ProbeJob hold([&] { gate.Wait(); });
    std::vector<int> order;
    std::deque<ProbeJob> jobs;
    queue->PostJob(&hold);
    for (int i = 0; i < row.jobs; ++i) {
        jobs.emplace_back([&order, i] { order.push_back(i); });
        queue->PostJob(&jobs.back());
    }
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return jobs.back().releases() == 1; }));
    ASSERT_EQ(order.size(), static_cast<size_t>(row.jobs));
    for (int i = 0; i < row.jobs; ++i) ASSERT_EQ(order[i], i);
}

INSTANTIATE_TEST_SUITE_P(Limits, QueueLimitTest,
                         ::testing::Values(LimitRow{"LimitOfTwo", 2, 50}, LimitRow{"LimitOfOneHundred", 100, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
