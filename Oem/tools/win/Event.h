#pragma once

#include <windows.h>

#include "ScopedHandle.h"

// An unnamed Win32 event with default security.
class Event {
public:
    // How the event returns to unsignalled: by itself after one wait, or only by Reset().
    enum class ResetMode { Auto, Manual };

    explicit Event(ResetMode kind, bool initiallySet = false)
        : handle_(::CreateEventW(nullptr, kind == ResetMode::Manual, initiallySet, nullptr)) {}

    bool valid() const { return handle_.valid(); }
    HANDLE get() const { return handle_.get(); }
    void Set() {
        if (handle_) ::SetEvent(handle_.get());
    }
    void Reset() {
        if (handle_) ::ResetEvent(handle_.get());
    }
    // The wait's own result: WAIT_OBJECT_0 when signalled, WAIT_FAILED without an event.
    DWORD Wait(DWORD milliseconds) const {
        return handle_ ? ::WaitForSingleObject(handle_.get(), milliseconds) : WAIT_FAILED;
    }

private:
    ScopedHandle handle_;
};
