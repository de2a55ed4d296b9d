#pragma once
// The simulated modem for this process only: oemsim.dll from this program's folder (by full
// path), its two
// Mobile Broadband class objects registered with CoRegisterClassObject, so that Oem.dll's
// CoCreateInstance in this process reaches the simulator while the machine's registration of
// the real classes stays untouched.

#include <windows.h>

#include <string>

#include "tools/win/ComPtr.h"
#include "tools/win/ScopedComInit.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"

// A class object registered for this process, revoked when the owner goes.
struct ClassRegistrationTraits {
    using Value = DWORD;
    static DWORD Empty() { return 0; }
    static bool IsValid(DWORD cookie) { return cookie != 0; }
    static void Close(DWORD cookie) { ::CoRevokeClassObject(cookie); }
};
using ScopedClassRegistration = UniqueAny<ClassRegistrationTraits>;

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
    ScopedModule module_;
    ComPtr<IUnknown> classObjects_[kClassCount];
    ScopedClassRegistration registrations_[kClassCount];
};
