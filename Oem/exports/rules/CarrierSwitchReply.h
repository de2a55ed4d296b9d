#pragma once
// The carrier switch commands and replies as plain text: which AT command each mode sends,
// and what a query reply or a set reply says. No platform header, so this builds natively too.

#include <cstdint>
#include <optional>
#include <string>

#include "Oem.h"

// Modes 1 to 5 can be set; any other value is refused rather than taken as a restore request.
bool IsSettableCarrierSwitchMode(CarrierSwitchMode mode);

// The query for modes 1 to 4; the empty text for any other mode.
std::string CarrierSwitchQueryCommand(CarrierSwitchMode mode);

// The set command for modes 1 to 5; the empty text for a mode that is refused.
std::string CarrierSwitchSetCommand(CarrierSwitchMode mode, std::int32_t value, bool flag);

// What an accepted query reply says; only the outputs the mode reports are present.
struct CarrierSwitchReading {
    bool accepted = false;
    std::optional<bool> flag;
    std::optional<std::int32_t> value;
};

// Reads the upper-cased reply to the query of mode 1 to 4: the field between the mode's reply
// prefix and the first "\r\nOK". Not accepted for other modes, an empty field, or (mode 1) a
// field without a comma.
CarrierSwitchReading ParseCarrierSwitchReply(CarrierSwitchMode mode, const std::string& upperCasedReply);

// A set command succeeded when its reply, upper-cased, holds "OK\r\n" anywhere.
bool CarrierSwitchSetSucceeded(const std::string& reply);
