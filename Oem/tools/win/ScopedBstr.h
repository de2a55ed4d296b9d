#pragma once

#include <oleauto.h>

#include <utility>

class ScopedBstr {
public:
    ScopedBstr() = default;
    explicit ScopedBstr(const wchar_t* text) : bstr_(::SysAllocString(text)) {}
    ~ScopedBstr() { reset(); }
    ScopedBstr(ScopedBstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}
    ScopedBstr& operator=(ScopedBstr&& other) noexcept {
        if (this != &other) {
            reset();
            bstr_ = std::exchange(other.bstr_, nullptr);
        }
        return *this;
    }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;

    BSTR get() const { return bstr_; }
    BSTR* put() {
        reset();
        return &bstr_;
    }
    void reset() {
        if (bstr_) ::SysFreeString(std::exchange(bstr_, nullptr));
    }

private:
    BSTR bstr_ = nullptr;
};
