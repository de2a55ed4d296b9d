#include <cstdint>

#include "AnswerText.h"
#include "HostCommands.h"

int RunGetSwitch(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    const SwitchModeName* mode = arguments.size() == 1 ? FindSwitchMode(arguments[0]) : nullptr;
    if (mode == nullptr) return kExitUsage;
    const auto getSwitch = oem.Find<decltype(&OEM_GetCarrierSwitch)>("OEM_GetCarrierSwitch");
    if (getSwitch == nullptr) return kExitNoLibrary;

    std::int32_t value = 0;
    bool flag = false;
    const int result = getSwitch(mode->mode, &value, &flag);
    out.Answer(GetSwitchAnswer(mode->mode, result, value, flag));
    if (result != 1) {
        out.Print("%s: no answer from the modem (OEM_GetCarrierSwitch returned 0).\n", mode->title);
        return kExitNoAnswer;
    }
    out.Print("%s: %s\n", mode->title, DescribeSwitch(mode->mode, value, flag).c_str());
    return kExitAnswered;
}
