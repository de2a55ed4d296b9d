#include "AnswerText.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

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
