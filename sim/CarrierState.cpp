#include "CarrierState.h"

#include <algorithm>
#include <cstddef>

#include "CarrierValues.h"
#include "MarkedLines.h"

namespace SimProfile {

using namespace CarrierValues;

namespace {

struct SettingKey {
    const char* name;
    unsigned bit;
};
const SettingKey kKeys[] = {
    {"current", 1u}, {"lock", 2u}, {"manual", 4u}, {"auto", 8u}, {"factory-default", 16u},
};

// "F,N": a flag, a comma, a number.
bool ReadFlagAndNumber(const std::string& text, bool* flag, std::int32_t* number) {
    const std::size_t comma = text.find(',');
    return comma != std::string::npos && ReadFlag(text.substr(0, comma), flag) &&
           ReadNumber(text.substr(comma + 1), kLargestNumber, number);
}

}  // namespace

bool CarrierState::operator==(const CarrierState& other) const {
    return current == other.current && locked == other.locked && lockCarrier == other.lockCarrier &&
           manual == other.manual && automatic == other.automatic && factoryDefault == other.factoryDefault;
}

bool ReadCarrierSetting(const std::string& setting, CarrierState* state, unsigned* seenKeys, std::string* error) {
    // Blanks around the key and the value do not count.
    const std::size_t keyStart = std::min(setting.find_first_not_of(" \t"), setting.size());
    const std::size_t keyEnd = std::min(setting.find_first_of(" \t", keyStart), setting.size());
    const std::size_t valueStart = std::min(setting.find_first_not_of(" \t", keyEnd), setting.size());
    const std::size_t valueEnd = setting.find_last_not_of(" \t") + 1;
    const std::string key = setting.substr(keyStart, keyEnd - keyStart);
    const std::string value = valueStart < valueEnd ? setting.substr(valueStart, valueEnd - valueStart) : std::string();
    const SettingKey* found = nullptr;
    for (const SettingKey& candidate : kKeys) {
        if (key == candidate.name) found = &candidate;
    }
    if (found == nullptr) {
        *error = "unknown carrier setting \"" + key + "\"";
        return false;
    }
    if ((*seenKeys & found->bit) != 0) {
        *error = "the carrier setting " + key + " is given twice";
        return false;
    }
    CarrierState read = *state;
    bool valid = false;
    if (key == "current") {
        valid = ReadNumber(value, kLargestNumber, &read.current);
    } else if (key == "lock") {
        valid = ReadFlagAndNumber(value, &read.locked, &read.lockCarrier);
    } else if (key == "manual") {
        valid = ReadNumber(value, kLargestNumber, &read.manual);
    } else if (key == "auto") {
        valid = ReadFlag(value, &read.automatic);
    } else {
        valid = ReadNumber(value, kLargestNumber, &read.factoryDefault);
    }
    if (!valid) {
        *error = "the carrier setting " + key + " needs " +
                 (key == "lock"   ? "0 or 1, a comma and a number"
                  : key == "auto" ? "0 or 1"
                                  : "a number 0 to 65535") +
                 ", not \"" + value + "\"";
        return false;
    }
    *seenKeys |= found->bit;
    *state = read;
    return true;
}

std::string CarrierStateText(const CarrierState& state) {
    return "= current " + Number(state.current) + "\n= lock " + (state.locked ? "1," : "0,") +
           Number(state.lockCarrier) + "\n= manual " + Number(state.manual) + "\n= auto " +
           (state.automatic ? "1" : "0") + "\n= factory-default " + Number(state.factoryDefault) + "\n";
}

bool ReadCarrierStateText(const std::string& text, CarrierState* state, std::string* error) {
    CarrierState read = *state;
    unsigned seenKeys = 0;
    for (const MarkedLine& line : MarkedLines(text)) {
        std::string why;
        if (line.marker != '=') {
            why = "a line must begin with \"=\" or \"#\"";
        } else {
            ReadCarrierSetting(line.text, &read, &seenKeys, &why);
        }
        if (!why.empty()) {
            *error = "line " + std::to_string(line.number) + ": " + why;
            return false;
        }
    }
    *state = read;
    return true;
}

}  // namespace SimProfile
