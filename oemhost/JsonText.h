#pragma once
// The host tool's JSON: objects and arrays written in the order their members are added, with
// no dependency. Strings come out as ASCII: the quote and the backslash are escaped, CR, LF and
// tab as \r \n \t, and every other byte below 0x20 or above 0x7e as \u00XX (its Latin-1
// character), so any bytes (an argument, a modem's reply) give valid JSON.

#include <cstdint>
#include <string>

// bytes as a JSON string, quotes included.
std::string JsonString(const std::string& bytes);

class JsonArray;

class JsonObject {
public:
    JsonObject& Text(const char* key, const std::string& value) { return Raw(key, JsonString(value)); }
    JsonObject& Int(const char* key, std::int64_t value) { return Raw(key, std::to_string(value)); }
    JsonObject& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
    JsonObject& Null(const char* key) { return Raw(key, "null"); }
    JsonObject& Object(const char* key, const JsonObject& value) { return Raw(key, value.Json()); }
    JsonObject& Array(const char* key, const JsonArray& value);
    // other's members after this one's.
    JsonObject& Merge(const JsonObject& other);

    std::string Json() const { return "{" + members_ + "}"; }

private:
    JsonObject& Raw(const char* key, const std::string& json);

    std::string members_;
};

class JsonArray {
public:
    JsonArray& Add(const JsonObject& element) { return Raw(element.Json()); }
    JsonArray& Add(const std::string& text) { return Raw(JsonString(text)); }

    std::string Json() const { return "[" + elements_ + "]"; }

private:
    JsonArray& Raw(const std::string& json);

    std::string elements_;
};
