#pragma once
// Oem.dll loaded from beside the test program with LoadLibrary, exports found with
// GetProcAddress, as the host tool does.

#include <windows.h>

#include <string>

class OemDll {
public:
    OemDll();
    ~OemDll();
    OemDll(const OemDll&) = delete;
    OemDll& operator=(const OemDll&) = delete;

    bool loaded() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }

    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

    static std::string Path();

private:
    HMODULE module_;
};
