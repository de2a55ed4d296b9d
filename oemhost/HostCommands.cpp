#include "HostCommands.h"

const HostCommand kHostCommands[] = {
    {"carrier-id", "", "the carrier the modem runs now (OEM_GetCurrentCarrierID)", &RunCarrierId},
};

const std::size_t kHostCommandCount = sizeof kHostCommands / sizeof kHostCommands[0];
