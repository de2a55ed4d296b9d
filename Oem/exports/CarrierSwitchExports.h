#pragma once

#include <cstdint>

#include "exports/rules/CarrierSwitchReply.h"
#include "exports/ExportEnvironment.h"

// Reads how the modem chooses its carrier for mode 1 to 4. 1 when the reply was accepted and
// the mode's outputs were written; 0 otherwise, with both outputs untouched.
int GetCarrierSwitch(const ExportEnvironment& environment, CarrierSwitchMode mode, std::int32_t* pValue,
                     bool* pFlag) noexcept;

// Sends the set command of mode 1 to 5; 1 when the modem answered OK. flag is the host's
// one-byte boolean: any non-zero byte is true. Other modes are refused without a command.
int SetCarrierSwitch(const ExportEnvironment& environment, CarrierSwitchMode mode, std::int32_t value,
                     unsigned char flag) noexcept;
