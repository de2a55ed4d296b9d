#pragma once
// A file in a folder that other users may write to, opened without trusting its name: made
// with CREATE_NEW or opened with OPEN_EXISTING, both with FILE_FLAG_OPEN_REPARSE_POINT, so no
// link is followed on the way in; then the handle is refused when it is a reparse point or a
// folder, when its file has a second link, or when its final path is not the path meant (a
// junction or mount point along the path, and under Wine a Unix symlink, show up there).
// A refused handle is closed, a file made for it removed, and the last error is
// ERROR_CANT_ACCESS_FILE; a failed open keeps its own last error (ERROR_FILE_EXISTS for
// CREATE_NEW on a name that is taken, a dangling link included).

#include <windows.h>

#include <string>
#include <vector>

#include "ScopedHandle.h"

// path made absolute with GetFullPathNameW; empty when that fails.
inline std::wstring FullPathOf(const std::wstring& path) {
    std::vector<wchar_t> full(MAX_PATH);
    DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length + 1);
        length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    return length > 0 && length < full.size() ? std::wstring(full.data(), length) : std::wstring();
}

// An ANSI path, as a program's command line or environment gives it, made absolute.
inline std::wstring FullPathOf(const std::string& path) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    if (length > 1) ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide.empty() ? wide : FullPathOf(wide);
}

namespace checked_file_detail {

// The path below its volume: "C:\a\b" and "\\server\share\a\b" both give "\a\b", the form
// GetFinalPathNameByHandleW gives with VOLUME_NAME_NONE. A mapped or substituted drive then
// matches the volume it stands for.
inline std::wstring BelowVolume(std::wstring path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
    if (path.compare(0, 4, L"UNC\\") == 0) path.replace(0, 4, L"\\\\");
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == L':') {
        start = 2;
    } else if (path.compare(0, 2, L"\\\\") == 0) {
        const std::size_t share = path.find(L'\\', 2);
        start = share == std::wstring::npos ? path.size() : path.find(L'\\', share + 1);
        if (start == std::wstring::npos) start = path.size();
    }
    return path.substr(start);
}

// Whether the open file is one regular file of a single link at exactly fullPath.
inline bool IsPlainFileAt(HANDLE file, const std::wstring& fullPath) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        return false;
    }
    std::vector<wchar_t> finalPath(MAX_PATH);
    DWORD length = ::GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), VOLUME_NAME_NONE);
    if (length >= finalPath.size()) {
        finalPath.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), VOLUME_NAME_NONE);
    }
    if (length == 0 || length >= finalPath.size()) return false;
    // The name meant in its long form, as the final path spells it (the file exists now).
    std::vector<wchar_t> meant(fullPath.size() + MAX_PATH);
    DWORD meantLength = ::GetLongPathNameW(fullPath.c_str(), meant.data(), static_cast<DWORD>(meant.size()));
    const std::wstring longPath =
        meantLength > 0 && meantLength < meant.size() ? std::wstring(meant.data(), meantLength) : fullPath;
    const std::wstring expected = BelowVolume(longPath);
    return ::CompareStringOrdinal(finalPath.data(), static_cast<int>(length), expected.c_str(),
                                  static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace checked_file_detail

// disposition: CREATE_NEW or OPEN_EXISTING. fullPath: absolute (FullPathOf). A file made here
// is opened with DELETE access besides access, so that a refused one can be removed.
inline ScopedFileHandle OpenCheckedFile(const std::wstring& fullPath, DWORD access, DWORD disposition) {
    const bool create = disposition == CREATE_NEW;
    ScopedFileHandle file(::CreateFileW(fullPath.c_str(), access | (create ? DELETE : 0), 0, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || checked_file_detail::IsPlainFileAt(file.get(), fullPath)) return file;
    if (create) {
        FILE_DISPOSITION_INFO remove = {TRUE};
        ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
    }
    file.reset();
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return file;
}

// Writes all of bytes at the handle's position.
inline bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done < 0x40000000 ? bytes.size() - done : 0x40000000);
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}
