#include "CheckedLogFile.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "tools/win/ScopedHandle.h"

namespace CheckedLogFile {
namespace {

// Paths here are a folder of at most 259 characters and a file name; longer ones are not ours.
constexpr DWORD kPathCapacity = 1024;

std::wstring Widened(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

HANDLE Open(const std::wstring& path, DWORD disposition, DWORD extraAccess = 0) {
    // The access and sharing of fopen's "a+"; the last name on the path is opened, not followed.
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | extraAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// An existing file is opened, a missing one created, never one call that does either. A file
// made here may be deleted again through its handle (created is then true).
ScopedFileHandle OpenOrCreate(const std::wstring& path, bool* created) {
    ScopedFileHandle file(Open(path, OPEN_EXISTING));
    if (file.valid() || ::GetLastError() != ERROR_FILE_NOT_FOUND) return file;
    file.reset(Open(path, CREATE_NEW, DELETE));
    *created = file.valid();
    // Made by someone else between the two calls: what is there now is opened, once.
    if (!file.valid() && ::GetLastError() == ERROR_FILE_EXISTS) file.reset(Open(path, OPEN_EXISTING));
    return file;
}

// The final path names the volume as "\\?\C:\..." or "\\?\UNC\server\...".
std::wstring WithoutDevicePrefix(const wchar_t* path) {
    std::wstring text(path);
    if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + text.substr(8);
    if (text.compare(0, 4, L"\\\\?\\") == 0) return text.substr(4);
    return text;
}

// One file under its one name, reached through no link: a link anywhere on the path shows as a
// final path other than the full path asked for (a Unix symlink under Wine does too).
bool IsThePathMeant(HANDLE file, const std::wstring& path) {
    // Not GetFileInformationByHandle: it asks for the volume too, which costs more than the line.
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    FILE_STANDARD_INFO standard = {};
    if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag)) ||
        !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)) ||
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || standard.NumberOfLinks > 1) {
        return false;
    }
    wchar_t full[kPathCapacity] = {}, finalPath[kPathCapacity] = {};
    const DWORD fullLength = ::GetFullPathNameW(path.c_str(), kPathCapacity, full, nullptr);
    const DWORD finalLength =
        ::GetFinalPathNameByHandleW(file, finalPath, kPathCapacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (fullLength == 0 || fullLength >= kPathCapacity || finalLength == 0 || finalLength >= kPathCapacity) {
        return false;
    }
    return ::CompareStringOrdinal(full, -1, WithoutDevicePrefix(finalPath).c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

ScopedFile OpenForAppend(const std::string& path) {
    if (path.empty()) return nullptr;
    const std::wstring wide = Widened(path);
    bool created = false;
    ScopedFileHandle file = OpenOrCreate(wide, &created);
    if (!file.valid()) return nullptr;
    if (!IsThePathMeant(file.get(), wide)) {
        // Made through a link higher up: the empty file goes again, wherever it landed.
        FILE_DISPOSITION_INFO remove = {TRUE};
        if (created) ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof(remove));
        return nullptr;
    }
    // Text mode and appending as before: every line feed lands as CR LF at the file's end.
    const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_APPEND | _O_TEXT);
    if (descriptor == -1) return nullptr;
    file.release();
    std::FILE* stream = ::_fdopen(descriptor, "a");
    if (stream == nullptr) ::_close(descriptor);
    return ScopedFile(stream);
}

}  // namespace CheckedLogFile
