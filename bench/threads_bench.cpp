// Throughput and hand-off latency of the tool kit's thread pool and job queue, side by side
// with the Windows thread pool (TrySubmitThreadpoolCallback). Not a test: run it by hand.
//   threads_bench.exe [jobs] [samples]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "tools/win/Event.h"

namespace {

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Seconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// What every contender runs: Run notes the time, Release counts and signals when the last
// job is done with (after Release the tool no longer touches the job, so it may go).
struct Work {
    std::atomic<long> remaining{0};
    std::atomic<LONGLONG> ranAt{0};
    Event done{Event::ResetMode::Auto};

    void Expect(long count) { remaining = count; }
    void Ran() { ranAt = Now(); }
    void Released() {
        if (--remaining == 0) done.Set();
    }
};

class BenchJob : public IGlobalTools::IJob {
public:
    explicit BenchJob(Work* work) : work_(work) {}
    void Run() override { work_->Ran(); }
    void Release() override { work_->Released(); }

private:
    Work* work_;
};

// One way of handing a job over.
struct Contender {
    const char* name;
    std::function<void(IGlobalTools::IJob*)> post;
};

void CALLBACK SystemPoolCallback(PTP_CALLBACK_INSTANCE, void* context) {
    auto* job = static_cast<IGlobalTools::IJob*>(context);
    job->Run();
    job->Release();
}

struct Result {
    double jobsPerSecond;
    double medianMicroseconds;
};

Result Measure(const Contender& contender, long jobs, int samples) {
    Work work;
    std::vector<BenchJob> pool(static_cast<size_t>(jobs), BenchJob(&work));
    // Warm up: every thread exists and has run once.
    work.Expect(64);
    for (int i = 0; i < 64; ++i) contender.post(&pool[i]);
    work.done.Wait(INFINITE);

    work.Expect(jobs);
    const LONGLONG start = Now();
    for (BenchJob& job : pool) contender.post(&job);
    work.done.Wait(INFINITE);
    const double throughput = static_cast<double>(jobs) / Seconds(Now() - start);

    // One job at a time into an idle contender: post to Run.
    std::vector<double> latencies;
    for (int i = 0; i < samples; ++i) {
        work.Expect(1);
        const LONGLONG posted = Now();
        contender.post(&pool[0]);
        work.done.Wait(INFINITE);
        latencies.push_back(Seconds(work.ranAt.load() - posted) * 1e6);
    }
    std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
    return {throughput, latencies[latencies.size() / 2]};
}

template <typename Tool>
Tool* Make(const GUID& identifier) {
    void* object = nullptr;
    GetToolObject(identifier, &object);
    return static_cast<Tool*>(object);
}

}  // namespace

int main(int argc, char** argv) {
    const long jobs = argc > 1 ? std::atol(argv[1]) : 20000;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (jobs < 64 || samples < 1) {
        std::fprintf(stderr, "usage: threads_bench [jobs >= 64] [samples >= 1]\n");
        return 2;
    }

    auto* pool = Make<IGlobalTools::IThreadPools>(ToolIds::IThreadPools);
    auto* queue = Make<IGlobalTools::IThreadQueue>(ToolIds::IThreadQueue);
    pool->Start();
    queue->Start();
    const Contender contenders[] = {
        {"IThreadPools (CThreadPools)", [pool](IGlobalTools::IJob* job) { pool->PostJob(job); }},
        {"IThreadQueue (CThreadQueue)", [queue](IGlobalTools::IJob* job) { queue->PostJob(job); }},
        {"Windows pool (TrySubmitThreadpoolCallback)",
         [](IGlobalTools::IJob* job) { ::TrySubmitThreadpoolCallback(&SystemPoolCallback, job, nullptr); }},
    };

    std::printf("%ld jobs posted from one thread; median of %d single hand-offs\n\n", jobs, samples);
    std::printf("%-44s %14s %22s\n", "contender", "jobs/s", "median post->Run (us)");
    for (const Contender& contender : contenders) {
        const Result result = Measure(contender, jobs, samples);
        std::printf("%-44s %14.0f %22.1f\n", contender.name, result.jobsPerSecond, result.medianMicroseconds);
        std::fflush(stdout);
    }

    pool->Stop();
    pool->Release();
    queue->Stop();
    queue->Release();
    return 0;
}
