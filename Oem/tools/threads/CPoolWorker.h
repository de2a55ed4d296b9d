#pragma once

#include <windows.h>

#include <atomic>

#include "tools/win/Event.h"
#include "tools/job/IJob.h"
#include "tools/win/Thread.h"

// One thread of a pool. It waits for an assigned job or for the order to stop, and after
// each job reports itself idle to its owner, which puts it back on its idle list.
class CPoolWorker {
public:
    // Called on the worker's thread after each job.
    using IdleReport = void (*)(void* owner, CPoolWorker* worker);

    CPoolWorker(IdleReport reportIdle, void* owner);
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
    const IdleReport reportIdle_;
    void* const owner_;
};
