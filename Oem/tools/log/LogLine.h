#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#include "tools/PrintfFormat.h"

namespace LogLine {

// Appends one line to the file at path in text mode, so the line end (and every line feed
// inside the message) lands on disk as CR LF: the prefix, then the message formatted into a
// zero-filled buffer of capacity bytes, then "\n". A longer message is cut at capacity - 1
// characters: a log line is never worth failing the caller's work for. When the file cannot
// be opened, or is refused (CheckedLogFile), the line is dropped before its message is formatted.
OEM_PRINTF_FORMAT_V(4)
void Append(const std::string& path, const std::string& prefix, size_t capacity, const char* format, va_list args);

// "[pid] [tid] MM-DD hh:mm:ss:mmm : " from the current process, thread and local time.
std::string StandardPrefix();

}  // namespace LogLine
