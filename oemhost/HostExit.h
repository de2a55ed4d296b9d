#pragma once
// The exit codes of oemhost and their meanings, what the JSON's "exit_code" and "exit_meaning"
// give: the tool's contract with its caller, shared by the commands and by HostOutput.

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
