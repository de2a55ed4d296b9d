#include "AnswerText.h"
#include "HostCommands.h"

int RunPackageDiffers(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    if (arguments.size() != 2) return kExitUsage;
    const auto differs = oem.Find<decltype(&OEM_Check_If_UpdateCurrentPackage)>("OEM_Check_If_UpdateCurrentPackage");
    if (differs == nullptr) return kExitNoLibrary;

    const bool update = differs(arguments[0].c_str(), arguments[1].c_str());
    out.Answer(PackageAnswer(arguments[0], arguments[1], update));
    out.Print("Package: installed %s, new %s: %s\n", arguments[0].c_str(), arguments[1].c_str(), UpdateAnswer(update));
    return update ? kExitDiffers : kExitAnswered;
}
