// Ownership under load: four threads flood a pool or a queue with jobs (some block a while, some
// post a job of their own) while the tool is stopped midway. Every accepted job is run then
// released, or (queue only) released unrun, exactly once; a refused job is never touched.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "JobProbes.h"
#include "tools/ToolIds.h"
#include "tools/threads/CThreadPools.h"
#include "tools/threads/CThreadQueue.h"

namespace {

using IGlobalTools::IJob;
using namespace JobProbes;

constexpr int kPosters = 4;
constexpr int kJobsPerPoster = 5000;
constexpr int kJobs = kPosters * kJobsPerPoster;
constexpr int kChildEvery = 16;    // every 16th job posts a child job
constexpr int kBlockEvery = 1000;  // every 1000th job blocks for 3 ms

// Job i (poster i % 4) sits at slot i; children take the slots after kJobs.
struct Slot {
    ProbeJob job;
    std::atomic<bool> accepted{false};
    std::atomic<long> runOrder{0};  // 0: never ran
};

struct Flood {
    std::deque<Slot> slots;
    std::function<bool(IJob*)> post;
    std::atomic<size_t> children{0};
    std::atomic<int> posted{0}, inRun{0};
    std::atomic<long> runs{0};
    std::atomic<bool> stopBegun{false}, concurrent{false};

    explicit Flood(std::function<bool(IJob*)> poster) : slots(kJobs + kJobs / kChildEvery), post(std::move(poster)) {
        for (int i = 0; i < kJobs; ++i) slots[i].job.SetBody([this, i] { Body(i); });
        for (size_t c = kJobs; c < slots.size(); ++c) slots[c].job.SetBody([this] { CheckAlone(); });
    }
    size_t used() const { return kJobs + std::min<size_t>(children, kJobs / kChildEvery); }
    void Post(size_t i) { slots[i].accepted = post(&slots[i].job); }
    void Body(int i) {
        CheckAlone();
        slots[i].runOrder = ++runs;
        if (i % kBlockEvery == 0) ::Sleep(3);
        const size_t c = i % kChildEvery == 0 ? kJobs + children++ : 0;
        if (c != 0 && c < slots.size()) Post(c);
    }
    void CheckAlone() {  // only the queue forbids two jobs at once
        if (++inRun > 1) concurrent = true;
        ::SwitchToThread();
        --inRun;
    }
    // Stops the tool once half the jobs are in; no poster posts its last quarter before then.
    void RunAndStopMidway(const std::function<void()>& stop) {
        std::vector<std::thread> posters;
        for (int p = 0; p < kPosters; ++p) {
            posters.emplace_back([this, p] {
                for (int k = 0; k < kJobsPerPoster; ++k, ++posted) {
                    if (k == kJobsPerPoster * 3 / 4) WaitUntil([this] { return stopBegun.load(); }, 60000);
                    Post(k * kPosters + p);
                }
            });
        }
        WaitUntil([this] { return posted >= kJobs / 2; }, 60000);
        stopBegun = true;
        stop();
        for (std::thread& poster : posters) poster.join();
    }
};

struct StressRow {
    const char* name;
    bool queue;
    DWORD setting;  // growth pause or job limit; 0: the shipped tool from the factory
};

class StressTest : public ::testing::TestWithParam<StressRow> {};

TEST_P(StressTest, EveryJobIsHandledExactlyOnce) {
    const StressRow& row = GetParam();
    Owned<IGlobalTools::IThreadPools> pool;
    Owned<IGlobalTools::IThreadQueue> queue;
    if (row.queue) {
        queue.reset(row.setting ? new CThreadQueue(static_cast<LONG>(row.setting))
                                : FromFactory<IGlobalTools::IThreadQueue>(ToolIds::IThreadQueue));
        ASSERT_EQ(queue->Start(), TRUE);
    } else {
        pool.reset(row.setting ? new CThreadPools(row.setting)
                               : FromFactory<IGlobalTools::IThreadPools>(ToolIds::IThreadPools));
        ASSERT_EQ(pool->Start(), TRUE);
    }
    Flood flood([&](IJob* job) {
        if (!row.queue) return pool->PostJob(job) == TRUE;
        queue->PostJob(job);
        return true;
    });
    int disposedAtStop = 0;
    flood.RunAndStopMidway([&] {
        row.queue ? queue->Stop() : static_cast<void>(pool->Stop());
        for (size_t i = 0; i < flood.used(); ++i) disposedAtStop += flood.slots[i].job.releases();
    });

    int accepted = 0, ran = 0;
    for (size_t i = 0; i < flood.used(); ++i) {
        const Slot& slot = flood.slots[i];
        const std::string verdict = slot.job.Verdict();
        accepted += slot.accepted ? 1 : 0;
        ran += i < kJobs ? slot.job.runs() : 0;
        if (!slot.accepted) {
            ASSERT_EQ(verdict, "untouched") << "refused job " << i;
        } else {
            ASSERT_TRUE(verdict == "run then released" || (row.queue && verdict == "released unrun"))
                << "job " << i << ": " << verdict;
        }
    }
    EXPECT_GT(ran, 0);
    EXPECT_LT(ran, kJobs) << "Stop came in the middle of the flood";
    if (!row.queue) {
        EXPECT_EQ(disposedAtStop, accepted) << "every accepted job was done with before Stop returned";
        return;
    }
    EXPECT_FALSE(flood.concurrent) << "two jobs ran at once";
    for (int p = 0; p < kPosters; ++p) {  // each poster's jobs that ran: a prefix, in posting order
        long previous = 0;
        for (int k = 0; k < kJobsPerPoster; ++k) {
            const long order = flood.slots[k * kPosters + p].runOrder;
            if (order == 0) previous = LONG_MAX;
            ASSERT_TRUE(order == 0 || order > previous) << "job " << k * kPosters + p << " ran out of order";
            if (order != 0) previous = order;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Floods, StressTest,
                         ::testing::Values(StressRow{"PoolShippedPause", false, 0},
                                           StressRow{"PoolOneMillisecondPause", false, 1},
                                           StressRow{"QueueShippedLimit", true, 0},
                                           StressRow{"QueueLimitOfFour", true, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
