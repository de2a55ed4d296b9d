#pragma once
// A wait in milliseconds that a test may shorten through the process's environment.

#include <windows.h>

#include <cstdlib>

// The decimal value of the variable, or fallback when it is not set or not a number of
// milliseconds.
inline DWORD EnvironmentMs(const char* name, DWORD fallback) {
    char text[16] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, text, sizeof text);
    char* end = text;
    const unsigned long value = length > 0 && length < sizeof text ? std::strtoul(text, &end, 10) : 0;
    return end != text && *end == '\0' && value < INFINITE ? static_cast<DWORD>(value) : fallback;
}
