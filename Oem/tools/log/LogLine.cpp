#include "LogLine.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "CheckedLogFile.h"

namespace LogLine {

void Append(const std::string& path, const std::string& prefix, size_t capacity, const char* format, va_list args) {
    std::vector<char> message(capacity, '\0');
    const CheckedLogFile::ScopedFile opened = CheckedLogFile::OpenForAppend(path);
    if (!opened) return;
    std::FILE* file = opened.get();
    std::fwrite(prefix.data(), 1, prefix.size(), file);
    va_list copy;
    va_copy(copy, args);
    const int formatted = std::vsnprintf(message.data(), message.size(), format, copy);
    va_end(copy);
    // A message that cannot be formatted leaves the prefix alone on its line.
    if (formatted >= 0) std::fputs(message.data(), file);
    std::fputs("\n", file);
    std::fflush(file);
}

std::string StandardPrefix() {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char prefix[96] = {};
    std::snprintf(prefix, sizeof(prefix),
                  "[%d] [%d] %02d-%02d %02d:%02d:%02d:%03d : ", static_cast<int>(::GetCurrentProcessId()),
                  static_cast<int>(::GetCurrentThreadId()), now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  now.wMilliseconds);
    return prefix;
}

}  // namespace LogLine
