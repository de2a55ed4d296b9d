#pragma once
// The sub-commands of oemhost. Each is one function that calls the exports it needs and prints
// a readable answer; adding one is a function of its own and a row in kHostCommands.

#include <cstddef>
#include <string>
#include <vector>

#include "Oem.h"
#include "OemLibrary.h"

// What oemhost tells its caller through its exit code.
enum HostExit : int {
    kExitAnswered = 0,   // the exports answered; the answer is printed
    kExitNoAnswer = 1,   // an export reported that it got no answer from the modem
    kExitUsage = 2,      // unknown sub-command or wrong arguments
    kExitNoLibrary = 3,  // Oem.dll could not be loaded or lacks an export
    kExitDiffers = 4,    // answered: the versions differ, an update or a flash is due
};

using Arguments = std::vector<std::string>;

struct HostCommand {
    const char* name;
    const char* arguments;  // as shown in the usage text, "" when none
    const char* summary;
    int (*run)(const OemLibrary& oem, const Arguments& arguments);
    bool withoutOem = false;  // runs without loading Oem.dll
};

extern const HostCommand kHostCommands[];
extern const std::size_t kHostCommandCount;

// The sub-commands, one per file.
int RunCarrierId(const OemLibrary& oem, const Arguments& arguments);
int RunGetSwitch(const OemLibrary& oem, const Arguments& arguments);
int RunSetSwitch(const OemLibrary& oem, const Arguments& arguments);
int RunRestoreFactory(const OemLibrary& oem, const Arguments& arguments);
int RunPackageDiffers(const OemLibrary& oem, const Arguments& arguments);
int RunCarrierDiffers(const OemLibrary& oem, const Arguments& arguments);
int RunFlashDecision(const OemLibrary& oem, const Arguments& arguments);
int RunReport(const OemLibrary& oem, const Arguments& arguments);
int RunCapture(const OemLibrary& oem, const Arguments& arguments);
