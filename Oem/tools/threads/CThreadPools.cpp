#include "CThreadPools.h"

#include <cstdio>
#include <new>
#include <utility>

#include "JobCalls.h"

namespace {

void Print(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
}

}  // namespace

CThreadPools::CThreadPools(DWORD growthPauseMs, ThreadStarter startThread)
    : growthPauseMs_(growthPauseMs), startThread_(startThread) {}

BOOL CThreadPools::PostJob(IGlobalTools::IJob* job) {
    ScopedLock queue(queueLock_);
    if (!accepting_) return FALSE;
    try {
        jobs_.push_back(job);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    // A job the dispatcher would never be woken for is refused and stays the caller's.
    if (!jobSemaphore_->Release()) {
        jobs_.pop_back();
        return FALSE;
    }
    return TRUE;
}

BOOL CThreadPools::Start() {
    ScopedLock lifecycle(lifecycleLock_);
    // A running pool keeps the workers and dispatcher it has.
    if (started_) return TRUE;

    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const DWORD workerCount = 2 * system.dwNumberOfProcessors + 2;
    bool anyWorker = false;
    for (DWORD i = 0; i < workerCount; ++i) {
        if (AddStartedWorker()) anyWorker = true;
    }

    if (anyWorker) {
        stopEvent_.emplace(Event::ResetMode::Auto);
        jobSemaphore_.emplace(0, kMaxQueuedJobs);
        if (stopEvent_->valid() && jobSemaphore_->valid()) {
            dispatcher_ = ScopedThread(startThread_(&CThreadPools::DispatcherMain, this));
            started_ = dispatcher_.valid();
        }
    }
    if (!started_) {
        // Nothing can run jobs: undo what was built; PostJob keeps refusing.
        Shutdown();
        return TRUE;
    }
    ScopedLock queue(queueLock_);
    accepting_ = true;
    return TRUE;
}

BOOL CThreadPools::Stop() {
    ScopedLock lifecycle(lifecycleLock_);
    Shutdown();
    return TRUE;
}

void CThreadPools::Shutdown() {
    {
        ScopedLock queue(queueLock_);
        accepting_ = false;
    }
    // The dispatcher serves its semaphore before the stop event, so every job accepted so
    // far is handed to a worker before it ends.
    if (stopEvent_) stopEvent_->Set();
    dispatcher_.Join();

    std::deque<std::unique_ptr<CPoolWorker>> workers;
    std::deque<IGlobalTools::IJob*> leftover;
    {
        ScopedLock queue(queueLock_);
        ScopedLock workerList(workerLock_);
        retiring_ = true;
        workers.swap(allWorkers_);
        idleWorkers_.clear();
        leftover.swap(jobs_);
    }
    // Joined outside the locks: a worker finishing its job takes the queue lock to return
    // to the idle list, and would wait forever for a Stop that waits for it.
    for (auto& worker : workers) worker->RequestStop();
    for (auto& worker : workers) worker->Join();
    workers.clear();
    // Normally empty: the dispatcher handed every queued job out before it ended.
    for (IGlobalTools::IJob* job : leftover) {
        if (job) JobCalls::ReleaseUnrun(job);
    }

    ScopedLock queue(queueLock_);
    retiring_ = false;
    stopEvent_.reset();
    jobSemaphore_.reset();
    started_ = false;
}

void CThreadPools::Release() {
    delete this;
}

DWORD WINAPI CThreadPools::DispatcherMain(void* self) {
    static_cast<CThreadPools*>(self)->DispatcherLoop();
    return 0;
}

void CThreadPools::DispatcherLoop() {
    // The semaphore comes first, so it is served first when both are signalled.
    const HANDLE waits[] = {jobSemaphore_->get(), stopEvent_->get()};
    for (;;) {
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            // The stop event; or a failed wait, which would fail again at once: Stop then
            // releases the jobs left in the queue.
            return;
        }
        if (Dispatch(DispatchMode::FirstTry) == DispatchResult::NoWorkerFree) HandOutWhenBusy();
    }
}

