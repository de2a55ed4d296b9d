#pragma once
// What the simulator reads from its process's environment and how it reports a problem: a
// person running a tool against it reads standard error, a debugger the debug output.

#include <windows.h>

#include <cstdio>
#include <string>

inline void Complain(const std::string& text) {
    ::OutputDebugStringA(text.c_str());
    std::fputs(text.c_str(), stderr);
}

// The variable's value; empty when it is not set or longer than a path.
inline std::string EnvironmentText(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}
