#include "exports/rules/CarrierSwitchReply.h"

#include <cstdio>

#include "text/AsciiText.h"

namespace {

// Every command is printed into a zero-filled 260-byte buffer, bounded to its size; what is
// sent is the zero-terminated text in it.
constexpr size_t kCommandBufferSize = 260;

const char* ReplyPrefix(CarrierSwitchMode mode) {
    switch (mode) {
        case SWITCHINGLOCK:
            return "+GTLOCKCAR:";
        case MANUAL:
            return "+GTMSELCAR:";
        case AUTO:
            return "+GTASELCAR:";
        case FACTORYDEFAULT:
            return "+GTFDCAR:";
        default:
            return nullptr;
    }
}

}  // namespace

bool IsSettableCarrierSwitchMode(CarrierSwitchMode mode) {
    return mode >= SWITCHINGLOCK && mode <= RESTOREFACTORY;
}

std::string CarrierSwitchQueryCommand(CarrierSwitchMode mode) {
    switch (mode) {
        case SWITCHINGLOCK:
            return "AT+GTLOCKCAR?\r\n";
        case MANUAL:
            return "AT+GTMSELCAR?\r\n";
        case AUTO:
            return "AT+GTASELCAR?\r\n";
        case FACTORYDEFAULT:
            return "AT+GTFDCAR?\r\n";
        default:
            return std::string();
    }
}

std::string CarrierSwitchSetCommand(CarrierSwitchMode mode, std::int32_t value, bool flag) {
    char buffer[kCommandBufferSize] = {};
    const int number = static_cast<int>(value);
    if (mode == AUTO) {
        std::snprintf(buffer, sizeof(buffer), "AT+GTASELCAR=%d\r\n", flag ? 1 : 0);
    } else if (mode == MANUAL) {
        std::snprintf(buffer, sizeof(buffer), "AT+GTMSELCAR=%d\r\n", flag ? number : 0);
    } else if (mode == SWITCHINGLOCK) {
        if (flag) {
            std::snprintf(buffer, sizeof(buffer), "AT+GTLOCKCAR=%d,%d\r\n", 1, number);
        } else {
            std::snprintf(buffer, sizeof(buffer), "AT+GTLOCKCAR=%d\r\n", 0);
        }
    } else if (mode == FACTORYDEFAULT) {
        std::snprintf(buffer, sizeof(buffer), "AT+GTFDCAR=%d\r\n", number);
    } else if (mode == RESTOREFACTORY) {
        // Only the named restore mode restores: a stray mode number must not wipe the
        // modem's carrier state, so it gets no command at all.
        std::snprintf(buffer, sizeof(buffer), "AT+GTRSTRCAR\r\n");
    }
    return std::string(buffer);
}

CarrierSwitchReading ParseCarrierSwitchReply(CarrierSwitchMode mode, const std::string& upperCasedReply) {
    CarrierSwitchReading reading;
    const char* prefix = ReplyPrefix(mode);
    if (prefix == nullptr) return reading;
    // The field is judged empty before filtering: blanks and line ends alone still count.
    const std::string field = AsciiText::FieldBetween(upperCasedReply, prefix, "\r\nOK");
    if (field.empty()) return reading;

    if (mode == SWITCHINGLOCK) {
        const std::string numbers = AsciiText::KeepDigits(field, ",");
        const size_t comma = numbers.find(',');
        if (comma == std::string::npos) return reading;
        reading.flag = AsciiText::AtoiLike(numbers.substr(0, comma)) != 0;
        // All after the first comma; the conversion stops at a further comma.
        reading.value = AsciiText::AtoiLike(numbers.substr(comma + 1));
        reading.accepted = true;
        return reading;
    }

    const int number = AsciiText::AtoiLike(AsciiText::KeepDigits(field));
    if (mode == MANUAL) {
        // The modem's 65535 counts like 0: no manual selection.
        reading.flag = number != 0 && number != 65535;
        reading.value = number;
    } else if (mode == AUTO) {
        reading.flag = number == 1;
    } else {
        reading.value = number;
    }
    reading.accepted = true;
    return reading;
}

bool CarrierSwitchSetSucceeded(const std::string& reply) {
    return AsciiText::UpperCased(reply).find("OK\r\n") != std::string::npos;
}
