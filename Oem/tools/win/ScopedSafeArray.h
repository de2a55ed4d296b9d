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

// The bytes an array carries, read as a reply is read: as many as dimension 1 counts elements
// (upper bound minus lower bound plus one), taken as bytes from the array's data, with access
// given back however the scope ends. valid() is false when the data cannot be accessed or
// there is no data pointer. No more is read than the array's own storage holds.
class SafeArrayBytes {
public:
    explicit SafeArrayBytes(SAFEARRAY* array) {
        void* data = nullptr;
        if (array == nullptr || FAILED(::SafeArrayAccessData(array, &data))) return;
        array_ = array;
        if (data == nullptr) return;
        data_ = static_cast<const char*>(data);
        valid_ = true;
        LONG lower = 0;
        LONG upper = -1;
        if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper))) return;
        const long long count = static_cast<long long>(upper) - lower + 1;
        const unsigned long long stored = StorageBytes(array);
        if (count > 0) size_ = static_cast<size_t>(static_cast<unsigned long long>(count) < stored ? count : stored);
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
    static unsigned long long StorageBytes(SAFEARRAY* array) {
        unsigned long long bytes = ::SafeArrayGetElemsize(array);
        for (UINT dimension = 0; dimension < array->cDims; ++dimension) bytes *= array->rgsabound[dimension].cElements;
        return bytes;
    }

    SAFEARRAY* array_ = nullptr;
    const char* data_ = nullptr;
    size_t size_ = 0;
    bool valid_ = false;
};

// A new one-dimensional VT_UI1 array holding exactly these bytes, lower bound 0; empty when it
// cannot be made.
inline ScopedSafeArray MakeByteArray(const char* bytes, size_t length) {
    SAFEARRAYBOUND bound;
    bound.cElements = static_cast<ULONG>(length);
    bound.lLbound = 0;
    ScopedSafeArray array(::SafeArrayCreate(VT_UI1, 1, &bound));
    if (!array.get() || length == 0) return array;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array.get(), &data)) || data == nullptr) return ScopedSafeArray();
    memcpy(data, bytes, length);
    ::SafeArrayUnaccessData(array.get());
    return array;
}
