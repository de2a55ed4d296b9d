#pragma once
// Asks the compiler to check a printf-style format against the arguments that follow it.
// Positions count from 1; in a member function the object itself is position 1. Other
// compilers (MSVC) get nothing.

#if defined(__GNUC__) || defined(__clang__)
#define OEM_PRINTF_FORMAT(formatPosition, firstArgument) __attribute__((format(printf, formatPosition, firstArgument)))
// For a function that takes its arguments as a va_list: only the format itself is checked.
#define OEM_PRINTF_FORMAT_V(formatPosition) __attribute__((format(printf, formatPosition, 0)))
#else
#define OEM_PRINTF_FORMAT(formatPosition, firstArgument)
#define OEM_PRINTF_FORMAT_V(formatPosition)
#endif
