#pragma once
// The simulated modem as a test reaches it: the very DLL that COM loads for the mobile-broadband
// classes, found by its registered path, and its control export.

#include <windows.h>

#include <cstdint>
#include <string>

#include "SimControl.h"
#include "tools/win/ScopedHandle.h"

class SimModem {
public:
    // Loads the registered simulator (the module COM uses, or will use) and gets its control.
    SimModem();

    bool loaded() const { return control_ != nullptr; }
    ISimControl* operator->() const { return control_; }

    // The command the modem received at index, with its command id; empty past the end.
    std::string Command(std::size_t index, std::uint32_t* commandId = nullptr) const;
    // Waits up to timeoutMs for the simulator to have no completion in flight.
    bool WaitIdle(DWORD timeoutMs) const;

    // InprocServer32 of the interface manager's class; empty when not registered.
    static std::wstring RegisteredPath();
    // The folder of the registered simulator, where its shipped profiles lie.
    static std::string Folder() {
        const std::wstring path = RegisteredPath();
        return std::string(path.begin(), path.begin() + (path.rfind(L'\\') + 1));
    }

private:
    ScopedModule module_;
    ISimControl* control_ = nullptr;
};
