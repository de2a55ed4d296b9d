#pragma once
// Move-only owners of Win32 resources. One template, in the manner of WIL's unique_any: the
// traits give the resource's type, its empty value and the call that gives it back, so nothing
// is closed by hand; the programs around the library add owners of their own on it.
// CreateEvent, CreateMutex, CreateThread and CreateSemaphore give null on failure, CreateFile
// gives INVALID_HANDLE_VALUE; each owner knows which one it holds.

#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueAny {
public:
    using Value = typename Traits::Value;

    UniqueAny() = default;
    explicit UniqueAny(Value value) : value_(value) {}
    ~UniqueAny() { reset(); }

    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    Value get() const { return value_; }
    bool valid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return valid(); }

    // For out-parameters: gives back what it held first.
    Value* put() {
        reset();
        return &value_;
    }
    Value release() { return std::exchange(value_, Traits::Empty()); }
    // Gives back the old value; the caller's last error survives, so a failed call before the
    // reset can still be asked why.
    void reset(Value value = Traits::Empty()) {
        Value old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(lastError);
        }
    }

private:
    Value value_ = Traits::Empty();
};

struct HandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() { return nullptr; }
    // A handle from CreateFile is empty as INVALID_HANDLE_VALUE, the others as null: neither
    // is ever closed.
    static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};

struct FileHandleTraits : HandleTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
};

// A search of FindFirstFile: ended with FindClose.
struct FindHandleTraits : FileHandleTraits {
    static void Close(HANDLE search) { ::FindClose(search); }
};

// A mutex this thread holds: released, not closed (the handle belongs to someone else).
struct HeldMutexTraits {
    using Value = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static bool IsValid(HANDLE mutex) { return mutex != nullptr; }
    static void Close(HANDLE mutex) { ::ReleaseMutex(mutex); }
};

using ScopedHandle = UniqueAny<HandleTraits>;
using ScopedFileHandle = UniqueAny<FileHandleTraits>;
using ScopedFindHandle = UniqueAny<FindHandleTraits>;
using HeldMutex = UniqueAny<HeldMutexTraits>;

// Waits for mutex, without a time-out unless one is given, and owns the hold when it was taken:
// a mutex abandoned by a thread that ended while holding it counts as taken; a failed or timed
// out wait (the wait's result in *waited) holds nothing, so nothing is released that was never
// taken. A null mutex holds nothing and waits for nothing.
inline HeldMutex WaitAndHold(HANDLE mutex, DWORD timeoutMs = INFINITE, DWORD* waited = nullptr) {
    const DWORD result = mutex == nullptr ? WAIT_FAILED : ::WaitForSingleObject(mutex, timeoutMs);
    if (waited != nullptr) *waited = result;
    return (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ? HeldMutex(mutex) : HeldMutex();
}
