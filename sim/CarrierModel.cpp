#include "CarrierModel.h"

#include "MarkedLines.h"

#include <algorithm>
#include <cstddef>

namespace SimProfile {

namespace {

constexpr std::int32_t kLargestNumber = 65535;
// 65535 is how the modem says "no carrier" for the manual selection, so no carrier has it.
constexpr std::int32_t kLargestCarrier = 65534;
constexpr std::int32_t kNoManualCarrier = 65535;

const char kOk[] = "\r\nOK\r\n";
const char kError[] = "\r\nERROR\r\n";
const char kLineEnd[] = "\r\n";

struct SettingKey {
    const char* name;
    unsigned bit;
};
const SettingKey kKeys[] = {
    {"current", 1u}, {"lock", 2u}, {"manual", 4u}, {"auto", 8u}, {"factory-default", 16u},
};

// A whole text of 1 to 5 decimal digits worth at most largest; no sign, no blank.
bool ReadNumber(const std::string& text, std::int32_t largest, std::int32_t* number) {
    if (text.empty() || text.size() > 5) return false;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > largest) return false;
    *number = value;
    return true;
}

bool ReadCarrier(const std::string& text, std::int32_t* carrier) {
    return ReadNumber(text, kLargestCarrier, carrier) && *carrier != 0;
}

bool ReadFlag(const std::string& text, bool* flag) {
    if (text != "0" && text != "1") return false;
    *flag = text == "1";
    return true;
}

// "F,N": a flag, a comma, a number.
bool ReadFlagAndNumber(const std::string& text, bool* flag, std::int32_t* number) {
    const std::size_t comma = text.find(',');
    return comma != std::string::npos && ReadFlag(text.substr(0, comma), flag) &&
           ReadNumber(text.substr(comma + 1), kLargestNumber, number);
}

std::string QueryReply(const char* name, const std::string& field) {
    return std::string(kLineEnd) + "+" + name + ": " + field + kLineEnd + kOk;
}

std::string Number(std::int32_t value) {
    return std::to_string(value);
}

// A set command's argument text: what stands between "AT+<name>=" and the final "\r\n".
bool SetArgument(const std::string& command, const std::string& head, std::string* argument) {
    if (command.size() < head.size() + 2 || command.compare(0, head.size(), head) != 0 ||
        command.compare(command.size() - 2, 2, kLineEnd) != 0) {
        return false;
    }
    *argument = command.substr(head.size(), command.size() - 2 - head.size());
    return true;
}

bool BeginsWith(const std::string& text, const char* head) {
    return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

// The state after the set command, or false when the modem refuses it.
bool ApplySet(const std::string& command, const CarrierState& factory, CarrierState* state) {
    std::string argument;
    std::int32_t carrier = 0;
    bool flag = false;
    if (command == "AT+GTRSTRCAR\r\n") {
        *state = factory;
        return true;
    }
    if (SetArgument(command, "AT+GTLOCKCAR=", &argument)) {
        if (argument == "0") {
            state->locked = false;
            return true;
        }
        if (!BeginsWith(argument, "1,") || !ReadCarrier(argument.substr(2), &carrier)) return false;
        state->locked = true;
        state->lockCarrier = carrier;
        state->current = carrier;
        return true;
    }
    if (SetArgument(command, "AT+GTMSELCAR=", &argument)) {
        if (argument == "0" || argument == Number(kNoManualCarrier)) {
            state->manual = argument == "0" ? 0 : kNoManualCarrier;
            return true;
        }
        if (!ReadCarrier(argument, &carrier)) return false;
        state->manual = carrier;
        state->automatic = false;
        if (!state->locked) state->current = carrier;
        return true;
    }
    if (SetArgument(command, "AT+GTASELCAR=", &argument)) {
        if (!ReadFlag(argument, &flag)) return false;
        state->automatic = flag;
        if (flag) state->manual = 0;
        return true;
    }
    if (SetArgument(command, "AT+GTFDCAR=", &argument)) {
        if (!ReadCarrier(argument, &carrier)) return false;
        state->factoryDefault = carrier;
        return true;
    }
    return false;
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

CarrierAnswer AnswerCarrierCommand(const std::string& command, const CarrierState& factory, CarrierState* state,
                                   std::string* reply) {
    if (command == "AT+GTCURCAR?\r\n") {
        *reply = QueryReply("GTCURCAR", Number(state->current));
    } else if (command == "AT+GTLOCKCAR?\r\n") {
        *reply = QueryReply("GTLOCKCAR", std::string(state->locked ? "1," : "0,") + Number(state->lockCarrier));
    } else if (command == "AT+GTMSELCAR?\r\n") {
        *reply = QueryReply("GTMSELCAR", Number(state->manual));
    } else if (command == "AT+GTASELCAR?\r\n") {
        *reply = QueryReply("GTASELCAR", state->automatic ? "1" : "0");
    } else if (command == "AT+GTFDCAR?\r\n") {
        *reply = QueryReply("GTFDCAR", Number(state->factoryDefault));
    } else {
        static const char* const kNames[] = {"AT+GTCURCAR",  "AT+GTLOCKCAR", "AT+GTMSELCAR",
                                             "AT+GTASELCAR", "AT+GTFDCAR",   "AT+GTRSTRCAR"};
        bool owned = false;
        for (const char* name : kNames) owned = owned || BeginsWith(command, name);
        if (!owned) return CarrierAnswer::NotCarrierCommand;
        CarrierState changed = *state;
        if (!ApplySet(command, factory, &changed)) {
            *reply = kError;
            return CarrierAnswer::Unchanged;
        }
        *reply = kOk;
        if (changed == *state) return CarrierAnswer::Unchanged;
        *state = changed;
        return CarrierAnswer::Changed;
    }
    return CarrierAnswer::Unchanged;
}

}  // namespace SimProfile
