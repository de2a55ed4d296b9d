#include "HostOutput.h"

#include <cstdarg>
#include <cstdio>

#include "HostExit.h"

void HostOutput::Print(const char* format, ...) const {
    if (json_) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void HostOutput::Answer(const ExportAnswer& answer) {
    answers_.Add(JsonObject()
                     .Text("export", answer.exportName)
                     .Object("inputs", answer.inputs)
                     .Int("result", answer.result)
                     .Bool("answered", answer.answered)
                     .Text("meaning", answer.meaning)
                     .Object("outputs", answer.outputs));
}

int HostOutput::Finish(const JsonObject& given, int exitCode) const {
    if (!json_) return exitCode;
    JsonObject all = given;
    all.Array("answers", answers_)
        .Merge(fields_)
        .Int("exit_code", exitCode)
        .Text("exit_meaning", ExitMeaning(exitCode));
    std::printf("%s\n", all.Json().c_str());
    return exitCode;
}
