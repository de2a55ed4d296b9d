#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace LogLine {

// Formats a message into a bounded buffer. Longer messages are cut at capacity - 1
// characters: a log line is never worth failing the caller's work for.
std::string FormatBounded(size_t capacity, const char* format, va_list args);

// Appends prefix, message and a line end to the file at path in text mode, so the line
// end (and every line feed inside the message) lands on disk as CR LF. Drops the line when
// the file cannot be opened and says why: 0 when written, else the C runtime's error number
// (ENOENT: the folder is gone).
int Append(const std::string& path, const std::string& prefix, const std::string& message);

// "[pid] [tid] MM-DD hh:mm:ss:mmm : " from the current process, thread and local time.
std::string StandardPrefix();

}  // namespace LogLine
