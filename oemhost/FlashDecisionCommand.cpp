#include "AnswerText.h"
#include "HostCommands.h"

int RunFlashDecision(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    if (arguments.size() != 2) return kExitUsage;
    const auto decide = oem.Find<decltype(&OEM_Check_If_FlashCurrentCarrier)>("OEM_Check_If_FlashCurrentCarrier");
    if (decide == nullptr) return kExitNoLibrary;

    const FlashDecision decision = decide(arguments[0].c_str(), arguments[1].c_str());
    out.Answer(FlashDecisionAnswer(arguments[0], arguments[1], decision));
    if (decision.Result) {
        out.Print("Firmware: new %s: %s\n", arguments[0].c_str(), FlashAnswer(decision.FlashModemImage));
        out.Print("NVM: new %s: %s\n", arguments[1].c_str(), FlashAnswer(decision.FlashNVMImage));
    } else {
        out.Print("The modem's firmware and NVM versions could not both be read: no decision.\n");
    }
    out.Print("(Result %d, FlashModemImage %d, FlashNVMImage %d)\n", decision.Result ? 1 : 0,
              decision.FlashModemImage ? 1 : 0, decision.FlashNVMImage ? 1 : 0);
    if (!decision.Result) return kExitNoAnswer;
    return decision.FlashModemImage || decision.FlashNVMImage ? kExitDiffers : kExitAnswered;
}
