#include <cstdio>

#include "HostCommands.h"
#include "Oem.h"

int RunRestoreFactory(const OemLibrary& oem, const Arguments& arguments) {
    if (!arguments.empty()) return kExitUsage;
    const auto setSwitch = oem.Find<decltype(&OEM_SetCarrierSwitch)>("OEM_SetCarrierSwitch");
    if (setSwitch == nullptr) return kExitNoLibrary;

    // The restore takes no value and no flag.
    if (setSwitch(RESTOREFACTORY, 0, false) != 1) {
        std::printf(
            "Factory carrier state: not restored (the modem did not answer OK; "
            "OEM_SetCarrierSwitch returned 0).\n");
        return kExitNoAnswer;
    }
    std::printf("Factory carrier state: restored (the modem answered OK).\n");
    return kExitAnswered;
}
