#include "CompletionQueue.h"

#include <chrono>

namespace {

// Enough for every sink of a test to block at once; more tasks wait for a free worker.
constexpr int kMaxWorkers = 16;
constexpr std::chrono::milliseconds kIdleEnd(2000);

}  // namespace

CompletionQueue::CompletionQueue(HMODULE module) : module_(module) {}

// Only reached when no worker is left: each holds a reference on the DLL.
CompletionQueue::~CompletionQueue() = default;

bool CompletionQueue::Post(Task task, DWORD delayMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.emplace(std::make_pair(::GetTickCount64() + delayMs, posted_++), std::move(task));
    if (idle_ < static_cast<int>(tasks_.size()) && workers_ < kMaxWorkers && !StartWorkerLocked() && workers_ == 0) {
        tasks_.clear();
        return false;
    }
    changed_.notify_all();
    return true;
}

int CompletionQueue::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(tasks_.size()) + running_;
}

bool CompletionQueue::StartWorkerLocked() {
    // The worker's own reference on the DLL, given back by FreeLibraryAndExitThread, so that
    // the DLL cannot be unloaded under a running worker.
    HMODULE pinned = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&CompletionQueue::WorkerMain), &pinned)) {
        return false;
    }
    HANDLE thread = ::CreateThread(nullptr, 0, &CompletionQueue::WorkerMain, this, 0, nullptr);
    if (thread == nullptr) {
        ::FreeLibrary(pinned);
        return false;
    }
    ::CloseHandle(thread);
    ++workers_;
    return true;
}

DWORD WINAPI CompletionQueue::WorkerMain(void* queue) {
    CompletionQueue* self = static_cast<CompletionQueue*>(queue);
    const HMODULE module = self->module_;
    self->RunWorker();
    ::FreeLibraryAndExitThread(module, 0);
}

void CompletionQueue::RunWorker() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (tasks_.empty()) {
            ++idle_;
            const bool work = changed_.wait_for(lock, kIdleEnd, [this] { return !tasks_.empty(); });
            --idle_;
            if (!work) break;
            continue;
        }
        const auto first = tasks_.begin();
        const ULONGLONG now = ::GetTickCount64();
        if (first->first.first > now) {
            ++idle_;
            changed_.wait_for(lock, std::chrono::milliseconds(first->first.first - now));
            --idle_;
            continue;
        }
        Task task = std::move(first->second);
        tasks_.erase(first);
        ++running_;
        lock.unlock();
        try {
            task();
        } catch (...) {
            // A completion that failed to build is simply not delivered.
        }
        task = nullptr;  // its references go before the task counts as finished
        lock.lock();
        --running_;
    }
    --workers_;
}
