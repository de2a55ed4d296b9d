#include "JsonText.h"

#include <cstdio>

std::string JsonString(const std::string& bytes) {
    std::string json = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\r') {
            json += "\\r";
        } else if (c == '\t') {
            json += "\\t";
        } else if (byte < 0x20 || byte > 0x7e) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

JsonObject& JsonObject::Array(const char* key, const JsonArray& value) {
    return Raw(key, value.Json());
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
    if (!members_.empty() && !other.members_.empty()) members_ += ", ";
    members_ += other.members_;
    return *this;
}

JsonObject& JsonObject::Raw(const char* key, const std::string& json) {
    if (!members_.empty()) members_ += ", ";
    members_ += JsonString(key) + ": " + json;
    return *this;
}

JsonArray& JsonArray::Raw(const std::string& json) {
    if (!elements_.empty()) elements_ += ", ";
    elements_ += json;
    return *this;
}
