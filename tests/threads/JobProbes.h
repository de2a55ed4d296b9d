#pragma once
// Jobs that record what a worker tool did with them, and the small tools the worker tests
// share: gates that hold jobs, bounded waits, stdout capture and scripted thread starts.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/win/Event.h"

namespace JobProbes {

// The test owns the storage, so Release only records. What the tool did shows in Verdict.
class ProbeJob : public IGlobalTools::IJob {
public:
    ProbeJob() = default;
    explicit ProbeJob(std::function<void()> body) : body_(std::move(body)) {}

    void SetBody(std::function<void()> body) { body_ = std::move(body); }
    void Run() override;
    void Release() override;

    int runs() const { return runs_.load(); }
    int releases() const { return releases_.load(); }
    DWORD runThread() const { return runThread_.load(); }
    bool touched() const { return runs() != 0 || releases() != 0; }
    // "run then released", "released unrun", "untouched", or what went wrong.
    std::string Verdict() const;

private:
    std::function<void()> body_;
    std::atomic<int> runs_{0};
    std::atomic<int> releases_{0};
    std::atomic<bool> runAfterRelease_{false};
    std::atomic<DWORD> runThread_{0};
};

// Holds the jobs that wait on it until opened. A job waits at most 10 s, so a failing test
// cannot hang the program.
class Gate {
public:
    void Open() { event_.Set(); }
    void Wait() const { event_.Wait(10000); }

private:
    Event event_{Event::Reset::Manual};
};

// Polls until done() holds or the time is up; the result of the last poll.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Ids of the threads that ran jobs, in a set shared by the jobs.
class ThreadIds {
public:
    void Add(DWORD id);
    std::set<DWORD> Get() const;
    size_t Count() const { return Get().size(); }

private:
    mutable std::mutex mutex_;
    std::set<DWORD> ids_;
};

// Owns a pool or a queue: stops and releases it at scope exit, also after a failed assertion.
template <typename Tool>
class ToolOwner {
public:
    explicit ToolOwner(Tool* tool) : tool_(tool) {}
    ~ToolOwner() {
        tool_->Stop();
        tool_->Release();
    }
    ToolOwner(const ToolOwner&) = delete;
    ToolOwner& operator=(const ToolOwner&) = delete;
    Tool* operator->() const { return tool_; }
    Tool* get() const { return tool_; }

private:
    Tool* tool_;
};

// A tool from the factory, as every consumer gets it.
template <typename Tool>
Tool* FromFactory(const GUID& identifier) {
    void* object = nullptr;
    return GetToolObject(identifier, &object) == 1 ? static_cast<Tool*>(object) : nullptr;
}

// 2 x processors + 2: the pool's worker count after Start.
unsigned PoolWorkerCount();

// Standard output of this process while alive; Text() ends the capture.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    std::string Text();

private:
    bool capturing_ = true;
};

// A thread starter that follows a plan: start number n (from 0) fails or starts suspended
// as the plan says. Suspended threads run once ResumeAll is called.
class ThreadStartPlan {
public:
    using Rule = std::function<bool(int startNumber)>;
    ThreadStartPlan(Rule fails, Rule suspends);
    ~ThreadStartPlan();  // resumes what is still suspended
    static HANDLE Start(LPTHREAD_START_ROUTINE routine, void* parameter);
    void ResumeAll();
    int starts() const;
};

}  // namespace JobProbes
