#pragma once

#include <cstdint>

#include "Oem.h"
#include "exports/ExportEnvironment.h"

// The carrier the modem runs now: -1 when no reply was obtained, 0 when the reply carried no
// carrier field, else the modem's identifier.
std::int32_t QueryCurrentCarrierId(const ExportEnvironment& environment) noexcept;
