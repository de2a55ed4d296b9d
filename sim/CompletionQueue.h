#pragma once
// The simulator's own threads, which deliver completions as the platform's threads do: never
// on the caller's thread, possibly several at once (a sink may block one of them for seconds),
// each task no earlier than its due time. Workers start when every worker is busy and end after
// a while without work; each keeps the simulator DLL loaded while it runs.

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

class CompletionQueue {
public:
    using Task = std::function<void()>;

    explicit CompletionQueue(HMODULE module);
    ~CompletionQueue();
    CompletionQueue(const CompletionQueue&) = delete;
    CompletionQueue& operator=(const CompletionQueue&) = delete;

    // Runs task on a simulator thread once delayMs have passed. False when no thread could be
    // started; the task is then dropped.
    bool Post(Task task, DWORD delayMs);

    // Tasks posted and not yet finished.
    int Pending() const;

private:
    static DWORD WINAPI WorkerMain(void* queue);
    void RunWorker();
    bool StartWorkerLocked();

    HMODULE module_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    // Keyed by due tick, then by posting order, so equal due times keep their order.
    std::map<std::pair<ULONGLONG, std::uint64_t>, Task> tasks_;
    std::uint64_t posted_ = 0;
    int running_ = 0;  // tasks taken by a worker and not finished
    int workers_ = 0;
    int idle_ = 0;
};
