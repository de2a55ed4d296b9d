#include "LogSettings.h"

#include <utility>

#include "LogConfig.h"

namespace {

// File-system clocks are coarse (two seconds on some volumes): a file written this close to
// when it was read may have changed again under the same time and size.
constexpr ULONGLONG kRacyWindow = 2ULL * 10 * 1000 * 1000;

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG SystemTimeNow() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

}  // namespace

LogSettings::LogSettings(std::string configPath) : configPath_(std::move(configPath)) {}

LogSettings::Identity LogSettings::Examine() const {
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

bool LogSettings::Current(const Identity& now) const {
    if (!parsed_ || !now.known || !identity_.known || now.exists != identity_.exists) return false;
    if (!now.exists) return true;
    return now.lastWrite == identity_.lastWrite && now.size == identity_.size &&
           now.lastWrite + kRacyWindow <= parsedAt_;
}

bool LogSettings::Refresh() {
    const Identity now = Examine();
    if (Current(now)) return false;

    // The time is taken before reading, so a write during the read counts as racy.
    parsedAt_ = SystemTimeNow();
    int level = -1;
    std::string folderName = LogConfig::ReadLogFolderName(std::string());  // the default
    if (now.exists || !now.known) {
        LogConfig::ForgetCachedProfile(configPath_);
        level = LogConfig::ReadLogLevel(configPath_);
        folderName = LogConfig::ReadLogFolderName(configPath_);
    }
    const bool folderChanged = !parsed_ || folderName != folderName_;
    level_ = level;
    folderName_ = std::move(folderName);
    identity_ = now;
    parsed_ = true;
    return folderChanged;
}
