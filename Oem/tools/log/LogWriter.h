#pragma once

#include <cstdarg>
#include <string>

#include "tools/win/CriticalSection.h"

// What the shared log and the extended log have in common: the level test against
// "LOG_LV", the log file path derived below the application-data folder and the serialised
// append of one line.
class LogWriter {
public:
    // fileSuffix goes behind the host executable's file name (".log", "Ex.log"); defaultName
    // is used when the executable path holds no backslash.
    LogWriter(const char* fileSuffix, const char* defaultName);

    // Reads "LOG_LV" anew, outside the lock, so the level can change while the host runs.
    bool Admits(int level) const;
    void SetPath(const char* path);
    // Writes one line; derivePath asks to derive the log file path first.
    void Write(bool derivePath, const char* format, va_list args);

    static constexpr size_t kMessageCapacity = 16384;

private:
    void DerivePath();

    CriticalSection lock_;
    std::string logFilePath_;
    std::string configPath_;
    const char* fileSuffix_;
    const char* defaultName_;
};
