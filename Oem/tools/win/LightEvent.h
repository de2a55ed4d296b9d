#pragma once

#include <windows.h>

// An event for the threads of one process: what an unnamed Win32 event does (auto or manual
// reset, bounded waits with the same results) without a kernel object. Creating, setting,
// resetting and a wait that finds it set make no system call; only a thread that must sleep
// does. Like any object, it must outlive every thread that calls it.
class LightEvent {
public:
    // How the event returns to unsignalled: by itself after one wait, or only by Reset().
    enum class ResetMode { Auto, Manual };

    explicit LightEvent(ResetMode kind) : manual_(kind == ResetMode::Manual) {}
    LightEvent(const LightEvent&) = delete;
    LightEvent& operator=(const LightEvent&) = delete;

    void Set() {
        ::AcquireSRWLockExclusive(&lock_);
        set_ = true;
        // Woken under the lock: a waiter that then returns and lets the owner go cannot
        // leave this call touching a freed variable.
        ::WakeAllConditionVariable(&changed_);
        ::ReleaseSRWLockExclusive(&lock_);
    }

    void Reset() {
        ::AcquireSRWLockExclusive(&lock_);
        set_ = false;
        ::ReleaseSRWLockExclusive(&lock_);
    }

    // WAIT_OBJECT_0 when set within the time (an auto-reset event is then unset again),
    // WAIT_TIMEOUT otherwise.
    DWORD Wait(DWORD milliseconds) {
        const ULONGLONG end = ::GetTickCount64() + milliseconds;
        ::AcquireSRWLockExclusive(&lock_);
        while (!set_) {
            const ULONGLONG now = ::GetTickCount64();
            // A wake-up may be spurious or early: only the deadline ends the wait.
            if (now >= end) break;
            ::SleepConditionVariableSRW(&changed_, &lock_, static_cast<DWORD>(end - now), 0);
        }
        const bool wasSet = set_;
        if (wasSet && !manual_) set_ = false;
        ::ReleaseSRWLockExclusive(&lock_);
        return wasSet ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    bool set_ = false;
    const bool manual_;
};
