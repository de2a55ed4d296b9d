#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <optional>

#include "tools/IGlobalTools.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/Event.h"
#include "tools/win/Semaphore.h"
#include "tools/win/Thread.h"
#include "CPoolWorker.h"

// A pool of worker threads sized from the processor count. A dispatcher thread hands each
// posted job to an idle worker; when every worker is busy it waits once and then grows the
// pool by one worker for that job. The pool never shrinks before Stop.
//
// Calling order: Start, any number of PostJob, Stop, Release. Stop and Release must not be
// called from one of the pool's own jobs (Stop waits for every worker thread to end).
class CThreadPools : public IGlobalTools::IThreadPools {
public:
    // How long the dispatcher waits for a worker to free up before it grows the pool.
    static constexpr DWORD kGrowthPauseMs = 300;
    // Most jobs that can wait for a worker at once.
    static constexpr LONG kMaxQueuedJobs = 0xFFFFFFF;

    explicit CThreadPools(DWORD growthPauseMs = kGrowthPauseMs, ThreadStarter startThread = &StartWin32Thread);
    CThreadPools(const CThreadPools&) = delete;
    CThreadPools& operator=(const CThreadPools&) = delete;

    BOOL PostJob(IGlobalTools::IJob* job) override;
    BOOL Start() override;
    BOOL Stop() override;
    void Release() override;

private:
    enum class DispatchResult { NothingToDo, Assigned, NoWorkerFree };
    // FirstTry reports a busy pool on standard output; WithinPause tries again quietly while
    // waiting for a worker; Grow makes a new worker when none is idle.
    enum class DispatchMode { FirstTry, WithinPause, Grow };

    static DWORD WINAPI DispatcherMain(void* self);
    void DispatcherLoop();
    // Every worker was busy for the front job: wait the growth pause for one, then grow.
    void HandOutWhenBusy();
    // True once the front job went to a worker that became idle within the pause.
    bool WaitForIdleWorker();
    DispatchResult Dispatch(DispatchMode mode);
    // Stops and joins every thread and disposes of what is left; the pool can start again.
    void Shutdown();
    // Called by a worker thread after each job.
    static void ReportIdle(void* pool, CPoolWorker* worker);
    void WorkerIdle(CPoolWorker* worker);
    std::unique_ptr<CPoolWorker> NewWorker();
    bool AddStartedWorker();

    // Serialises Start and Stop with each other; no worker or dispatcher thread takes it.
    CriticalSection lifecycleLock_;
    CriticalSection workerLock_;  // guards allWorkers_
    std::deque<CPoolWorker*> idleWorkers_;
    std::deque<std::unique_ptr<CPoolWorker>> allWorkers_;
    CriticalSection queueLock_;  // guards jobs_, idleWorkers_ and the flags but started_
    std::deque<IGlobalTools::IJob*> jobs_;
    std::optional<Event> stopEvent_;
    ScopedThread dispatcher_;
    std::optional<Semaphore> jobSemaphore_;
    // Set by a worker joining the idle list while the dispatcher waits for one.
    Event workerIdle_{Event::ResetMode::Auto};
    bool started_ = false;  // the dispatcher runs; guarded by lifecycleLock_
    // Jobs are taken only between a successful Start and the beginning of Stop. A flag
    // rather than a poll of the auto-reset stop event, which would consume the signal.
    bool accepting_ = false;
    // Set while Stop joins the workers: a worker finishing its last job then stays off the
    // idle list, which Stop has already emptied.
    bool retiring_ = false;
    // The dispatcher found no idle worker and waits for workerIdle_.
    bool dispatcherWaiting_ = false;
    const DWORD growthPauseMs_;
    const ThreadStarter startThread_;
};
