#pragma once
// The simulated modem's carrier switch: which carrier it runs, the carrier lock, manual and
// automatic selection and the factory-default carrier, read and changed by the carrier AT
// commands. A profile gives the factory values with "=" lines; the same lines, written by the
// simulator, keep the state between runs. The modem's rules:
//
//   AT+GTCURCAR?      \r\n+GTCURCAR: <current>\r\n\r\nOK\r\n
//   AT+GTLOCKCAR?     \r\n+GTLOCKCAR: <0|1>,<locked carrier>\r\n\r\nOK\r\n
//   AT+GTMSELCAR?     \r\n+GTMSELCAR: <manual carrier, 0 or 65535 for none>\r\n\r\nOK\r\n
//   AT+GTASELCAR?     \r\n+GTASELCAR: <0|1>\r\n\r\nOK\r\n
//   AT+GTFDCAR?       \r\n+GTFDCAR: <factory-default carrier>\r\n\r\nOK\r\n
//   AT+GTLOCKCAR=1,c  locks on carrier c, which becomes the current carrier
//   AT+GTLOCKCAR=0    lifts the lock; the current carrier and the locked carrier stay
//   AT+GTMSELCAR=c    selects c by hand and turns automatic selection off; c becomes the
//                     current carrier unless a lock pins it
//   AT+GTMSELCAR=0    (or 65535) no manual selection; nothing else changes
//   AT+GTASELCAR=1    automatic selection on, manual selection dropped; =0 turns it off
//   AT+GTFDCAR=c      c becomes the factory-default carrier
//   AT+GTRSTRCAR      every value back to the profile's factory values
//
// A carrier c is 1 to 65534, written in decimal digits only. A set answers \r\nOK\r\n; a
// malformed one, or one with a value out of range, answers \r\nERROR\r\n and changes nothing,
// as does any other command that begins with one of the six command names.
// Plain C++ with no platform header, so it is tested natively too.

#include <cstdint>
#include <string>

namespace SimProfile {

struct CarrierState {
    std::int32_t current = 0;      // the carrier the modem runs now
    bool locked = false;           // the carrier lock is on
    std::int32_t lockCarrier = 0;  // the carrier the lock pins; kept while the lock is off
    std::int32_t manual = 0;       // the carrier selected by hand; 0 or 65535 when none
    bool automatic = false;        // automatic selection is on
    std::int32_t factoryDefault = 0;

    bool operator==(const CarrierState& other) const;
    bool operator!=(const CarrierState& other) const { return !(*this == other); }
};

// Reads one setting, the text after "=": "current 5", "lock 0,5", "manual 0", "auto 1",
// "factory-default 3". Numbers are 0 to 65535; lock and auto flags 0 or 1. seenKeys collects
// the keys read so far, so that one given twice is refused. False with a reason otherwise.
bool ReadCarrierSetting(const std::string& setting, CarrierState* state, unsigned* seenKeys, std::string* error);

// The state as "= KEY VALUE" lines, one per key, which ReadCarrierStateText reads back.
std::string CarrierStateText(const CarrierState& state);

// Reads text made of "=" lines, "#" comments and blank lines; keys not given keep the
// values state has. False with "line N: why" otherwise, state then untouched.
bool ReadCarrierStateText(const std::string& text, CarrierState* state, std::string* error);

enum class CarrierAnswer {
    NotCarrierCommand,  // not one of the carrier commands: the profile answers it
    Unchanged,          // answered; the state is as it was
    Changed,            // answered; the state changed
};

// The modem's reply to command when it is a carrier command, applying the rules above to
// state; factory holds the values a restore goes back to.
CarrierAnswer AnswerCarrierCommand(const std::string& command, const CarrierState& factory, CarrierState* state,
                                   std::string* reply);

}  // namespace SimProfile
