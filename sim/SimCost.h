#pragma once
// What the simulator itself spends answering, for the benchmark: time in its own methods and
// on its own threads outside the sinks' callbacks, and outside any delay a test asked for.
// Read with the export "OemSimGetCost"; cumulative since the DLL was loaded (Reset keeps it).

#include <cstdint>

struct SimCost {
    std::uint64_t commands;  // SetCommand and QueryCommand calls the modem accepted
    double microseconds;
};

extern "C" {
typedef void(__cdecl* OemSimGetCostFunction)(SimCost* cost);
}
