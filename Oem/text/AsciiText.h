#pragma once
// Small byte-string helpers shared by the reply parses and the version rules. Plain C++:
// no platform header, so the parses build natively for sanitizers and fuzzing.

#include <string>

namespace AsciiText {

// toupper of every byte in the "C" locale: only a to z change.
void UpperCaseInPlace(std::string& text);
std::string UpperCased(std::string text);

// Keeps only the bytes "0" to "9" and those in extra.
std::string KeepDigits(const std::string& text, const char* extra = "");

// The leading number of text as the C library's atoi reads it (blanks, an optional sign,
// digits), saturated at the 32-bit limits as the Windows runtime does instead of overflowing.
int AtoiLike(const std::string& text);

// The text between the first head and the first tail, both searched from the start; empty
// when either is missing or tail does not begin after head ends.
std::string FieldBetween(const std::string& text, const std::string& head, const std::string& tail);

}  // namespace AsciiText