void CThreadPools::HandOutWhenBusy() {
    // Also when a grown worker could not start: the job stays at the front of the queue and
    // goes to the first worker that frees up or can be started, never dropped.
    for (;;) {
        if (WaitForIdleWorker()) return;
        if (Dispatch(DispatchMode::Grow) != DispatchResult::NoWorkerFree) return;
    }
}

bool CThreadPools::WaitForIdleWorker() {
    // The pause lets a worker about to finish take the job instead of a new one. The job
    // goes to that worker as soon as it is idle rather than after the whole pause, so a
    // flood that briefly outruns the workers is not held up for the full pause each time.
    const ULONGLONG end = ::GetTickCount64() + growthPauseMs_;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        const DWORD woken = workerIdle_.Wait(static_cast<DWORD>(end - now));
        if (woken == WAIT_TIMEOUT) return false;
        if (woken != WAIT_OBJECT_0) {
            ::Sleep(static_cast<DWORD>(end - now));  // no event to wait on: pause in full
            return false;
        }
        if (Dispatch(DispatchMode::WithinPause) != DispatchResult::NoWorkerFree) return true;
    }
}

CThreadPools::DispatchResult CThreadPools::Dispatch(DispatchMode mode) {
    ScopedLock queue(queueLock_);
    ScopedLock workerList(workerLock_);
    if (jobs_.empty()) return DispatchResult::NothingToDo;
    IGlobalTools::IJob* job = jobs_.front();
    if (!job) {
        jobs_.pop_front();
        return DispatchResult::NothingToDo;
    }
    if (!idleWorkers_.empty()) {
        CPoolWorker* worker = idleWorkers_.front();
        idleWorkers_.pop_front();
        jobs_.pop_front();
        worker->Assign(job);
        return DispatchResult::Assigned;
    }
    // Whatever follows without a worker, the dispatcher waits for the next one to go idle.
    dispatcherWaiting_ = true;
    if (mode != DispatchMode::Grow) {
        if (mode == DispatchMode::FirstTry) Print("get free thread fail \r\n");
        return DispatchResult::NoWorkerFree;
    }
    Print("get free thread fail, new a thread to execute job \r\n");
    try {
        allWorkers_.push_back(NewWorker());
    } catch (const std::bad_alloc&) {
        return DispatchResult::NoWorkerFree;
    }
    CPoolWorker& grown = *allWorkers_.back();
    if (!grown.Start(startThread_)) {
        allWorkers_.pop_back();
        return DispatchResult::NoWorkerFree;
    }
    // The grown worker joins the idle list only once it has finished this job.
    jobs_.pop_front();
    grown.Assign(job);
    return DispatchResult::Assigned;
}

std::unique_ptr<CPoolWorker> CThreadPools::NewWorker() {
    return std::make_unique<CPoolWorker>(&CThreadPools::ReportIdle, this);
}

// A worker is listed only once it runs: a slot is never left empty, whatever allocation fails
// on the way, so Stop never meets a worker that is not there.
bool CThreadPools::AddStartedWorker() {
    try {
        std::unique_ptr<CPoolWorker> worker = NewWorker();
        ScopedLock queue(queueLock_);
        ScopedLock workers(workerLock_);
        allWorkers_.push_back(std::move(worker));
        try {
            idleWorkers_.push_back(allWorkers_.back().get());
        } catch (const std::bad_alloc&) {
            allWorkers_.pop_back();
            return false;
        }
        if (allWorkers_.back()->Start(startThread_)) return true;
        idleWorkers_.pop_back();
        allWorkers_.pop_back();
    } catch (const std::bad_alloc&) {
        // Not listed; the workers made so far stay.
    }
    return false;
}

void CThreadPools::ReportIdle(void* pool, CPoolWorker* worker) {
    static_cast<CThreadPools*>(pool)->WorkerIdle(worker);
}

void CThreadPools::WorkerIdle(CPoolWorker* worker) {
    ScopedLock queue(queueLock_);
    if (retiring_) return;
    try {
        idleWorkers_.push_back(worker);
    } catch (const std::bad_alloc&) {
        // The worker stays busy in the pool's eyes; no job is lost.
        return;
    }
    if (dispatcherWaiting_) {
        dispatcherWaiting_ = false;
        workerIdle_.Set();
    }
}
