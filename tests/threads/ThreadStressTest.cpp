// Ownership under load: four threads flood a pool or a queue with jobs, some of which block
// for a while and some of which post a job of their own, while the tool is stopped midway.
// Every job handed over must be run then released, or released unrun, exactly once; a job
// the pool refused must never be touched.
#include <gtest/gtest.h>

#include <atomic>
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
using JobProbes::ProbeJob;
using JobProbes::WaitUntil;

constexpr int kPosters = 4;
constexpr int kChildEvery = 16;    // every 16th job posts a job of its own
constexpr int kBlockEvery = 1000;  // every 1000th job blocks for 3 ms

// The jobs of one flood and what happened when they were posted. Posting is a callable so
// the same flood serves the pool (which may refuse) and the queue (which takes everything).
class Flood {
public:
    using Post = std::function<bool(IJob*)>;

    Flood(int jobsPerPoster, Post post)
        : jobsPerPoster_(jobsPerPoster),
          jobs_(kPosters * jobsPerPoster),
          accepted_(jobs_.size()),
          children_(jobs_.size() / kChildEvery),
          post_(std::move(post)) {
        childAccepted_ = std::vector<std::atomic<bool>>(children_.size());
        runOrder_ = std::vector<std::atomic<long>>(jobs_.size());
        for (int i = 0; i < jobs(); ++i) {
            jobs_[i].SetBody([this, i] { Body(i); });
        }
        for (size_t c = 0; c < children_.size(); ++c) {
            children_[c].SetBody([this] { CheckAlone(); });
        }
    }

    // Posts from four threads; stops the tool through stop() once half the jobs are in. No
    // poster posts its last quarter before Stop has begun, so Stop always meets the flood.
    void RunAndStopMidway(const std::function<void()>& stop) {
        std::vector<std::thread> posters;
        for (int p = 0; p < kPosters; ++p) {
            posters.emplace_back([this, p] {
                for (int k = 0; k < jobsPerPoster_; ++k) {
                    if (k == jobsPerPoster_ * 3 / 4) WaitUntil([this] { return stopBegun_.load(); }, 60000);
                    const int i = k * kPosters + p;
                    const bool taken = post_(&jobs_[i]);
                    accepted_[i] = taken;
                    ++posted_;
                }
            });
        }
        WaitUntil([this] { return posted_.load() >= jobs() / 2; }, 60000);
        stopBegun_ = true;
        stop();
        for (std::thread& poster : posters) poster.join();
    }

    int jobs() const { return static_cast<int>(jobs_.size()); }
    int jobsPerPoster() const { return jobsPerPoster_; }
    const ProbeJob& job(int i) const { return jobs_[i]; }
    bool accepted(int i) const { return accepted_[i]; }
    size_t childrenUsed() const { return std::min<size_t>(nextChild_.load(), children_.size()); }
    const ProbeJob& child(size_t c) const { return children_[c]; }
    bool childAccepted(size_t c) const { return childAccepted_[c]; }
    long runOrder(int i) const { return runOrder_[i]; }  // 0: never ran
    bool concurrent() const { return concurrent_; }
    int refused() const {
        int count = 0;
        for (int i = 0; i < jobs(); ++i) count += accepted_[i] ? 0 : 1;
        return count;
    }

private:
    void Body(int i) {
        CheckAlone();
        runOrder_[i] = ++runs_;
        if (i % kBlockEvery == 0) ::Sleep(3);
        if (i % kChildEvery == 0) {
            const size_t c = nextChild_++;
            if (c < children_.size()) childAccepted_[c] = post_(&children_[c]);
        }
    }
    // Notes whether another job is running at the same moment (only the queue forbids it).
    void CheckAlone() {
        if (++inRun_ > 1) concurrent_ = true;
        ::SwitchToThread();
        --inRun_;
    }

    const int jobsPerPoster_;
    std::deque<ProbeJob> jobs_;
    std::vector<char> accepted_;
    std::deque<ProbeJob> children_;
    Post post_;
    std::vector<std::atomic<bool>> childAccepted_;
    std::vector<std::atomic<long>> runOrder_;
    std::atomic<size_t> nextChild_{0};
    std::atomic<int> posted_{0};
    std::atomic<bool> stopBegun_{false};
    std::atomic<long> runs_{0};
    std::atomic<int> inRun_{0};
    std::atomic<bool> concurrent_{false};
};

int CountDisposed(const Flood& flood) {
    int count = 0;
    for (int i = 0; i < flood.jobs(); ++i) count += flood.job(i).releases();
    for (size_t c = 0; c < flood.childrenUsed(); ++c) count += flood.child(c).releases();
    return count;
}

