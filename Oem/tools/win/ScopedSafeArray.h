#pragma once

#include <oleauto.h>

#include <cstring>
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

// The bytes of a one-dimensional array of one-byte elements, with access given back however the
// scope ends. Arrays from the platform are read tolerantly: the element size is checked, not the
// VARTYPE, since an array made without a type record still knows its element size. Anything
// else (no array, another shape, bounds or data that cannot be read) gives valid() false.
class SafeArrayBytes {
public:
    explicit SafeArrayBytes(SAFEARRAY* array) {
        if (array == nullptr || ::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != 1) return;
        LONG lower = 0;
        LONG upper = -1;
        if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper))) return;
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(array, &data))) return;
        array_ = array;
        const long long count = static_cast<long long>(upper) - lower + 1;
        // An empty array may have no data at all; one with elements must.
        if (count > 0 && data == nullptr) return;
        data_ = static_cast<const char*>(data);
        size_ = count > 0 ? static_cast<size_t>(count) : 0;
        valid_ = true;
    }
    ~SafeArrayBytes() {
        if (array_) ::SafeArrayUnaccessData(array_);
    }
    SafeArrayBytes(const SafeArrayBytes&) = delete;
    SafeArrayBytes& operator=(const SafeArrayBytes&) = delete;

    bool valid() const { return valid_; }
    const char* data() const { return data_; }
    size_t size() const { return size_; }

private:
    SAFEARRAY* array_ = nullptr;
    const char* data_ = nullptr;
    size_t size_ = 0;
    bool valid_ = false;
};

// A new one-dimensional VT_UI1 array holding exactly these bytes, lower bound 0; empty when it
// cannot be made.
inline ScopedSafeArray MakeByteArray(const char* bytes, size_t length) {
    ScopedSafeArray array(::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length)));
    if (!array.get() || length == 0) return array;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array.get(), &data)) || data == nullptr) return ScopedSafeArray();
    memcpy(data, bytes, length);
    ::SafeArrayUnaccessData(array.get());
    return array;
}
