#pragma once
// Shared by the worker tests: jobs that record what was done with them, gates, bounded waits,
// stdout capture and scripted thread starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/win/Event.h"

namespace JobProbes {

// The test owns the storage, so Release only records; Verdict says what the tool did.
class ProbeJob : public IGlobalTools::IJob {
public:
    explicit ProbeJob(std::function<void()> body = nullptr) : body_(std::move(body)) {}
    void SetBody(std::function<void()> body) { body_ = std::move(body); }
    void Run() override {
        if (releases_ != 0) runAfterRelease_ = true;
        runThread_ = ::GetCurrentThreadId();
        ++runs_;
        if (body_) body_();
    }
    void Release() override { ++releases_; }
    int runs() const { return runs_; }
    int releases() const { return releases_; }
    DWORD runThread() const { return runThread_; }
    std::string Verdict() const {
        const int runs = runs_, releases = releases_;
        if (runAfterRelease_) return "run after release";
        if (releases == 1 && runs <= 1) return runs == 1 ? "run then released" : "released unrun";
        if (runs == 0 && releases == 0) return "untouched";
        return "run " + std::to_string(runs) + " times, released " + std::to_string(releases) + " times";
    }

private:
    std::function<void()> body_;
    std::atomic<int> runs_{0}, releases_{0};
    std::atomic<bool> runAfterRelease_{false};
    std::atomic<DWORD> runThread_{0};
};

// Holds the jobs that wait on it until opened; at most 10 s, so a failing test cannot hang.
struct Gate {
    Event event{Event::ResetMode::Manual};
    void Open() { event.Set(); }
    void Wait() const { event.Wait(10000); }
};

// Polls until done() holds or the time is up; the result of the last poll.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    for (const ULONGLONG end = ::GetTickCount64() + timeoutMs; !done(); ::Sleep(1))
        if (::GetTickCount64() >= end) return done();
    return true;
}

// A pool or queue stopped and released at scope exit, also after a failed assertion.
template <typename Tool>
struct StopAndRelease {
    void operator()(Tool* tool) const {
        tool->Stop();
        tool->Release();
    }
};
template <typename Tool>
using Owned = std::unique_ptr<Tool, StopAndRelease<Tool>>;

template <typename Tool>
Tool* FromFactory(const GUID& identifier) {
    void* object = nullptr;
    return GetToolObject(identifier, &object) == 1 ? static_cast<Tool*>(object) : nullptr;
}

// Standard output while alive; Text() ends the capture.
class StdoutCapture {
public:
    StdoutCapture() { ::testing::internal::CaptureStdout(); }
    ~StdoutCapture() {
        if (capturing_) Text();
    }
    std::string Text() {
        capturing_ = false;
        return ::testing::internal::GetCapturedStdout();
    }

private:
    bool capturing_ = true;
};

// A thread starter following a plan: start number n (from 0) fails or starts suspended as the
// rules say. Suspended threads run on ResumeAll or when the plan ends.
class ThreadStartPlan {
public:
    using Rule = std::function<bool(int startNumber)>;
    ThreadStartPlan(Rule fails, Rule suspends);
    ~ThreadStartPlan();
    static HANDLE Start(LPTHREAD_START_ROUTINE routine, void* parameter);
    void ResumeAll();
    int starts() const;
};

}  // namespace JobProbes
