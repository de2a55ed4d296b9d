#include "ModuleFolder.h"

#include <windows.h>

std::wstring BesideThisExecutable(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder + fileName;
}

std::wstring ShippedDataFile(const wchar_t* fileName) {
    const std::wstring beside = BesideThisExecutable(fileName);
    if (::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    return BesideThisExecutable((L"..\\share\\oem\\" + std::wstring(fileName)).c_str());
}

HMODULE LoadDllByFullPath(const std::wstring& fullPath) {
    return ::LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}
