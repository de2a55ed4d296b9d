#include <cstdint>
#include <string>

#include "AnswerText.h"
#include "HostCommands.h"

// set-switch lock CARRIER|off, manual CARRIER|off, auto on|off, factory-default CARRIER.
// A carrier goes to the modem as typed, a negative one too: the modem judges it.
int RunSetSwitch(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    const SwitchModeName* mode = arguments.size() == 2 ? FindSwitchMode(arguments[0]) : nullptr;
    if (mode == nullptr) return kExitUsage;
    const std::string& setting = arguments[1];
    std::int32_t value = 0;
    bool flag = true;
    std::string wanted;
    if (mode->mode == AUTO) {
        if (setting != "on" && setting != "off") return kExitUsage;
        flag = setting == "on";
        wanted = setting;
    } else if (setting == "off" && mode->mode != FACTORYDEFAULT) {
        flag = false;
        wanted = mode->mode == SWITCHINGLOCK ? "off" : "none";
    } else if (ReadInt32(setting, &value)) {
        wanted = (mode->mode == SWITCHINGLOCK ? "on, carrier " : "carrier ") + setting;
    } else {
        return kExitUsage;
    }
    const auto setSwitch = oem.Find<decltype(&OEM_SetCarrierSwitch)>("OEM_SetCarrierSwitch");
    if (setSwitch == nullptr) return kExitNoLibrary;

    const int result = setSwitch(mode->mode, value, flag);
    out.Answer(SetSwitchAnswer(mode->mode, value, flag, result, wanted));
    if (result != 1) {
        out.Print("%s: not set to %s (the modem did not answer OK; OEM_SetCarrierSwitch returned 0).\n", mode->title,
                  wanted.c_str());
        return kExitNoAnswer;
    }
    out.Print("%s: set to %s (the modem answered OK).\n", mode->title, wanted.c_str());
    return kExitAnswered;
}
