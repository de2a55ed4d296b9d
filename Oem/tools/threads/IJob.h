#pragma once

namespace IGlobalTools {

// A unit of work handed to a thread pool or a job queue. Once handed over successfully the
// job belongs to the receiver, which calls Run then Release exactly once, or Release alone
// when it stops before running it.
class IJob {
public:
    virtual ~IJob() = default;
    virtual void Run() = 0;
    virtual void Release() = 0;
};

}  // namespace IGlobalTools
