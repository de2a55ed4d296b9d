#pragma once

#include "tools/job/IJob.h"
#include "tools/win/CatchResult.h"

// How the worker tools call a job they own. An exception thrown by a job must not end the
// worker thread (and with it the host process), so it stops here; Release still follows Run.
namespace JobCalls {

inline void ReleaseUnrun(IGlobalTools::IJob* job) noexcept {
    CatchAll([job] { job->Release(); });
}

inline void RunThenRelease(IGlobalTools::IJob* job) noexcept {
    CatchAll([job] { job->Run(); });
    ReleaseUnrun(job);
}

}  // namespace JobCalls
