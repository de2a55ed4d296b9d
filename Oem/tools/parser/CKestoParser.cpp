#include "CKestoParser.h"

#include "AtText.h"
#include "tools/win/CatchResult.h"

// Running out of memory is the only failure here; it must not cross the interface, so it
// leaves the result empty (or what was appended so far).

void CKestoParser::ExtractPayload(const void* buffer, std::uint32_t length, std::string* out) {
    if (out != nullptr) CatchAll([&] { AtText::ExtractPayload(buffer, length, *out); });
}

std::string CKestoParser::KeepChars(std::string text, std::string charset) {
    return CatchResult(std::string(), [&] { return AtText::KeepChars(text, charset); });
}

std::string CKestoParser::RemoveChars(std::string text, std::string charset) {
    return CatchResult(std::string(), [&] { return AtText::RemoveChars(text, charset); });
}

std::string CKestoParser::HexToDec(std::string hexText) {
    return CatchResult(std::string(), [&] { return AtText::HexToDec(hexText); });
}

void CKestoParser::Split(std::string text, std::string separator, std::vector<std::string>* parts) {
    if (parts != nullptr) CatchAll([&] { AtText::Split(text, separator, *parts); });
}

std::string CKestoParser::GetBetween(std::string text, std::string head, std::string tail) {
    return CatchResult(std::string(), [&] { return AtText::GetBetween(text, head, tail); });
}

void CKestoParser::Release() {
    delete this;
}
