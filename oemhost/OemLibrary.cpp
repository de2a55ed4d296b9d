#include "OemLibrary.h"

#include <winver.h>

#include <cstdio>
#include <vector>

#include "ModuleFolder.h"

OemLibrary::OemLibrary(const std::wstring& path, bool load)
    : path_(path.empty() ? BesideThisExecutable(L"Oem.dll") : path) {
    if (!load) return;
    module_.reset(::LoadLibraryW(path_.c_str()));
    if (!module_) loadError_ = ::GetLastError();
}

std::string OemLibrary::FileVersion() const {
    wchar_t loadedFrom[MAX_PATH] = {};
    const DWORD length = module_ ? ::GetModuleFileNameW(module_.get(), loadedFrom, MAX_PATH) : 0;
    if (length == 0 || length >= MAX_PATH) return std::string();
    DWORD ignored = 0;
    std::vector<char> info(::GetFileVersionInfoSizeW(loadedFrom, &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (info.empty() || !::GetFileVersionInfoW(loadedFrom, 0, static_cast<DWORD>(info.size()), info.data()) ||
        !::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
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
    void* found = module_ ? reinterpret_cast<void*>(::GetProcAddress(module_.get(), name)) : nullptr;
    if (found == nullptr) std::fprintf(stderr, "oemhost: %ls has no export %s\n", path_.c_str(), name);
    return found;
}
