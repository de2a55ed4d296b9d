#include "tools/parser/AtText.h"

#include "text/AsciiText.h"

namespace AtText {

void ExtractPayload(const void* buffer, std::uint32_t length, std::string& out) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    if (bytes == nullptr || length == 0) return;
    const char* text = reinterpret_cast<const char*>(bytes);
    constexpr std::uint32_t kPrefix = 4;
    if (length < kPrefix) {
        // Too short to hold a count: only plain text fits.
        out.append(text, length);
        return;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    // A buffer that cannot hold the payload its count announces is taken as plain text rather
    // than read past its end. Computed in 64 bits: count + 4 may not fit in 32.
    if (static_cast<std::uint64_t>(count) + kPrefix > length) {
        out.append(text, length);
        return;
    }
    out.append(text + kPrefix, count);
}

std::string KeepChars(const std::string& text, const std::string& charset) {
    std::string kept;
    for (char c : text) {
        if (charset.find(c) != std::string::npos) kept += c;
    }
    return kept;
}

std::string RemoveChars(const std::string& text, const std::string& charset) {
    std::string kept;
    for (char c : text) {
        if (charset.find(c) == std::string::npos) kept += c;
    }
    return kept;
}

std::string HexToDec(const std::string& hexText) {
    const std::string upper = AsciiText::UpperCased(hexText);
    if (upper.compare(0, 2, "0X") != 0) return "0";
    std::uint32_t value = 0;
    for (size_t i = 2; i < upper.size(); ++i) {
        const signed char c = static_cast<signed char>(upper[i]);
        const int digit = c <= '9' ? c - '0' : c - 55;
        value = value * 16u + static_cast<std::uint32_t>(digit);
    }
    return std::to_string(static_cast<std::int32_t>(value));
}

void Split(const std::string& text, const std::string& separator, std::vector<std::string>& parts) {
    // An empty separator would match everywhere without moving on: the text is one piece.
    if (separator.empty()) {
        if (!text.empty()) parts.push_back(text);
        return;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(separator, start);
        if (found == std::string::npos) break;
        parts.push_back(text.substr(start, found - start));
        // A longer separator is skipped whole; the next piece starts after all of it.
        start = found + separator.size();
    }
    if (start < text.size()) parts.push_back(text.substr(start));
}

std::string GetBetween(const std::string& text, const std::string& head, const std::string& tail) {
    const size_t headAt = text.find(head);
    if (headAt == std::string::npos) return std::string();
    // The tail is searched from where head begins, so a tail inside head ends the field there.
    const size_t tailAt = text.find(tail, headAt);
    if (tailAt == std::string::npos) return std::string();
    const size_t start = headAt + head.size();
    if (start >= tailAt) return std::string();
    return text.substr(start, tailAt - start);
}

}  // namespace AtText
