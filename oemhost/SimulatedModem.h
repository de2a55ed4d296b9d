#pragma once
// The simulated modem for this process only: oemsim.dll from this program's folder, its two
// Mobile Broadband class objects registered with CoRegisterClassObject, so that Oem.dll's
// CoCreateInstance in this process reaches the simulator while the machine's registration of
// the real classes stays untouched.

#include <windows.h>

#include <string>

#include "tools/win/ComPtr.h"
#include "tools/win/ScopedComInit.h"

class SimulatedModem {
public:
    SimulatedModem() = default;
    // Revokes the class objects; unloads oemsim.dll only when it says nothing of it is in use.
    ~SimulatedModem();
    SimulatedModem(const SimulatedModem&) = delete;
    SimulatedModem& operator=(const SimulatedModem&) = delete;

    // Makes this thread part of the multithreaded apartment, so that the registrations serve
    // every thread of the process for as long as this object lives. profile, when not empty,
    // is the modem profile the simulator answers from. False after saying why on standard error.
    bool Start(const std::string& profile);

private:
    static constexpr int kClassCount = 2;

    ScopedComInit com_;
    HMODULE module_ = nullptr;
    ComPtr<IUnknown> classObjects_[kClassCount];
    DWORD cookies_[kClassCount] = {};
};
