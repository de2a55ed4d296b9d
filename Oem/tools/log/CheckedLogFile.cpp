#include "CheckedLogFile.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "tools/win/CheckedFile.h"

namespace CheckedLogFile {
namespace {

// The access and sharing of fopen's "a+": other lines may be written to the file meanwhile.
constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// An existing file is opened, a missing one created, never one call that does either; each is
// checked, and a file made here that fails the check is removed again.
ScopedFileHandle OpenOrCreate(const std::wstring& fullPath) {
    ScopedFileHandle file = OpenCheckedFile(fullPath, kAccess, OPEN_EXISTING, kShare);
    if (file.valid() || ::GetLastError() != ERROR_FILE_NOT_FOUND) return file;
    file = OpenCheckedFile(fullPath, kAccess, CREATE_NEW, kShare);
    // Made by someone else between the two calls: what is there now is opened, once.
    if (!file.valid() && ::GetLastError() == ERROR_FILE_EXISTS) {
        file = OpenCheckedFile(fullPath, kAccess, OPEN_EXISTING, kShare);
    }
    return file;
}

}  // namespace

ScopedFile OpenForAppend(const std::string& path) {
    if (path.empty()) return nullptr;
    const std::wstring fullPath = FullPathOf(path);
    if (fullPath.empty()) return nullptr;
    ScopedFileHandle file = OpenOrCreate(fullPath);
    if (!file.valid()) return nullptr;
    // Text mode and appending as before: every line feed lands as CR LF at the file's end.
    const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_APPEND | _O_TEXT);
    if (descriptor == -1) return nullptr;
    file.release();
    std::FILE* stream = ::_fdopen(descriptor, "a");
    if (stream == nullptr) ::_close(descriptor);
    return ScopedFile(stream);
}

}  // namespace CheckedLogFile
