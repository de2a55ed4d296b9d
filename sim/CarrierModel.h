#pragma once
// The simulated modem's carrier model: its carrier state (CarrierState.h) read and changed by
// the carrier AT commands. The modem's rules:
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

#include <string>

#include "CarrierState.h"

namespace SimProfile {

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
