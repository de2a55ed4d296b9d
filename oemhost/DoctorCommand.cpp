// doctor: shows the walk through the platform (DoctorWalk.h) as a person reads it, one line a
// step with what to do about a failure, and as the JSON's "export_lock" and "steps".
#include <cstdio>
#include <string>

#include "DoctorWalk.h"
#include "HostCommands.h"

namespace {

const char* const kOutcomeNames[] = {"ok", "failed", "skipped"};

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return text;
}

void Show(const StepLine& line, HostOutput& out, JsonArray* steps) {
    const int number = line.exitCode - kExitDoctorCom + 1;
    const char* outcome = kOutcomeNames[static_cast<int>(line.outcome)];
    std::string text = line.outcome == StepOutcome::Failed ? "FAILED" : outcome;
    if (!line.detail.empty()) text += ": " + line.detail;
    if (line.call != nullptr) text += " (" + std::string(line.call) + " " + Hex(line.result) + ")";
    if (!line.advice.empty()) text += ". What to do: " + line.advice + ".";
    out.Print(" %d. %s: %s\n", number, line.title, text.c_str());

    JsonObject step = JsonObject().Int("step", number).Text("title", line.title).Text("status", outcome);
    if (line.call != nullptr) {
        step.Text("call", line.call).Text("hresult", Hex(line.result));
    } else {
        step.Null("call").Null("hresult");
    }
    step.Text("detail", line.detail).Text("advice", line.advice);
    if (line.exitCode == kExitDoctorInterfaces) {
        JsonArray interfaces;
        for (const InterfaceSeen& seen : line.interfaces) {
            interfaces.Add(JsonObject().Text("id", seen.id).Int("ready_state", seen.state).Text("ready", seen.ready));
        }
        step.Array("interfaces", interfaces);
    }
    if (line.exitCode == kExitDoctorCommand) line.reply ? step.Text("reply", *line.reply) : step.Null("reply");
    steps->Add(step);
}

}  // namespace

// doctor: exit 0 when every step is ok, 10 when the export lock stayed held by another process,
// else 10 plus the number of the first step that failed.
int RunDoctor(const OemLibrary&, const Arguments& arguments, HostOutput& out) {
    if (!arguments.empty()) return kExitUsage;
    DoctorWalk walk;
    out.Print("The path of an AT command through the Mobile Broadband API%s:\n",
              walk.lockHeld() ? ", under the export lock" : " (the export lock could not be taken)");
    JsonArray steps;
    const int exitCode = walk.Run([&](const StepLine& line) { Show(line, out, &steps); });
    out.fields().Bool("export_lock", walk.lockHeld()).Array("steps", steps);
    if (exitCode == kExitAnswered) {
        out.Print("Every step is ok: AT commands reach the modem and are answered.\n");
    } else if (exitCode == kExitDoctorLock) {
        out.Print("Another process held the export lock: no step was run (exit code %d).\n", exitCode);
    } else {
        out.Print("The first step that failed is %d (exit code %d).\n", exitCode - kExitDoctorCom + 1, exitCode);
    }
    return exitCode;
}
