#include "text/AsciiText.h"

#include <cctype>
#include <climits>

namespace AsciiText {

void UpperCaseInPlace(std::string& text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
}

std::string UpperCased(std::string text) {
    UpperCaseInPlace(text);
    return text;
}

std::string KeepDigits(const std::string& text, const char* extra) {
    const std::string kept(extra);
    std::string digits;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || kept.find(c) != std::string::npos) digits += c;
    }
    return digits;
}

int AtoiLike(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

std::string FieldBetween(const std::string& text, const std::string& head, const std::string& tail) {
    const size_t headAt = text.find(head);
    const size_t tailAt = text.find(tail);
    if (headAt == std::string::npos || tailAt == std::string::npos) return std::string();
    const size_t start = headAt + head.size();
    if (tailAt <= start) return std::string();
    return text.substr(start, tailAt - start);
}

}  // namespace AsciiText
