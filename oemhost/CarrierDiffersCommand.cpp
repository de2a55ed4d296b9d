#include "AnswerText.h"
#include "HostCommands.h"

int RunCarrierDiffers(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    if (arguments.size() != 2) return kExitUsage;
    const auto differs =
        oem.Find<decltype(&OEM_Check_If_UpdateCurrentCarrierInPackage)>("OEM_Check_If_UpdateCurrentCarrierInPackage");
    if (differs == nullptr) return kExitNoLibrary;

    const bool update = differs(nullptr, arguments[0].c_str(), arguments[1].c_str());
    out.Answer(CarrierPackageAnswer(arguments[0], arguments[1], update));
    out.Print("Carrier package: installed %s, new %s: %s\n", arguments[0].c_str(), arguments[1].c_str(),
              UpdateAnswer(update));
    return update ? kExitDiffers : kExitAnswered;
}
