#include <cstdio>

#include "AnswerText.h"
#include "HostCommands.h"

int RunFlashDecision(const OemLibrary& oem, const Arguments& arguments) {
    if (arguments.size() != 2) return kExitUsage;
    const auto decide = oem.Find<decltype(&OEM_Check_If_FlashCurrentCarrier)>("OEM_Check_If_FlashCurrentCarrier");
    if (decide == nullptr) return kExitNoLibrary;

    const FlashDecision decision = decide(arguments[0].c_str(), arguments[1].c_str());
    if (decision.Result) {
        std::printf("Firmware: new %s: %s\n", arguments[0].c_str(), FlashAnswer(decision.FlashModemImage));
        std::printf("NVM: new %s: %s\n", arguments[1].c_str(), FlashAnswer(decision.FlashNVMImage));
    } else {
        std::printf("The modem's firmware and NVM versions could not both be read: no decision.\n");
    }
    std::printf("(Result %d, FlashModemImage %d, FlashNVMImage %d)\n", decision.Result ? 1 : 0,
                decision.FlashModemImage ? 1 : 0, decision.FlashNVMImage ? 1 : 0);
    if (!decision.Result) return kExitNoAnswer;
    return decision.FlashModemImage || decision.FlashNVMImage ? kExitDiffers : kExitAnswered;
}
