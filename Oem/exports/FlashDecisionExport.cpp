#include "exports/FlashDecisionExport.h"

#include <string>
#include <vector>

#include "exports/ModemExportFrame.h"
#include "tools/win/CatchResult.h"
#include "exports/rules/VersionRules.h"

static_assert(sizeof(FlashDecision) == 3, "the host reads three one-byte booleans");

namespace {

// Every line of this export is written at level 2, its "[Error]" lines included.
constexpr int kLevel = 2;

struct FlashVersions {
    std::string modem;
    std::string modemNew;
    std::string nvm;
    std::string nvmNew;
    std::vector<std::string> segments;
};

// The current firmware version, reduced to the fields that count, and the new one reduced
// alike. Modems that do not answer the first query with "OK" are older firmware that is
// asked with "ati8" instead, whose reply carries one more leading field.
void ReadFirmwareVersion(ModemExportFrame& frame, FlashVersions& versions) {
    if (frame.Execute(FlashVersionText::kFirmwareVersionQuery, &versions.modem) != 0) {
        frame.Log(kLevel, "[Error]ExecuteCmd AT+GTMCFWVER Error.");
        return;
    }
    frame.Log(kLevel, "[Success]ExecuteCmd AT+GTMCFWVER done. Response Data is: %s", versions.modem.c_str());
    int fieldsToSkip = 2;
    if (versions.modem.find("OK") == std::string::npos) {
        if (frame.Execute(FlashVersionText::kOldFirmwareVersionQuery, &versions.modem) != 0) {
            frame.Log(kLevel, "[Error]ExecuteCmd ati8 Error.");
            return;
        }
        frame.Log(kLevel, "[Success]ExecuteCmd ati8 Success. Response Data is: %s", versions.modem.c_str());
        fieldsToSkip = 3;
    }
    FlashVersionText::ExtractQuoted(versions.modem);
    VersionRules::SplitVersionReply(versions.modem, versions.segments);
    versions.modem = FlashVersionText::JoinSegmentsFrom(versions.segments, fieldsToSkip);
    VersionRules::DropLeadingFields(versions.modemNew, fieldsToSkip);
    if (fieldsToSkip == 3) {
        frame.Log(kLevel, "FWImage(old) comparing str_modemVersion part is:%s, str_modemVersionNew part is:%s",
                  versions.modem.c_str(), versions.modemNew.c_str());
    } else {
        frame.Log(kLevel, "FWImage comparing str_modemVersion part is:%s , str_modemVersionNew part is:%s",
                  versions.modem.c_str(), versions.modemNew.c_str());
    }
}

void ReadNvmVersion(ModemExportFrame& frame, FlashVersions& versions) {
    if (frame.Execute(FlashVersionText::kNvmVersionQuery, &versions.nvm) != 0) {
        frame.Log(kLevel, "[Error]ExecuteCmd GTCUSTPACKVER Error.");
        return;
    }
    frame.Log(kLevel, "[Success]ExecuteCmd GTCUSTPACKVER Success. Response Data is: %s", versions.nvm.c_str());
    FlashVersionText::ExtractQuoted(versions.nvm);
    versions.segments.clear();
    VersionRules::SplitVersionReply(versions.nvm, versions.segments);
    frame.Log(kLevel, "CustPack version contains %d segments", static_cast<int>(versions.segments.size()));
    versions.nvm = FlashVersionText::NvmVersionFromSegments(versions.nvm, versions.segments);
    frame.Log(kLevel, "CustPack comparing str_nvmVersion part is:%s  ,str_nvmVersionNew part is:%s",
              versions.nvm.c_str(), versions.nvmNew.c_str());
}

const char* TrueFalse(bool value) {
    return value ? "true" : "false";
}

}  // namespace

FlashDecision CheckIfFlashCurrentCarrier(const ExportEnvironment& environment, const char* newModemFlsVersion,
                                         const char* newNvmVersion) noexcept {
    return CatchResult<FlashDecision>(FlashDecision{false, false, false}, [&] {
        ModemExportFrame frame(environment);
        frame.Log(kLevel, "[Normal] Enter OEM_Check_If_FlashCurrentCarrier Function.");
        frame.Log(kLevel, "[Normal] newModemFlsVersion: %s", newModemFlsVersion);
        frame.Log(kLevel, "[Normal] newNvmVersion: %s", newNvmVersion);

        FlashVersions versions;
        versions.modemNew = newModemFlsVersion;
        versions.nvmNew = newNvmVersion;
        ChannelLines lines;
        lines.openFailed = "[Error]OpenMbimChannel Fail.";
        lines.openFailedLevel = kLevel;
        lines.openSucceeded = "[Success]OpenMbimChannel Success.";
        if (frame.OpenChannel(lines)) {
            ReadFirmwareVersion(frame, versions);
            ReadNvmVersion(frame, versions);
        }
        frame.ReleaseChannel();

        const FlashDecision decision =
            FlashVersionText::Decide(versions.modem, versions.modemNew, versions.nvm, versions.nvmNew);
        frame.Log(kLevel, "[Normal] Result: %s, FlashModemImage: %s, FlashNVMImage: %s", TrueFalse(decision.Result),
                  TrueFalse(decision.FlashModemImage), TrueFalse(decision.FlashNVMImage));
        frame.Log(kLevel, "[Normal] Out OEM_Check_If_FlashCurrentCarrier Function\r\n\r\n\r\n\r\n");
        return decision;
    });
}

extern "C" FlashDecision OEM_Check_If_FlashCurrentCarrier(const char* newModemFlsVersion, const char* newNvmVersion) {
    const ExportEnvironment environment = ProcessEnvironment();
    return CheckIfFlashCurrentCarrier(environment, newModemFlsVersion, newNvmVersion);
}
