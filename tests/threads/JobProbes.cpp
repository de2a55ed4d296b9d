#include "JobProbes.h"

#include <gtest/gtest.h>

namespace JobProbes {

void ProbeJob::Run() {
    if (releases_.load() != 0) runAfterRelease_ = true;
    runThread_ = ::GetCurrentThreadId();
    ++runs_;
    if (body_) body_();
}

void ProbeJob::Release() {
    ++releases_;
}

std::string ProbeJob::Verdict() const {
    const int runs = runs_.load();
    const int releases = releases_.load();
    if (runAfterRelease_) return "run after release";
    if (runs == 1 && releases == 1) return "run then released";
    if (runs == 0 && releases == 1) return "released unrun";
    if (runs == 0 && releases == 0) return "untouched";
    return "run " + std::to_string(runs) + " times, released " + std::to_string(releases) + " times";
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return done();
        ::Sleep(1);
    }
    return true;
}

void ThreadIds::Add(DWORD id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.insert(id);
}

std::set<DWORD> ThreadIds::Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_;
}

unsigned PoolWorkerCount() {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    return 2 * system.dwNumberOfProcessors + 2;
}

StdoutCapture::StdoutCapture() {
    ::testing::internal::CaptureStdout();
}

StdoutCapture::~StdoutCapture() {
    if (capturing_) Text();
}

std::string StdoutCapture::Text() {
    capturing_ = false;
    return ::testing::internal::GetCapturedStdout();
}

namespace {

std::mutex planMutex;
ThreadStartPlan::Rule planFails;
ThreadStartPlan::Rule planSuspends;
int planStarts = 0;
std::vector<HANDLE> suspendedThreads;

}  // namespace

ThreadStartPlan::ThreadStartPlan(Rule fails, Rule suspends) {
    std::lock_guard<std::mutex> lock(planMutex);
    planFails = std::move(fails);
    planSuspends = std::move(suspends);
    planStarts = 0;
}

ThreadStartPlan::~ThreadStartPlan() {
    ResumeAll();
    std::lock_guard<std::mutex> lock(planMutex);
    planFails = nullptr;
    planSuspends = nullptr;
}

HANDLE ThreadStartPlan::Start(LPTHREAD_START_ROUTINE routine, void* parameter) {
    std::lock_guard<std::mutex> lock(planMutex);
    const int number = planStarts++;
    if (planFails && planFails(number)) return nullptr;
    const bool suspend = planSuspends && planSuspends(number);
    HANDLE thread = ::CreateThread(nullptr, 0, routine, parameter, suspend ? CREATE_SUSPENDED : 0, nullptr);
    if (thread && suspend) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        suspendedThreads.push_back(copy);
    }
    return thread;
}

void ThreadStartPlan::ResumeAll() {
    std::lock_guard<std::mutex> lock(planMutex);
    for (HANDLE thread : suspendedThreads) {
        ::ResumeThread(thread);
        ::CloseHandle(thread);
    }
    suspendedThreads.clear();
}

int ThreadStartPlan::starts() const {
    std::lock_guard<std::mutex> lock(planMutex);
    return planStarts;
}

}  // namespace JobProbes
