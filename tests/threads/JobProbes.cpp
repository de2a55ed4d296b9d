#include "JobProbes.h"

#include <mutex>
#include <vector>

namespace JobProbes {

namespace {
std::mutex planMutex;
ThreadStartPlan::Rule planFails, planSuspends;
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
    planFails = planSuspends = nullptr;
}

HANDLE ThreadStartPlan::Start(LPTHREAD_START_ROUTINE routine, void* parameter) {
    std::lock_guard<std::mutex> lock(planMutex);
    const int number = planStarts++;
    if (planFails && planFails(number)) return nullptr;
    const bool suspend = planSuspends && planSuspends(number);
    HANDLE thread = ::CreateThread(nullptr, 0, routine, parameter, suspend ? CREATE_SUSPENDED : 0, nullptr);
    HANDLE copy = nullptr;
    if (thread && suspend &&
        ::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        suspendedThreads.push_back(copy);
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
