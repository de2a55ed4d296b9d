#pragma once
// The sub-commands of oemhost. Each is one function that calls the exports it needs and prints
// a readable answer, or gives it to the JSON object (HostOutput); adding one is a function of
// its own and a row in kHostCommands.

#include <cstddef>
#include <string>
#include <vector>

#include "HostOutput.h"
#include "Oem.h"
#include "OemLibrary.h"

// What oemhost tells its caller through its exit code.
enum HostExit : int {
    kExitAnswered = 0,   // the exports answered; the answer is printed
    kExitNoAnswer = 1,   // an export reported that it got no answer from the modem
    kExitUsage = 2,      // unknown sub-command or wrong arguments
    kExitNoLibrary = 3,  // Oem.dll could not be loaded or lacks an export
    kExitDiffers = 4,    // answered: the versions differ, an update or a flash is due
    kExitDoctorLock = 10,  // doctor: another process held the export lock for all of its wait
    // doctor: the first step on the path of an AT command that failed, 10 plus its number.
    kExitDoctorCom = 11,               // COM in the multithreaded apartment
    kExitDoctorInterfaceManager = 12,  // the interface manager
    kExitDoctorInterfaces = 13,        // no mobile-broadband interface, or the first not ready
    kExitDoctorServices = 14,          // the device services manager, its events, the context
    kExitDoctorAtService = 15,         // the AT device service
    kExitDoctorSessionOpen = 16,       // the command session did not open
    kExitDoctorCommand = 17,           // AT\r\n not answered OK
    kExitDoctorSessionClose = 18,      // the command session did not close
};

// The exit code in a few words, as the JSON's "exit_meaning" gives it.
const char* ExitMeaning(int exitCode);

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
