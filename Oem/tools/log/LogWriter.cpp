#include "LogWriter.h"

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
    : configPath_(LogConfig::ConfigFilePath()), fileName_(LogFileName(fileSuffix, defaultName)) {}

void LogWriter::SetPath(const char* path, bool forGood) noexcept {
    // Without memory for the path the previous one stays.
    CatchAll([&] {
        ScopedLock hold(lock_);
        logFilePath_ = path ? path : "";
        if (forGood) pathGiven_ = true;
    });
}

// A folder that cannot be made leaves the path as it was; a refused one (a link, a path too
// long) leaves no path, so the line is dropped.
void LogWriter::DerivePath() {
    std::string logsFolder;
    switch (LogConfig::EnsureLogsFolder(LogConfig::ReadLogFolderName(configPath_), &logsFolder)) {
        case LogFolder::State::Ready:
            logFilePath_ = logsFolder + fileName_;
            break;
        case LogFolder::State::Refused:
            logFilePath_.clear();
            break;
        case LogFolder::State::Unavailable:
            break;
    }
}

// Logging never changes the caller's result: whatever fails here stays here.
void LogWriter::Write(int level, const char* format, va_list args) noexcept {
    // Read outside the lock: a filtered line neither waits for another thread's write nor
    // costs more than this one read.
    if (LogConfig::ReadLogLevel(configPath_) < level) return;
    CatchAll([&] {
        ScopedLock hold(lock_);
        if (!pathGiven_) DerivePath();
        LogLine::Append(logFilePath_, LogLine::StandardPrefix(), kMessageCapacity, format, args);
    });
}
