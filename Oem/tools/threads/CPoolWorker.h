#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "tools/win/Event.h"
#include "tools/win/Thread.h"
#include "IJob.h"

class CThreadPools;

// One thread of the pool. It waits for an assigned job or for the order to stop, and after
// each job puts itself back on the pool's idle list.
class CPoolWorker {
public:
    explicit CPoolWorker(CThreadPools& pool);
    CPoolWorker(const CPoolWorker&) = delete;
    CPoolWorker& operator=(const CPoolWorker&) = delete;

    // False when the events or the thread could not be made; the worker is then unusable.
    bool Start(ThreadStarter startThread);
    // Hands a job over and wakes the thread. Only an idle, started worker gets one.
    void Assign(IGlobalTools::IJob* job);
    void RequestStop() { stopEvent_.Set(); }
    // Waits for the thread to end. A job still assigned then is released unrun, so a job
    // handed to this worker is disposed of exactly once whatever the thread managed to do.
    void Join();

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();
    void RunAssigned();

    Event stopEvent_{Event::ResetMode::Auto};
    Event jobEvent_{Event::ResetMode::Auto};
    ScopedThread thread_;
    std::atomic<IGlobalTools::IJob*> job_{nullptr};
    CThreadPools& pool_;
    std::uint64_t jobsRun_ = 0;
};
