#pragma once
// The sub-commands of oemhost. Each is one function that calls the exports it needs and prints
// a readable answer, or gives it to the JSON object (HostOutput); adding one is a function of
// its own and a row in kHostCommands.

#include <cstddef>
#include <string>
#include <vector>

#include "HostExit.h"
#include "HostOutput.h"
#include "Oem.h"
#include "OemLibrary.h"

using Arguments = std::vector<std::string>;

struct HostCommand {
    const char* name;
    const char* arguments;  // as shown in the usage text, "" when none
    const char* summary;
    int (*run)(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
    bool withoutOem = false;  // runs without loading Oem.dll
};

extern const HostCommand kHostCommands[];
extern const std::size_t kHostCommandCount;

// The sub-commands, one per file; each returns its exit code.
int RunCarrierId(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunGetSwitch(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunSetSwitch(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunRestoreFactory(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunPackageDiffers(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunCarrierDiffers(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunFlashDecision(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunReport(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunCapture(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
int RunDoctor(const OemLibrary& oem, const Arguments& arguments, HostOutput& out);
