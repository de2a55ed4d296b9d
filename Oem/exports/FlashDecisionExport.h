#pragma once

#include "exports/ExportEnvironment.h"
#include "exports/rules/FlashVersionText.h"

// Reads the firmware and NVM versions the modem runs and compares them with the ones about to
// be flashed. Both arguments are non-null, NUL-terminated texts.
FlashDecision CheckIfFlashCurrentCarrier(const ExportEnvironment& environment, const char* newModemFlsVersion,
                                         const char* newNvmVersion) noexcept;
