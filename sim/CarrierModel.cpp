#include "CarrierModel.h"

#include "CarrierValues.h"

namespace SimProfile {

using namespace CarrierValues;

namespace {

const char kOk[] = "\r\nOK\r\n";
const char kError[] = "\r\nERROR\r\n";
const char kLineEnd[] = "\r\n";

std::string QueryReply(const char* name, const std::string& field) {
    return std::string(kLineEnd) + "+" + name + ": " + field + kLineEnd + kOk;
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
