#pragma once

#include <oleauto.h>

#include <utility>

class ScopedSafeArray {
public:
    ScopedSafeArray() = default;
    explicit ScopedSafeArray(SAFEARRAY* array) : array_(array) {}
    ~ScopedSafeArray() { reset(); }
    ScopedSafeArray(ScopedSafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
    ScopedSafeArray& operator=(ScopedSafeArray&& other) noexcept {
        if (this != &other) reset(std::exchange(other.array_, nullptr));
        return *this;
    }
    ScopedSafeArray(const ScopedSafeArray&) = delete;
    ScopedSafeArray& operator=(const ScopedSafeArray&) = delete;

    SAFEARRAY* get() const { return array_; }
    SAFEARRAY** put() {
        reset();
        return &array_;
    }
    SAFEARRAY* release() { return std::exchange(array_, nullptr); }
    void reset(SAFEARRAY* array = nullptr) {
        if (SAFEARRAY* old = std::exchange(array_, array)) ::SafeArrayDestroy(old);
    }

private:
    SAFEARRAY* array_ = nullptr;
};

// Access to a safe array's data that is always given back, also on an early return.
class SafeArrayDataScope {
public:
    explicit SafeArrayDataScope(SAFEARRAY* array) : array_(array) {
        if (array_ && FAILED(::SafeArrayAccessData(array_, &data_))) {
            array_ = nullptr;
            data_ = nullptr;
        }
    }
    ~SafeArrayDataScope() {
        if (array_) ::SafeArrayUnaccessData(array_);
    }
    SafeArrayDataScope(const SafeArrayDataScope&) = delete;
    SafeArrayDataScope& operator=(const SafeArrayDataScope&) = delete;

    void* data() const { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};
