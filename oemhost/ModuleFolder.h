#pragma once
// Files that ship with oemhost.exe: beside it in the build tree; in the package, the binaries
// in bin\ and the data files (the modem profiles) in share\oem\. And how oemhost loads a DLL:
// by its full path, or from System32, never through the search order.

#include <windows.h>

#include <string>

// The full path of fileName in this executable's folder.
std::wstring BesideThisExecutable(const wchar_t* fileName);

// The full path of a data file: beside this executable when it is there, else in the
// package's share\oem\ seen from bin\.
std::wstring ShippedDataFile(const wchar_t* fileName);

// The DLL at fullPath and nowhere else, its own imports from its folder and System32; null
// with the last error set (ERROR_INVALID_PARAMETER for a relative path).
HMODULE LoadDllByFullPath(const std::wstring& fullPath);

// The function exported as name, or null (also for a null module).
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
