// The job queue: from GetToolObject with the shipped semaphore limit, constructed directly for
// a small limit or scripted thread starts.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "JobProbes.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadQueue.h"

namespace {

using IGlobalTools::IThreadQueue;
using namespace JobProbes;
using Queue = Owned<IThreadQueue>;

Queue ShippedQueue() {
    return Queue(FromFactory<IThreadQueue>(ToolIds::IThreadQueue));
}

// Jobs run one at a time in posting order; one posted from a running job goes to the back.
TEST(ThreadQueue, RunsJobsOneAtATimeInPostingOrder) {
    Queue queue = ShippedQueue(), other = ShippedQueue();
    ASSERT_NE(queue.get(), nullptr);
    EXPECT_NE(queue.get(), other.get()) << "each factory call gives a queue of its own";
    other->Start();
    other.reset();
    ASSERT_EQ(queue->Start(), TRUE);
    std::string order;  // written by the one worker only
    Gate gate;
    ProbeJob d([&] { order += 'D'; }), c([&] { order += 'C'; });
    ProbeJob b([&] {
        order += 'B';
        throw std::runtime_error("a job that throws is still released and the queue goes on");
    });
    ProbeJob hold([&] {
        gate.Wait();
        order += 'G';
    });
    ProbeJob a([&] {
        order += 'A';
        queue->PostJob(&d);
    });
    for (ProbeJob* job : {&hold, &a, &b, &c}) queue->PostJob(job);
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return d.releases() == 1; }));
    EXPECT_EQ(order, "GABCD");
    for (ProbeJob* job : {&hold, &a, &b, &c, &d}) EXPECT_EQ(job->Verdict(), "run then released");
}

TEST(ThreadQueue, StopLetsTheRunningJobFinishAndReleasesTheWaitingOnesUnrun) {
    Queue queue = ShippedQueue();
    queue->Start();
    Gate gate;
    ProbeJob hold([&] { gate.Wait(); }), a, b;
    queue->PostJob(&hold);
    ASSERT_TRUE(WaitUntil([&] { return hold.runs() == 1; }));
    queue->PostJob(&a);
    queue->PostJob(&b);
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        queue->Stop();
        stopped = true;
    });
    ::Sleep(100);
    EXPECT_FALSE(stopped.load()) << "Stop waits for the running job";
    gate.Open();
    stopper.join();
    EXPECT_EQ(hold.Verdict(), "run then released");
    EXPECT_EQ(a.Verdict(), "released unrun");
    EXPECT_EQ(b.Verdict(), "released unrun");
}

// A queue without a running worker owns what is posted all the same: released unrun at once.
struct IdlePostRow {
    const char* name;
    bool start, failThreads, stopFirst;
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

// Jobs past the semaphore's limit still each get a wake-up; one worker, also after a second Start.
struct LimitRow {
    const char* name;
    LONG limit;
    int jobs, starts;
};

class QueueLimitTest : public ::testing::TestWithParam<LimitRow> {};

TEST_P(QueueLimitTest, JobsPastTheLimitRunInOrderOnOneWorker) {
    const LimitRow& row = GetParam();
    Queue queue(new CThreadQueue(row.limit));
    for (int i = 0; i < row.starts; ++i) EXPECT_EQ(queue->Start(), TRUE);
    Gate gate;
    ProbeJob hold([&] { gate.Wait(); });
    std::vector<int> order;
    std::deque<ProbeJob> jobs;
    queue->PostJob(&hold);
    for (int i = 0; i < row.jobs; ++i) queue->PostJob(&jobs.emplace_back([&order, i] { order.push_back(i); }));
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return jobs.back().releases() == 1; }));
    ASSERT_EQ(order.size(), static_cast<size_t>(row.jobs));
    for (int i = 0; i < row.jobs; ++i) {
        ASSERT_EQ(order[i], i);
        ASSERT_EQ(jobs[i].runThread(), hold.runThread()) << "one worker runs every job";
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, QueueLimitTest,
                         ::testing::Values(LimitRow{"LimitOfTwo", 2, 50, 1},
                                           LimitRow{"LimitOfOneHundred", 100, 1000, 1},
                                           LimitRow{"ShippedLimitStartedTwice", CThreadQueue::kJobLimit, 200, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
