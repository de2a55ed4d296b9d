#pragma once
// The words oemhost prints for the exports' answers and the answers as its JSON gives them,
// shared by the single commands and the report, and the carrier switch modes by the names
// oemhost takes.

#include <cstdint>
#include <string>

#include "HostOutput.h"
#include "Oem.h"

struct SwitchModeName {
    const char* name;   // as typed: "lock", "manual", "auto", "factory-default"
    const char* title;  // as printed: "Carrier lock", ...
    CarrierSwitchMode mode;
};

// The four modes that can be read, in the order the report shows them.
extern const SwitchModeName kSwitchModeNames[4];

// The mode of that name; null for any other text.
const SwitchModeName* FindSwitchMode(const std::string& name);

// What OEM_GetCarrierSwitch wrote for the mode: "on (carrier 20)", "none (0)", "on", "3".
std::string DescribeSwitch(CarrierSwitchMode mode, std::int32_t value, bool flag);

// text as a whole 32-bit decimal number (a sign allowed); false for anything else.
bool ReadInt32(const std::string& text, std::int32_t* number);

// "differs, update due" or "same, no update".
const char* UpdateAnswer(bool differs);

// "differs, flash it" or "same, no flash".
const char* FlashAnswer(bool flash);

// Each export's call as the JSON gives it: inputs, raw result, meaning, outputs.
ExportAnswer CarrierIdAnswer(std::int32_t carrier);
ExportAnswer GetSwitchAnswer(CarrierSwitchMode mode, int result, std::int32_t value, bool flag);
// setting: what was asked for, in words ("on, carrier 20").
ExportAnswer SetSwitchAnswer(CarrierSwitchMode mode, std::int32_t value, bool flag, int result,
                             const std::string& setting);
ExportAnswer PackageAnswer(const std::string& current, const std::string& next, bool differs);
ExportAnswer CarrierPackageAnswer(const std::string& current, const std::string& next, bool differs);
ExportAnswer FlashDecisionAnswer(const std::string& newFirmware, const std::string& newNvm,
                                 const FlashDecision& decision);
