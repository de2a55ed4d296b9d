#pragma once

#include <windows.h>

#include "ScopedHandle.h"

// An unnamed Win32 semaphore with default security.
class Semaphore {
public:
    Semaphore(LONG initialCount, LONG maximumCount)
        : handle_(::CreateSemaphoreW(nullptr, initialCount, maximumCount, nullptr)) {}

    bool valid() const { return handle_.valid(); }
    HANDLE get() const { return handle_.get(); }
    // False when the count would pass the maximum, or without a semaphore.
    bool Release(LONG count = 1) { return handle_ && ::ReleaseSemaphore(handle_.get(), count, nullptr) != FALSE; }

private:
    ScopedHandle handle_;
};
