#pragma once
// Oem.dll loaded as the host tool loads it, the simulated modem as the very DLL that COM loads,
// and the checks that an export call let go of everything it took.

#include <windows.h>

#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "SimControl.h"
#include "support/LogFiles.h"
#include "support/TestKit.h"
#include "tools/win/ScopedHandle.h"

struct OemDll {
    static std::string Path() { return TestFiles::ExecutableFolder() + "Oem.dll"; }
    bool loaded() const { return module_.valid(); }
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)));
    }
    ScopedModule module_{::LoadLibraryA(Path().c_str())};
};

struct SimModem {
    SimModem();  // the registered simulator (the module COM uses, or will use) and its control
    bool loaded() const { return control_ != nullptr; }
    ISimControl* operator->() const { return control_; }
    std::string Command(std::size_t index, std::uint32_t* commandId = nullptr) const;
    static std::wstring RegisteredPath();  // empty when not registered
    // The folder of the registered simulator, where its shipped profiles lie.
    static std::string Folder() {
        const std::wstring path = RegisteredPath();
        return std::string(path.begin(), path.begin() + (path.rfind(L'\\') + 1));
    }
    ScopedModule module_;
    ISimControl* control_ = nullptr;
};

bool ExportLockIsFree();  // whether another thread can take Oem.dll's export lock at once

// Holds the export lock from a thread of its own while alive, as any other holder by its name would.
struct ExportLockHolder {
    ExportLockHolder();
    ~ExportLockHolder() { letGo_.set_value(), thread_.join(); }
    std::promise<void> letGo_;
    std::thread thread_;
};

// The commands the modem received in order; each must have carried command id 1.
std::vector<std::string> ReceivedCommands(const SimModem& sim);

// After calls that opened `channels` channels: the export lock free, no completion in flight or
// simulator object alive, each channel advised and unadvised once, every session opened closed.
void ExpectNothingHeld(const SimModem& sim, int channels);
