#pragma once
// Oem.dll as the host tool loads it: by its full path, exports found by name.

#include <windows.h>

#include <string>

#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"

class OemLibrary {
public:
    // Loads the DLL at path, made absolute first (never looked for on PATH); an empty path
    // means Oem.dll beside this executable. load false: nothing is loaded, for a command that
    // does without the DLL.
    explicit OemLibrary(const std::string& path, bool load = true);
    OemLibrary(const OemLibrary&) = delete;
    OemLibrary& operator=(const OemLibrary&) = delete;

    bool loaded() const { return module_.valid(); }
    const std::wstring& path() const { return path_; }
    DWORD loadError() const { return loadError_; }

    // The file version in the loaded DLL's version resource ("1.2.3.4"), or empty.
    std::string FileVersion() const;

    // The export, or null after saying on standard error that it is missing.
    template <typename Function>
    Function Find(const char* name) const {
        return reinterpret_cast<Function>(FindExport(name));
    }

private:
    void* FindExport(const char* name) const;

    std::wstring path_;
    ScopedModule module_;
    DWORD loadError_ = 0;
};
