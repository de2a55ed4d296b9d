#pragma once
// Oem.dll loaded from beside the test program with LoadLibrary, exports found with
// GetProcAddress, as the host tool does.

#include <windows.h>

#include <string>

#include "support/TestFiles.h"

class OemDll {
public:
    OemDll() : module_(::LoadLibraryA(Path().c_str())) {}
    ~OemDll() {
        if (module_) ::FreeLibrary(module_);
    }
    OemDll(const OemDll&) = delete;
    OemDll& operator=(const OemDll&) = delete;

    bool loaded() const { return module_ != nullptr; }

    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
    }

    static std::string Path() { return TestFiles::ExecutableFolder() + "Oem.dll"; }

private:
    HMODULE module_;
};
