#include "HostCommands.h"

const HostCommand kHostCommands[] = {
    {"report", "[--package CUR NEW] [--carrier-package CUR NEW] [--firmware NEW] [--nvm NEW]",
     "one page: package and carrier package, firmware and NVM, carrier switch, current carrier", &RunReport},
    {"carrier-id", "", "the carrier the modem runs now (OEM_GetCurrentCarrierID)", &RunCarrierId},
    {"get-switch", "lock|manual|auto|factory-default", "how the modem chooses its carrier (OEM_GetCarrierSwitch)",
     &RunGetSwitch},
    {"set-switch", "MODE SETTING",
     "lock CARRIER|off, manual CARRIER|off, auto on|off, factory-default CARRIER (OEM_SetCarrierSwitch)",
     &RunSetSwitch},
    {"restore-factory", "", "the factory carrier state back (OEM_SetCarrierSwitch mode 5)", &RunRestoreFactory},
    {"package-differs", "CURRENT NEW", "whether the package must be updated (OEM_Check_If_UpdateCurrentPackage)",
     &RunPackageDiffers},
    {"carrier-differs", "CURRENT NEW",
     "whether the carrier package must be updated (OEM_Check_If_UpdateCurrentCarrierInPackage)", &RunCarrierDiffers},
    {"flash-decision", "NEW_FIRMWARE NEW_NVM",
     "whether firmware and NVM must be flashed (OEM_Check_If_FlashCurrentCarrier)", &RunFlashDecision},
    {"capture", "FILE [--force]",
     "the modem's replies to the exports' read-only queries, written as a profile of the simulated modem", &RunCapture,
     true},
    {"doctor", "",
     "the path of an AT command through the Mobile Broadband API, one step a line: what failed and what to do",
     &RunDoctor, true},
};

const std::size_t kHostCommandCount = sizeof kHostCommands / sizeof kHostCommands[0];
