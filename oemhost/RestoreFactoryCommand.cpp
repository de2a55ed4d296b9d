#include "AnswerText.h"
#include "HostCommands.h"
#include "Oem.h"

int RunRestoreFactory(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    if (!arguments.empty()) return kExitUsage;
    const auto setSwitch = oem.Find<decltype(&OEM_SetCarrierSwitch)>("OEM_SetCarrierSwitch");
    if (setSwitch == nullptr) return kExitNoLibrary;

    // The restore takes no value and no flag.
    const int result = setSwitch(RESTOREFACTORY, 0, false);
    out.Answer(SetSwitchAnswer(RESTOREFACTORY, 0, false, result, "the factory carrier state"));
    if (result != 1) {
        out.Print(
            "Factory carrier state: not restored (the modem did not answer OK; "
            "OEM_SetCarrierSwitch returned 0).\n");
        return kExitNoAnswer;
    }
    out.Print("Factory carrier state: restored (the modem answered OK).\n");
    return kExitAnswered;
}
