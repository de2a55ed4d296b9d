#include "LogWriter.h"

#include <cerrno>

#include "LogConfig.h"
#include "LogLine.h"
#include "tools/win/CatchResult.h"

namespace {

std::string LogFileName(const char* fileSuffix, const char* defaultName) {
    const std::string exe = LogConfig::HostExecutablePath();
    const size_t slash = exe.rfind('\\');
    return slash != std::string::npos ? exe.substr(slash + 1) + fileSuffix : defaultName;
}

}  // namespace

LogWriter::LogWriter(const char* fileSuffix, const char* defaultName)
    : settings_(LogConfig::ConfigFilePath()), fileName_(LogFileName(fileSuffix, defaultName)) {}

void LogWriter::SetPath(const char* path, bool forGood) noexcept {
    // Without memory for the path the previous one stays.
    CatchAll([&] {
        ScopedLock hold(lock_);
        logFilePath_ = path ? path : "";
        pathDerived_ = false;
        if (forGood) pathGiven_ = true;
    });
}

bool LogWriter::DerivePath() {
    std::string logsFolder;
    if (!LogConfig::EnsureLogsFolder(settings_.FolderName(), &logsFolder)) return false;
    logFilePath_ = logsFolder + fileName_;
    return true;
}

// Logging never changes the caller's result: whatever fails here stays here.
void LogWriter::Write(int level, const char* format, va_list args) noexcept {
    CatchAll([&] {
        const LogSettings::Identity config = settings_.Examine();
        ScopedLock hold(lock_);
        if (settings_.Refresh(config)) pathDerived_ = false;
        if (settings_.Level() < level) return;
        if (!pathGiven_ && !pathDerived_) pathDerived_ = DerivePath();
        const std::string prefix = LogLine::StandardPrefix();
        const std::string message = LogLine::FormatBounded(kMessageCapacity, format, args);
        // A log folder removed while the host runs is made again for this very line.
        if (LogLine::Append(logFilePath_, prefix, message) == ENOENT && !pathGiven_ && DerivePath()) {
            LogLine::Append(logFilePath_, prefix, message);
        }
    });
}
