#include "AnswerText.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

const SwitchModeName kSwitchModeNames[4] = {
    {"lock", "Carrier lock", SWITCHINGLOCK},
    {"manual", "Manual selection", MANUAL},
    {"auto", "Automatic selection", AUTO},
    {"factory-default", "Factory-default carrier", FACTORYDEFAULT},
};

const SwitchModeName* FindSwitchMode(const std::string& name) {
    for (const SwitchModeName& mode : kSwitchModeNames) {
        if (name == mode.name) return &mode;
    }
    return nullptr;
}

std::string DescribeSwitch(CarrierSwitchMode mode, std::int32_t value, bool flag) {
    const std::string number = std::to_string(value);
    switch (mode) {
        case SWITCHINGLOCK:
            // The modem names a carrier in its lock reply even while the lock is off.
            return std::string(flag ? "on" : "off") + " (carrier " + number + ")";
        case MANUAL:
            return flag ? "carrier " + number : "none (" + number + ")";
        case AUTO:
            return flag ? "on" : "off";
        default:
            return "carrier " + number;
    }
}

bool ReadInt32(const std::string& text, std::int32_t* number) {
    if (text.empty() || text.find_first_of(" \t") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return false;
    *number = static_cast<std::int32_t>(value);
    return true;
}

const char* UpdateAnswer(bool differs) {
    return differs ? "differs, update due" : "same, no update";
}

const char* FlashAnswer(bool flash) {
    return flash ? "differs, flash it" : "same, no flash";
}

ExportAnswer CarrierIdAnswer(std::int32_t carrier) {
    const std::string meaning = carrier < 0 ? "no answer from the modem"
                                : carrier == 0
                                    ? "carrier 0 (the modem's reply carried no carrier id, or the carrier is 0)"
                                    : "carrier " + std::to_string(carrier);
    return {"OEM_GetCurrentCarrierID", JsonObject(), carrier, carrier >= 0, meaning, JsonObject()};
}

ExportAnswer GetSwitchAnswer(CarrierSwitchMode mode, int result, std::int32_t value, bool flag) {
    const bool answered = result == 1;
    JsonObject outputs;
    // Only what the mode writes, and only when it was written.
    if (answered && mode != AUTO) outputs.Int("value", value);
    if (answered && mode != FACTORYDEFAULT) outputs.Bool("flag", flag);
    return {"OEM_GetCarrierSwitch",
            JsonObject().Int("mode", mode),
            result,
            answered,
            answered ? DescribeSwitch(mode, value, flag) : "no answer from the modem",
            outputs};
}

ExportAnswer SetSwitchAnswer(CarrierSwitchMode mode, std::int32_t value, bool flag, int result,
                             const std::string& setting) {
    const bool set = result == 1;
    return {"OEM_SetCarrierSwitch",
            JsonObject().Int("mode", mode).Int("value", value).Bool("flag", flag),
            result,
            set,
            set ? "set to " + setting + " (the modem answered OK)"
                : "not set to " + setting + " (the modem did not answer OK)",
            JsonObject()};
}

namespace {

ExportAnswer Comparison(const char* exportName, JsonObject inputs, bool differs) {
    return {exportName, std::move(inputs), differs ? 1 : 0, true, UpdateAnswer(differs), JsonObject()};
}

}  // namespace

ExportAnswer PackageAnswer(const std::string& current, const std::string& next, bool differs) {
    return Comparison("OEM_Check_If_UpdateCurrentPackage", JsonObject().Text("current", current).Text("next", next),
                      differs);
}

ExportAnswer CarrierPackageAnswer(const std::string& current, const std::string& next, bool differs) {
    return Comparison("OEM_Check_If_UpdateCurrentCarrierInPackage",
                      JsonObject().Null("reserved").Text("current", current).Text("next", next), differs);
}

ExportAnswer FlashDecisionAnswer(const std::string& newFirmware, const std::string& newNvm,
                                 const FlashDecision& decision) {
    const std::string meaning = decision.Result
                                    ? std::string("firmware: ") + FlashAnswer(decision.FlashModemImage) +
                                          "; NVM: " + FlashAnswer(decision.FlashNVMImage)
                                    : "no decision: the modem's firmware and NVM versions could not both be read";
    return {
        "OEM_Check_If_FlashCurrentCarrier",
        JsonObject().Text("newModemFlsVersion", newFirmware).Text("newNvmVersion", newNvm),
        decision.Result ? 1 : 0,
        decision.Result,
        meaning,
        JsonObject().Bool("FlashModemImage", decision.FlashModemImage).Bool("FlashNVMImage", decision.FlashNVMImage)};
}
