#pragma once

#include <cstdarg>
#include <string>

#include "tools/PrintfFormat.h"
#include "tools/win/CriticalSection.h"

// What the shared log and the extended log have in common: the level test against
// "LOG_LV", the log file path derived below the application-data folder and the serialised
// append of one line. Nothing is remembered from one line to the next but the path: every
// line reads "LOG_LV" again, and every written line derives its path again (unless one was
// given for good), so any edit of ksconfig.ini counts from the next line.
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
    OEM_PRINTF_FORMAT_V(3) void Write(int level, const char* format, va_list args) noexcept;

    static constexpr size_t kMessageCapacity = 16384;

private:
    void DerivePath();

    CriticalSection lock_;
    const std::string configPath_;
    const std::string fileName_;
    std::string logFilePath_;
    bool pathGiven_ = false;
};
