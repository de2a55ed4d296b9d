#pragma once
// Move-only owners of Win32 handles. Each kind knows its own empty value: CreateEvent,
// CreateMutex, CreateThread and CreateSemaphore give null on failure, CreateFile gives
// INVALID_HANDLE_VALUE.

#include <windows.h>

#include <utility>

struct NullHandleTraits {
    static HANDLE Empty() { return nullptr; }
};

struct FileHandleTraits {
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
};

template <typename Traits>
class BasicScopedHandle {
public:
    BasicScopedHandle() = default;
    explicit BasicScopedHandle(HANDLE handle) : handle_(handle) {}
    ~BasicScopedHandle() { reset(); }

    BasicScopedHandle(BasicScopedHandle&& other) noexcept : handle_(other.release()) {}
    BasicScopedHandle& operator=(BasicScopedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    BasicScopedHandle(const BasicScopedHandle&) = delete;
    BasicScopedHandle& operator=(const BasicScopedHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != Traits::Empty() && handle_ != nullptr; }
    explicit operator bool() const { return valid(); }

    HANDLE release() { return std::exchange(handle_, Traits::Empty()); }
    void reset(HANDLE handle = Traits::Empty()) {
        HANDLE old = std::exchange(handle_, handle);
        if (old != Traits::Empty() && old != nullptr) ::CloseHandle(old);
    }

private:
    HANDLE handle_ = Traits::Empty();
};

using ScopedHandle = BasicScopedHandle<NullHandleTraits>;
using ScopedFileHandle = BasicScopedHandle<FileHandleTraits>;
