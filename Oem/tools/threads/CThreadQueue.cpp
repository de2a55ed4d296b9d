#include "CThreadQueue.h"

#include <new>

#include "JobCalls.h"

CThreadQueue::CThreadQueue(LONG jobLimit, ThreadStarter startThread) : jobLimit_(jobLimit), startThread_(startThread) {}

BOOL CThreadQueue::Start() {
    ScopedLock lifecycle(lifecycleLock_);
    // A running queue keeps its one worker.
    if (worker_.valid()) return TRUE;
    stopEvent_.emplace(Event::ResetMode::Auto);
    jobSemaphore_.emplace(0, jobLimit_);
    if (stopEvent_->valid() && jobSemaphore_->valid()) {
        worker_ = ScopedThread(startThread_(&CThreadQueue::ThreadMain, this));
    }
    if (!worker_.valid()) return FALSE;
    ScopedLock queue(lock_);
    running_ = true;
    return TRUE;
}

void CThreadQueue::Stop() {
    ScopedLock lifecycle(lifecycleLock_);
    {
        ScopedLock queue(lock_);
        running_ = false;
    }
    if (stopEvent_) stopEvent_->Set();
    worker_.Join();

    std::deque<IGlobalTools::IJob*> waiting;
    {
        ScopedLock queue(lock_);
        waiting.swap(jobs_);
        owedWakeUps_ = 0;
    }
    // Outside the lock: a job's Release may post again (and have that job released at once).
    for (IGlobalTools::IJob* job : waiting) JobCalls::ReleaseUnrun(job);
    stopEvent_.reset();
    jobSemaphore_.reset();
}

void CThreadQueue::PostJob(IGlobalTools::IJob* job) {
    // Nothing to run or release.
    if (!job) return;
    {
        ScopedLock queue(lock_);
        if (running_) {
            try {
                jobs_.push_back(job);
                if (!jobSemaphore_->Release()) ++owedWakeUps_;
                return;
            } catch (const std::bad_alloc&) {
                // Cannot be queued: disposed of below like a job of a stopped queue.
            }
        }
    }
    // The job is the queue's from here, and no worker will run it (before Start, after Stop,
    // or no thread could start): it is released at once without running, never leaked.
    JobCalls::ReleaseUnrun(job);
}

void CThreadQueue::Release() {
    delete this;
}

DWORD WINAPI CThreadQueue::ThreadMain(void* self) {
    static_cast<CThreadQueue*>(self)->Loop();
    return 0;
}

void CThreadQueue::Loop() {
    // The stop event comes first, so it is served first when both are signalled.
    const HANDLE waits[] = {stopEvent_->get(), jobSemaphore_->get()};
    for (;;) {
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            // The stop event; or a failed wait, which would fail again at once: Stop then
            // releases what is still waiting.
            return;
        }
        IGlobalTools::IJob* job = nullptr;
        {
            ScopedLock queue(lock_);
            if (!jobs_.empty()) {
                job = jobs_.front();
                jobs_.pop_front();
            }
            // This wake-up just made room in the semaphore for one owed count.
            if (owedWakeUps_ > 0 && jobSemaphore_->Release()) --owedWakeUps_;
        }
        if (job) JobCalls::RunThenRelease(job);
    }
}
