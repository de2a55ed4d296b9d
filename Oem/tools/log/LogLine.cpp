#include "LogLine.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace LogLine {

std::string FormatBounded(size_t capacity, const char* format, va_list args) {
    std::vector<char> buffer(capacity, '\0');
    va_list copy;
    va_copy(copy, args);
    int written = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (written < 0) return std::string();
    buffer.back() = '\0';
    return std::string(buffer.data());
}

int Append(const std::string& path, const std::string& prefix, const std::string& message) {
    if (path.empty()) return EINVAL;
    FILE* file = nullptr;
    const errno_t opened = fopen_s(&file, path.c_str(), "a+");
    if (opened != 0 || file == nullptr) return opened != 0 ? opened : EINVAL;
    std::fwrite(prefix.data(), 1, prefix.size(), file);
    std::fwrite(message.data(), 1, message.size(), file);
    std::fputs("\n", file);
    std::fflush(file);
    std::fclose(file);
    return 0;
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
