#pragma once
// Oem.dll loaded from beside the test program and its exports found by name, as the host tool does.

#include <windows.h>

#include <string>

#include "support/TestFiles.h"
#include "tools/win/ScopedHandle.h"

class OemDll {
public:
    OemDll() : module_(::LoadLibraryA(Path().c_str())) {}
    bool loaded() const { return module_.valid(); }
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)));
    }
    static std::string Path() { return TestFiles::ExecutableFolder() + "Oem.dll"; }

private:
    ScopedModule module_;
};
