#include "CKestoParser.h"

#include <new>

#include "AtText.h"

// Running out of memory is the only failure here; it must not cross the interface, so it
// leaves the result empty (or what was appended so far).

void CKestoParser::ExtractPayload(const void* buffer, std::uint32_t length, std::string* out) {
    if (out == nullptr) return;
    try {
        AtText::ExtractPayload(buffer, length, *out);
    } catch (const std::bad_alloc&) {
    }
}

std::string CKestoParser::KeepChars(std::string text, std::string charset) {
    try {
        return AtText::KeepChars(text, charset);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string CKestoParser::RemoveChars(std::string text, std::string charset) {
    try {
        return AtText::RemoveChars(text, charset);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string CKestoParser::HexToDec(std::string hexText) {
    try {
        return AtText::HexToDec(hexText);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

void CKestoParser::Split(std::string text, std::string separator, std::vector<std::string>* parts) {
    if (parts == nullptr) return;
    try {
        AtText::Split(text, separator, *parts);
    } catch (const std::bad_alloc&) {
    }
}

std::string CKestoParser::GetBetween(std::string text, std::string head, std::string tail) {
    try {
        return AtText::GetBetween(text, head, tail);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

void CKestoParser::Release() {
    delete this;
}
