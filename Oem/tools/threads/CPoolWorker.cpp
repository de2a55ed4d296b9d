#include "CPoolWorker.h"

#include "JobCalls.h"

CPoolWorker::CPoolWorker(IdleReport reportIdle, void* owner) : reportIdle_(reportIdle), owner_(owner) {}

bool CPoolWorker::Start(ThreadStarter startThread) {
    if (!stopEvent_.valid() || !jobEvent_.valid()) return false;
    thread_ = ScopedThread(startThread(&CPoolWorker::ThreadMain, this));
    return thread_.valid();
}

void CPoolWorker::Assign(IGlobalTools::IJob* job) {
    job_.store(job);
    jobEvent_.Set();
}

void CPoolWorker::Join() {
    thread_.Join();
    if (IGlobalTools::IJob* job = job_.exchange(nullptr)) JobCalls::ReleaseUnrun(job);
}

DWORD WINAPI CPoolWorker::ThreadMain(void* self) {
    static_cast<CPoolWorker*>(self)->Loop();
    return 0;
}

void CPoolWorker::Loop() {
    // The stop event comes first, so it is served first when both are signalled.
    const HANDLE waits[] = {stopEvent_.get(), jobEvent_.get()};
    for (;;) {
        const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 1) {
            RunAssigned();
            reportIdle_(owner_, this);
            continue;
        }
        // Stop: the pool stops workers only after its dispatcher has ended, so a job
        // assigned just before still belongs to this worker and is run rather than lost.
        // A failed wait would fail again at once; ending the thread avoids a spin, and
        // Join releases a job that arrives afterwards.
        if (woken == WAIT_OBJECT_0) RunAssigned();
        return;
    }
}

void CPoolWorker::RunAssigned() {
    IGlobalTools::IJob* job = job_.exchange(nullptr);
    if (!job) return;
    JobCalls::RunThenRelease(job);
}
