#pragma once
// The simulated modem as the very DLL that COM loads for the mobile-broadband classes, found by
// its registered path, and its control export. No test framework here: the benchmarks use it too.

#include <windows.h>

#include <cstdint>
#include <string>

#include "SimControl.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"

struct SimModem {
    SimModem();
    bool loaded() const { return control_ != nullptr; }
    ISimControl* operator->() const { return control_; }
    // The command the modem received at index, with its command id; empty past the end.
    std::string Command(std::size_t index, std::uint32_t* commandId = nullptr) const;
    bool WaitIdle(DWORD timeoutMs) const;  // no completion in flight within timeoutMs
    static std::wstring RegisteredPath();  // InprocServer32 of the interface manager; empty if none
    static std::string Folder() {          // of the registered simulator, where its shipped profiles lie
        const std::wstring path = RegisteredPath();
        return std::string(path.begin(), path.begin() + (path.rfind(L'\\') + 1));
    }
    ScopedModule module_;
    ISimControl* control_ = nullptr;
};
