#pragma once

#include <windows.h>

#include "ScopedHandle.h"

// Starts a thread running routine(parameter); its handle, or null when it could not start.
// The worker tools take one of these so that a caller can choose how threads are made.
using ThreadStarter = HANDLE (*)(LPTHREAD_START_ROUTINE routine, void* parameter);

inline HANDLE StartWin32Thread(LPTHREAD_START_ROUTINE routine, void* parameter) {
    return ::CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
}

// Owns a thread's handle. Destroying the owner closes the handle without waiting: Join first
// when the thread uses anything that goes away with the owner.
class ScopedThread {
public:
    ScopedThread() = default;
    explicit ScopedThread(HANDLE thread) : handle_(thread) {}

    bool valid() const { return handle_.valid(); }
    HANDLE get() const { return handle_.get(); }
    // Waits without time-out for the thread to end, then closes its handle.
    void Join() {
        if (!handle_) return;
        ::WaitForSingleObject(handle_.get(), INFINITE);
        handle_.reset();
    }

private:
    ScopedHandle handle_;
};
