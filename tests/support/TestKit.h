#pragma once
// The small tools every test shares: a bounded wait for a condition and a byte string that
// keeps its NULs.

#include <windows.h>

#include <cstddef>
#include <string>

// Polls until ready() holds or timeoutMs passed; true when it held.
template <typename Ready>
bool WaitUntil(Ready ready, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!ready()) {
        if (::GetTickCount64() >= end) return false;
        ::Sleep(2);
    }
    return true;
}

// The bytes of a literal, embedded NULs included: Bytes("\3\0\0\0abc") has seven.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}