// The pool: with the shipped pause from the factory, and with a short pause that makes it
// grow often.
struct PoolRow {
    const char* name;
    DWORD growthPauseMs;  // 0: the shipped pool from the factory
    int jobsPerPoster;
};

class PoolStressTest : public ::testing::TestWithParam<PoolRow> {};

TEST_P(PoolStressTest, EveryAcceptedJobRunsOnceAndRefusedJobsAreUntouched) {
    const PoolRow& row = GetParam();
    IGlobalTools::IThreadPools* pool = row.growthPauseMs == 0
                                           ? JobProbes::FromFactory<IGlobalTools::IThreadPools>(ToolIds::IThreadPools)
                                           : new CThreadPools(row.growthPauseMs);
    JobProbes::ToolOwner<IGlobalTools::IThreadPools> owner(pool);
    ASSERT_EQ(pool->Start(), TRUE);
    Flood flood(row.jobsPerPoster, [pool](IJob* job) { return pool->PostJob(job) == TRUE; });
    int disposedWhenStopped = -1;
    flood.RunAndStopMidway([&] {
        pool->Stop();
        disposedWhenStopped = CountDisposed(flood);
    });

    int accepted = 0;
    for (int i = 0; i < flood.jobs(); ++i) {
        accepted += flood.accepted(i) ? 1 : 0;
        ASSERT_EQ(flood.job(i).Verdict(), flood.accepted(i) ? "run then released" : "untouched") << "job " << i;
    }
    for (size_t c = 0; c < flood.childrenUsed(); ++c) {
        accepted += flood.childAccepted(c) ? 1 : 0;
        ASSERT_EQ(flood.child(c).Verdict(), flood.childAccepted(c) ? "run then released" : "untouched")
            << "child " << c;
    }
    EXPECT_EQ(disposedWhenStopped, accepted) << "every accepted job was done with before Stop returned";
    EXPECT_GT(flood.refused(), 0) << "Stop came in the middle of the flood";
}

INSTANTIATE_TEST_SUITE_P(Floods, PoolStressTest,
                         ::testing::Values(PoolRow{"ShippedPause", 0, 5000}, PoolRow{"OneMillisecondPause", 1, 5000}),
                         [](const auto& info) { return std::string(info.param.name); });

// The queue: the shipped one, and one whose semaphore counts only four jobs, so that most
// jobs are posted past its limit.
struct QueueRow {
    const char* name;
    LONG jobLimit;  // 0: the shipped queue from the factory
    int jobsPerPoster;
};

class QueueStressTest : public ::testing::TestWithParam<QueueRow> {};

TEST_P(QueueStressTest, EveryJobIsReleasedOnceAndRunsFormAnOrderedPrefix) {
    const QueueRow& row = GetParam();
    IGlobalTools::IThreadQueue* queue = row.jobLimit == 0
                                            ? JobProbes::FromFactory<IGlobalTools::IThreadQueue>(ToolIds::IThreadQueue)
                                            : new CThreadQueue(row.jobLimit);
    JobProbes::ToolOwner<IGlobalTools::IThreadQueue> owner(queue);
    ASSERT_EQ(queue->Start(), TRUE);
    Flood flood(row.jobsPerPoster, [queue](IJob* job) {
        queue->PostJob(job);
        return true;
    });
    flood.RunAndStopMidway([&] { queue->Stop(); });

    EXPECT_FALSE(flood.concurrent()) << "two jobs ran at once";
    int ran = 0;
    for (int p = 0; p < kPosters; ++p) {
        long previous = 0;
        bool unrunSeen = false;
        for (int k = 0; k < flood.jobsPerPoster(); ++k) {
            const int i = k * kPosters + p;
            const std::string verdict = flood.job(i).Verdict();
            ASSERT_TRUE(verdict == "run then released" || verdict == "released unrun")
                << "job " << i << ": " << verdict;
            if (verdict == "released unrun") {
                unrunSeen = true;
                continue;
            }
            ++ran;
            ASSERT_FALSE(unrunSeen) << "job " << i << " ran after an earlier job of its poster was dropped";
            ASSERT_GT(flood.runOrder(i), previous) << "job " << i << " ran out of posting order";
            previous = flood.runOrder(i);
        }
    }
    for (size_t c = 0; c < flood.childrenUsed(); ++c) {
        const std::string verdict = flood.child(c).Verdict();
        ASSERT_TRUE(verdict == "run then released" || verdict == "released unrun") << "child " << c << ": " << verdict;
    }
    EXPECT_GT(ran, 0);
    EXPECT_LT(ran, flood.jobs()) << "Stop came in the middle of the flood";
}

INSTANTIATE_TEST_SUITE_P(Floods, QueueStressTest,
                         ::testing::Values(QueueRow{"ShippedLimit", 0, 5000}, QueueRow{"LimitOfFour", 4, 5000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
