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

// The handle's final path in the given form (VOLUME_NAME_DOS or VOLUME_NAME_NONE), without
// the "\\?\" prefix; empty when it cannot be read.
inline std::wstring FinalPathOf(HANDLE file, DWORD form) {
    std::vector<wchar_t> finalPath(MAX_PATH);
    DWORD length = ::GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), form);
    if (length >= finalPath.size()) {
        finalPath.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()), form);
    }
    if (length == 0 || length >= finalPath.size()) return std::wstring();
    std::wstring text(finalPath.data(), length);
    if (text.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + text.substr(8);
    if (text.compare(0, 4, L"\\\\?\\") == 0) return text.substr(4);
    return text;
}

inline bool SamePath(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A drive mapped to a share: the same path below the volume, on the very volume the drive
// letter names.
inline bool SameFileThroughMappedDrive(HANDLE file, const std::wstring& fullPath) {
    if (!SamePath(FinalPathOf(file, VOLUME_NAME_NONE), BelowVolume(fullPath))) return false;
    wchar_t root[MAX_PATH] = {};
    DWORD serial = 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    return ::GetVolumePathNameW(fullPath.c_str(), root, MAX_PATH) &&
           ::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) &&
           ::GetFileInformationByHandle(file, &info) && info.dwVolumeSerialNumber == serial;
}

}  // namespace checked_file_detail

// Whether the open file is one regular file of a single link at exactly fullPath. The log
// writer asks this for every line, so the common case costs two cheap queries (not
// GetFileInformationByHandle, which asks for the volume too) and one final path; a short (8.3)
// name along the path and a mapped drive are looked at only when the name as given differs.
inline bool IsPlainFileAt(HANDLE file, const std::wstring& fullPath) {
    using namespace checked_file_detail;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    FILE_STANDARD_INFO standard = {};
    if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag)) ||
        !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        standard.NumberOfLinks != 1) {
        return false;
    }
    const std::wstring finalPath = FinalPathOf(file, VOLUME_NAME_DOS);
    if (SamePath(finalPath, fullPath)) return true;
    std::vector<wchar_t> meant(fullPath.size() + MAX_PATH);
    const DWORD length = ::GetLongPathNameW(fullPath.c_str(), meant.data(), static_cast<DWORD>(meant.size()));
    if (length == 0 || length >= meant.size()) return false;
    const std::wstring longPath(meant.data(), length);
    return SamePath(finalPath, longPath) || SameFileThroughMappedDrive(file, longPath);
}

// disposition: CREATE_NEW or OPEN_EXISTING. fullPath: absolute (FullPathOf). A file made here
// is opened with DELETE access besides access, so that a refused one can be removed.
inline ScopedFileHandle OpenCheckedFile(const std::wstring& fullPath, DWORD access, DWORD disposition, DWORD share = 0) {
    const bool create = disposition == CREATE_NEW;
    ScopedFileHandle file(::CreateFileW(fullPath.c_str(), access | (create ? DELETE : 0), share, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || IsPlainFileAt(file.get(), fullPath)) return file;
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
