#pragma once

#include "IJob.h"

// How the worker tools call a job they own. An exception thrown by a job must not end the
// worker thread (and with it the host process), so it stops here; Release still follows Run.
namespace JobCalls {

inline void ReleaseUnrun(IGlobalTools::IJob* job) noexcept {
    try {
        job->Release();
    } catch (...) {
    }
}

inline void RunThenRelease(IGlobalTools::IJob* job) noexcept {
    try {
        job->Run();
    } catch (...) {
    }
    ReleaseUnrun(job);
}

}  // namespace JobCalls
