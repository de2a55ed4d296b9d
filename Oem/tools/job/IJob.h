#pragma once
// The job interface: what the thread tools run and what the tool interfaces hand them. A header
// target of its own (oemjob), so that both include it without reaching into the other's folder.

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
