#include "LogWriter.h"

#include "LogConfig.h"
#include "LogLine.h"

LogWriter::LogWriter(const char* fileSuffix, const char* defaultName)
    : configPath_(LogConfig::ConfigFilePath()), fileSuffix_(fileSuffix), defaultName_(defaultName) {}

bool LogWriter::Admits(int level) const {
    return LogConfig::ReadLogLevel(configPath_) >= level;
}

void LogWriter::SetPath(const char* path) {
    ScopedLock hold(lock_);
    logFilePath_ = path ? path : "";
}

void LogWriter::DerivePath() {
    std::string fileName = defaultName_;
    const std::string exe = LogConfig::HostExecutablePath();
    const size_t slash = exe.rfind('\\');
    if (slash != std::string::npos) fileName = exe.substr(slash + 1) + fileSuffix_;

    std::string logsFolder;
    if (!LogConfig::EnsureLogsFolder(LogConfig::ReadLogFolderName(configPath_), &logsFolder)) return;
    logFilePath_ = logsFolder + fileName;
}

void LogWriter::Write(bool derivePath, const char* format, va_list args) {
    ScopedLock hold(lock_);
    if (derivePath) DerivePath();
    const std::string prefix = LogLine::StandardPrefix();
    const std::string message = LogLine::FormatBounded(kMessageCapacity, format, args);
    LogLine::Append(logFilePath_, prefix, message);
}
