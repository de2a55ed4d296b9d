#include "OemLibrary.h"

#include <winver.h>

#include <cstdio>
#include <vector>

#include "ModuleFolder.h"
#include "tools/win/CheckedFile.h"

namespace {

using GetFileVersionInfoSizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

}  // namespace

OemLibrary::OemLibrary(const std::string& path, bool load)
    : path_(path.empty() ? BesideThisExecutable(L"Oem.dll") : FullPathOf(path)) {
    if (!load) return;
    module_.reset(LoadDllByFullPath(path_));
    if (!module_) loadError_ = ::GetLastError();
}

std::string OemLibrary::FileVersion() const {
    wchar_t loadedFrom[MAX_PATH] = {};
    const DWORD length = module_ ? ::GetModuleFileNameW(module_.get(), loadedFrom, MAX_PATH) : 0;
    if (length == 0 || length >= MAX_PATH) return std::string();
    // version.dll is not among the DLLs Windows always takes from System32: imported, it would
    // be looked for in this program's folder first.
    const ScopedModule versionDll(::LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    const auto infoSize = ProcAddress<GetFileVersionInfoSizeFunction>(versionDll.get(), "GetFileVersionInfoSizeW");
    const auto getInfo = ProcAddress<GetFileVersionInfoFunction>(versionDll.get(), "GetFileVersionInfoW");
    const auto query = ProcAddress<VerQueryValueFunction>(versionDll.get(), "VerQueryValueW");
    if (!versionDll || !infoSize || !getInfo || !query) return std::string();
    DWORD ignored = 0;
    std::vector<char> info(infoSize(loadedFrom, &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (info.empty() || !getInfo(loadedFrom, 0, static_cast<DWORD>(info.size()), info.data()) ||
        !query(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return std::string();
    }
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
    return text;
}

void* OemLibrary::FindExport(const char* name) const {
    void* found = ProcAddress<void*>(module_.get(), name);
    if (found == nullptr) std::fprintf(stderr, "oemhost: %ls has no export %s\n", path_.c_str(), name);
    return found;
}
