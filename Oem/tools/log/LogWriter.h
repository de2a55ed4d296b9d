#pragma once

#include <cstdarg>
#include <string>

#include "tools/log/LogSettings.h"
#include "tools/win/CriticalSection.h"

// What the shared log and the extended log have in common: the level test against
// "LOG_LV", the log file path derived below the application-data folder and the serialised
// append of one line. The configuration is parsed again only when its file changed, and the
// folder derived again only when its name changed or the folder went away; all of it under
// the lock that orders the lines.
class LogWriter {
public:
    // fileSuffix goes behind the host executable's file name (".log", "Ex.log"); defaultName
    // is used when the executable path holds no backslash.
    LogWriter(const char* fileSuffix, const char* defaultName);

    // forGood: every later line goes to path (the extended log); otherwise the next line
    // derives the path again and uses path only if that fails (the shared log).
    void SetPath(const char* path, bool forGood) noexcept;
    // Writes one line when "LOG_LV" admits level at this moment. A line that cannot be
    // written is lost; nothing is thrown.
    void Write(int level, const char* format, va_list args) noexcept;

    static constexpr size_t kMessageCapacity = 16384;

private:
    bool DerivePath();

    CriticalSection lock_;
    LogSettings settings_;
    std::string fileName_;
    std::string logFilePath_;
    bool pathGiven_ = false;
    bool pathDerived_ = false;  // logFilePath_ is the one the current settings give
};
