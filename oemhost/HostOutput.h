#pragma once
// What a command tells its caller: the readable page, or with --json one JSON object on standard
// output with what oemhost was given, every export's answer, the command's own fields and the
// exit code (README's host tool section lists the fields).

#include <cstdint>
#include <string>

#include "JsonText.h"
#include "tools/PrintfFormat.h"

// One call of an export as the JSON shows it.
struct ExportAnswer {
    const char* exportName;
    JsonObject inputs;    // the parameters as passed, by the public header's names
    std::int64_t result;  // the raw result; for the flash decision the record's Result byte
    bool answered;        // false for the export's failure value: no answer from the modem
    std::string meaning;  // the answer in words
    JsonObject outputs;   // what it wrote through its pointers, or the record's other bytes
};

class HostOutput {
public:
    explicit HostOutput(bool json) : json_(json) {}
    bool json() const { return json_; }

    // A piece of the readable page; nothing with --json.
    OEM_PRINTF_FORMAT(2, 3) void Print(const char* format, ...) const;
    void Answer(const ExportAnswer& answer);
    // The command's own fields, after the answers (capture's file, doctor's steps).
    JsonObject& fields() { return fields_; }

    // With --json prints the object: given (what oemhost was asked) first, then "answers", the
    // command's fields, "exit_code" and "exit_meaning". Returns exitCode.
    int Finish(const JsonObject& given, int exitCode) const;

private:
    bool json_;
    JsonArray answers_;
    JsonObject fields_;
};
