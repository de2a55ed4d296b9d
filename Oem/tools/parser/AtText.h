#pragma once
// Text operations for taking AT replies apart. Plain C++ over byte strings, compared byte by
// byte with no locale and no platform header, so they also build natively for sanitizers.

#include <cstdint>
#include <string>
#include <vector>

namespace AtText {

// Appends the payload of a reply buffer to out. A buffer that begins with a 32-bit
// little-endian count and holds at least count bytes after it yields those count bytes; any
// other buffer (a plain AT reply, or one too short for its count) is appended whole. Never
// reads past length.
void ExtractPayload(const void* buffer, std::uint32_t length, std::string& out);

// text without every character that is not in charset; the rest keep their order.
std::string KeepChars(const std::string& text, const std::string& charset);

// text without every character that is in charset.
std::string RemoveChars(const std::string& text, const std::string& charset);

// The decimal text of "0X"-prefixed hexadecimal text (either case), as a signed 32-bit value
// that wraps. Every character after the prefix counts as a digit, blanks and line ends too;
// text that does not begin with the prefix gives "0".
std::string HexToDec(const std::string& hexText);

// Appends the pieces of text between separators to parts: empty pieces between adjacent
// separators are kept, an empty last piece is not.
void Split(const std::string& text, const std::string& separator, std::vector<std::string>& parts);

// The text between the first head and the first tail found from where that head begins;
// empty when either is missing or the tail does not come after the head's end.
std::string GetBetween(const std::string& text, const std::string& head, const std::string& tail);

}  // namespace AtText
