#include "OemLibrary.h"

#include <cstdio>

namespace {

std::wstring BesideThisExecutable(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder + fileName;
}

}  // namespace

OemLibrary::OemLibrary(const std::wstring& path) : path_(path.empty() ? BesideThisExecutable(L"Oem.dll") : path) {
    module_ = ::LoadLibraryW(path_.c_str());
    if (module_ == nullptr) loadError_ = ::GetLastError();
}

OemLibrary::~OemLibrary() {
    if (module_ != nullptr) ::FreeLibrary(module_);
}

void* OemLibrary::FindExport(const char* name) const {
    void* found = module_ != nullptr ? reinterpret_cast<void*>(::GetProcAddress(module_, name)) : nullptr;
    if (found == nullptr) std::fprintf(stderr, "oemhost: %ls has no export %s\n", path_.c_str(), name);
    return found;
}
