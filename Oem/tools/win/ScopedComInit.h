#pragma once

#include <objbase.h>

// COM for the calling thread, ended only if this object's CoInitializeEx succeeded
// (S_OK or S_FALSE), once, on the same thread.
class ScopedComInit {
public:
    ScopedComInit() = default;
    ~ScopedComInit() { Uninitialize(); }
    ScopedComInit(const ScopedComInit&) = delete;
    ScopedComInit& operator=(const ScopedComInit&) = delete;

    HRESULT Initialize(DWORD apartment) {
        HRESULT hr = ::CoInitializeEx(nullptr, apartment);
        initialized_ = SUCCEEDED(hr);
        return hr;
    }
    bool initialized() const { return initialized_; }
    void Uninitialize() {
        if (initialized_) {
            initialized_ = false;
            ::CoUninitialize();
        }
    }

private:
    bool initialized_ = false;
};
