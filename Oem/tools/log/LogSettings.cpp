#include "LogSettings.h"

#include <utility>

#include "tools/win/ScopedHandle.h"
#include "LogConfig.h"

namespace {

// File-system clocks are coarse (two seconds on some volumes): a file written this close to
// when it was looked at may have changed again under the same time and size.
constexpr ULONGLONG kRacyWindow = 2ULL * 10 * 1000 * 1000;

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG SystemTimeNow() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// NTFS and ReFS move a folder's last-write time when an entry is added or removed; FAT
// volumes do not, so there the file itself is examined every time.
bool FolderTimesMove(const std::string& folder) {
    if (folder.empty()) return false;
    ScopedFileHandle handle(::CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!handle || !::GetVolumeInformationByHandleW(handle.get(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                                    MAX_PATH + 1)) {
        return false;
    }
    return ::lstrcmpiW(fileSystem, L"NTFS") == 0 || ::lstrcmpiW(fileSystem, L"ReFS") == 0;
}

}  // namespace

LogSettings::LogSettings(std::string configPath)
    : configPath_(std::move(configPath)), configFolder_(FolderOf(configPath_)) {}

LogSettings::Identity LogSettings::ExamineFile() const {
    Identity identity;
    if (configPath_.empty()) {
        identity.known = true;
        return identity;
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (::GetFileAttributesExA(configPath_.c_str(), GetFileExInfoStandard, &data)) {
        identity.known = true;
        identity.exists = true;
        identity.lastWrite = Ticks(data.ftLastWriteTime);
        identity.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return identity;
    }
    const DWORD error = ::GetLastError();
    identity.known = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return identity;
}

LogSettings::Identity LogSettings::Examine() const {
    if (watchFolder_.load(std::memory_order_relaxed) && !configFolder_.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExA(configFolder_.c_str(), GetFileExInfoStandard, &data)) {
            Identity folder;
            folder.known = true;
            folder.folderOnly = true;
            folder.lastWrite = Ticks(data.ftLastWriteTime);
            return folder;
        }
    }
    return ExamineFile();
}

bool LogSettings::Refresh(const Identity& examined) {
    Identity now = examined;
    if (now.folderOnly) {
        if (parsed_ && file_.known && !file_.exists && now.lastWrite == folderWrite_ &&
            folderWrite_ + kRacyWindow <= folderCheckedAt_) {
            return false;
        }
        // Something in the folder changed, or changed too recently to tell: look at the file.
        folderCheckedAt_ = SystemTimeNow();
        folderWrite_ = now.lastWrite;
        now = ExamineFile();
    }
    WatchFolderWhileMissing(now);
    if (parsed_ && now.known && file_.known && now.exists == file_.exists &&
        (!now.exists ||
         (now.lastWrite == file_.lastWrite && now.size == file_.size && now.lastWrite + kRacyWindow <= parsedAt_))) {
        return false;
    }

    // The time is taken before reading, so a write during the read counts as racy.
    parsedAt_ = SystemTimeNow();
    int level = -1;
    std::string folderName = LogConfig::ReadLogFolderName(std::string());  // the default
    if (now.exists || !now.known) {
        level = LogConfig::ReadLogLevel(configPath_);
        folderName = LogConfig::ReadLogFolderName(configPath_);
    }
    const bool folderChanged = !parsed_ || folderName != folderName_;
    level_ = level;
    folderName_ = std::move(folderName);
    file_ = now;
    parsed_ = true;
    return folderChanged;
}

void LogSettings::WatchFolderWhileMissing(const Identity& file) {
    bool watch = false;
    if (file.known && !file.exists) {
        if (!folderKindKnown_) {
            folderKindKnown_ = true;
            folderTimesMove_ = FolderTimesMove(configFolder_);
        }
        // A folder that changed within the window would send the line on to the file as
        // well: while it is busy, look at the file alone.
        watch = folderTimesMove_ && folderWrite_ + kRacyWindow <= SystemTimeNow();
    }
    watchFolder_.store(watch, std::memory_order_relaxed);
}
