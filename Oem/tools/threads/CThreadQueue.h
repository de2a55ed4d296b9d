#pragma once

#include <windows.h>

#include <deque>
#include <optional>

#include "tools/IGlobalTools.h"
#include "tools/win/CriticalSection.h"
#include "tools/win/Event.h"
#include "tools/win/Semaphore.h"
#include "tools/win/Thread.h"

// One worker thread that runs posted jobs one at a time, in posting order. Stop releases the
// jobs still waiting without running them.
//
// Calling order: Start, any number of PostJob, Stop, Release. Stop and Release must not be
// called from one of the queue's own jobs (Stop waits for the worker thread to end).
class CThreadQueue : public IGlobalTools::IThreadQueue {
public:
    // Most jobs the worker's semaphore counts at once.
    static constexpr LONG kJobLimit = 65535;

    explicit CThreadQueue(LONG jobLimit = kJobLimit, ThreadStarter startThread = &StartWin32Thread);
    CThreadQueue(const CThreadQueue&) = delete;
    CThreadQueue& operator=(const CThreadQueue&) = delete;

    BOOL Start() override;
    void Stop() override;
    void PostJob(IGlobalTools::IJob* job) override;
    void Release() override;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    // Serialises Start and Stop with each other; the worker thread never takes it.
    CriticalSection lifecycleLock_;
    ScopedThread worker_;
    std::optional<Event> stopEvent_;
    std::optional<Semaphore> jobSemaphore_;
    // Lives as long as the object, so a PostJob before Start or after Stop finds a lock.
    CriticalSection lock_;  // guards jobs_, running_ and owedWakeUps_
    std::deque<IGlobalTools::IJob*> jobs_;
    bool running_ = false;
    // Jobs queued while the semaphore was at its limit. The worker adds their counts to the
    // semaphore as it takes counts out, so every queued job gets its own wake-up.
    unsigned long long owedWakeUps_ = 0;
    const LONG jobLimit_;
    const ThreadStarter startThread_;
};
