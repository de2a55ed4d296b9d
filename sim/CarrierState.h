#pragma once
// The simulated modem's carrier state, what the carrier model reads and changes: the carrier
// it runs, the carrier lock, manual and automatic selection and the factory-default carrier;
// and its "=" lines. A profile gives the factory values with them; the same lines, written by
// the simulator, keep the state between runs.
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

}  // namespace SimProfile
