#include <cstdint>
#include <string>

#include "AnswerText.h"
#include "HostCommands.h"

namespace {

// The versions the report compares. The samples are what a new package could bring to the
// default simulated modem: a newer package and firmware, the same carrier package and NVM.
struct ReportVersions {
    std::string package = "A1.B2.C3.10.4";
    std::string packageNew = "A1.B2.C3.10.5";
    std::string carrier = "CarrierX.02";
    std::string carrierNew = "CARRIERX.02";
    std::string firmwareNew = "A1.B2.18.0.6";
    std::string nvmNew = "7.9";
    unsigned given = 0;  // one bit per option given; a missing one leaves its sample
};

bool ReadOptions(const Arguments& arguments, ReportVersions* versions) {
    for (std::size_t i = 0; i < arguments.size();) {
        const std::string& option = arguments[i];
        const std::size_t values = option == "--package" || option == "--carrier-package" ? 2
                                   : option == "--firmware" || option == "--nvm"          ? 1
                                                                                          : 0;
        if (values == 0 || i + values >= arguments.size()) return false;
        if (option == "--package") {
            versions->given |= 1u;
            versions->package = arguments[i + 1];
            versions->packageNew = arguments[i + 2];
        } else if (option == "--carrier-package") {
            versions->given |= 2u;
            versions->carrier = arguments[i + 1];
            versions->carrierNew = arguments[i + 2];
        } else if (option == "--firmware") {
            versions->given |= 4u;
            versions->firmwareNew = arguments[i + 1];
        } else {
            versions->given |= 8u;
            versions->nvmNew = arguments[i + 1];
        }
        i += values + 1;
    }
    return true;
}

// One answer line of the page, its label in a column of its own.
void Row(const HostOutput& out, const std::string& label, const std::string& answer) {
    out.Print("   %-25s %s\n", (label + ":").c_str(), answer.c_str());
}

std::string Versions(const std::string& current, const std::string& next) {
    return "installed " + current + ", new " + next + ": ";
}

}  // namespace

// One page answering the four questions; exit 1 when any modem question got no answer.
int RunReport(const OemLibrary& oem, const Arguments& arguments, HostOutput& out) {
    ReportVersions versions;
    if (!ReadOptions(arguments, &versions)) return kExitUsage;
    const auto packageDiffers =
        oem.Find<decltype(&OEM_Check_If_UpdateCurrentPackage)>("OEM_Check_If_UpdateCurrentPackage");
    const auto carrierDiffers =
        oem.Find<decltype(&OEM_Check_If_UpdateCurrentCarrierInPackage)>("OEM_Check_If_UpdateCurrentCarrierInPackage");
    const auto decideFlash = oem.Find<decltype(&OEM_Check_If_FlashCurrentCarrier)>("OEM_Check_If_FlashCurrentCarrier");
    const auto getSwitch = oem.Find<decltype(&OEM_GetCarrierSwitch)>("OEM_GetCarrierSwitch");
    const auto getCarrierId = oem.Find<decltype(&OEM_GetCurrentCarrierID)>("OEM_GetCurrentCarrierID");
    if (packageDiffers == nullptr || carrierDiffers == nullptr || decideFlash == nullptr || getSwitch == nullptr ||
        getCarrierId == nullptr) {
        return kExitNoLibrary;
    }
    bool allAnswered = true;

    out.Print("Modem report (Oem.dll)\n\n");
    out.Print("1. Does the installed package, or its carrier package, differ from the new one?\n");
    const bool packageUpdate = packageDiffers(versions.package.c_str(), versions.packageNew.c_str());
    out.Answer(PackageAnswer(versions.package, versions.packageNew, packageUpdate));
    Row(out, "Package", Versions(versions.package, versions.packageNew) + UpdateAnswer(packageUpdate));
    const bool carrierUpdate = carrierDiffers(nullptr, versions.carrier.c_str(), versions.carrierNew.c_str());
    out.Answer(CarrierPackageAnswer(versions.carrier, versions.carrierNew, carrierUpdate));
    Row(out, "Carrier package", Versions(versions.carrier, versions.carrierNew) + UpdateAnswer(carrierUpdate));

    out.Print("2. Do the firmware and the NVM image on the modem differ from the new ones?\n");
    const FlashDecision flash = decideFlash(versions.firmwareNew.c_str(), versions.nvmNew.c_str());
    out.Answer(FlashDecisionAnswer(versions.firmwareNew, versions.nvmNew, flash));
    if (flash.Result) {
        Row(out, "Firmware", "new " + versions.firmwareNew + ": " + FlashAnswer(flash.FlashModemImage));
        Row(out, "NVM", "new " + versions.nvmNew + ": " + FlashAnswer(flash.FlashNVMImage));
    } else {
        Row(out, "Firmware and NVM", "no answer (the modem's versions could not both be read)");
        allAnswered = false;
    }

    out.Print("3. How does the modem choose its carrier?\n");
    for (const SwitchModeName& mode : kSwitchModeNames) {
        std::int32_t value = 0;
        bool flag = false;
        const int result = getSwitch(mode.mode, &value, &flag);
        out.Answer(GetSwitchAnswer(mode.mode, result, value, flag));
        const bool answered = result == 1;
        Row(out, mode.title, answered ? DescribeSwitch(mode.mode, value, flag) : "no answer");
        allAnswered = allAnswered && answered;
    }

    out.Print("4. Which carrier does the modem run now?\n");
    const std::int32_t carrier = getCarrierId();
    out.Answer(CarrierIdAnswer(carrier));
    Row(out, "Carrier id", carrier < 0 ? "no answer" : std::to_string(carrier));
    allAnswered = allAnswered && carrier >= 0;

    if (versions.given != 15u) {
        out.Print(
            "\n(Versions not given are samples: --package CURRENT NEW, --carrier-package CURRENT NEW,\n"
            " --firmware NEW and --nvm NEW give your own.)\n");
    }
    return allAnswered ? kExitAnswered : kExitNoAnswer;
}
