// Round trip of OEM_GetCurrentCarrierID against the simulated modem with instant replies, next
// to what the simulator itself spends answering each call. Not a test: run it by hand under
// the build's Wine prefix, where the simulator is registered.
//   carrier_id_bench.exe [calls]
// Measured twice: with a host thread that has no COM of its own (every call starts and ends
// the multithreaded apartment) and with one already in it.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "SimCost.h"
#include "support/SimModem.h"

namespace {

using GetCurrentCarrierId = std::int32_t (*)();

double Microseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

std::string BesideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

struct Samples {
    std::vector<double> roundTrip;
    std::vector<double> simulator;
    int wrong = 0;
};

Samples Measure(GetCurrentCarrierId getCarrierId, OemSimGetCostFunction getCost, SimModem& sim, int calls) {
    Samples samples;
    for (int i = 0; i < 5; ++i) getCarrierId();  // warm-up
    for (int i = 0; i < calls; ++i) {
        // The simulator's share of a call includes work on its threads after the export has
        // returned; a short pause lets that finish before the next reading.
        sim.WaitIdle(5000);
        ::Sleep(2);
        SimCost before{};
        getCost(&before);
        const LONGLONG start = Now();
        const std::int32_t carrier = getCarrierId();
        const LONGLONG end = Now();
        sim.WaitIdle(5000);
        ::Sleep(2);
        SimCost after{};
        getCost(&after);
        if (carrier != 5 || after.commands != before.commands + 1) ++samples.wrong;
        samples.roundTrip.push_back(Microseconds(end - start));
        samples.simulator.push_back(after.microseconds - before.microseconds);
    }
    return samples;
}

void Report(const char* title, const Samples& samples) {
    const double trip = Percentile(samples.roundTrip, 0.5);
    const double inSim = Percentile(samples.simulator, 0.5);
    std::printf("%s\n", title);
    std::printf("  round trip of OEM_GetCurrentCarrierID: median %8.0f us  (p10 %.0f, p90 %.0f)\n", trip,
                Percentile(samples.roundTrip, 0.1), Percentile(samples.roundTrip, 0.9));
    std::printf("  simulator's own time per call:         median %8.0f us  (p10 %.0f, p90 %.0f), %.0f%% of the trip\n",
                inSim, Percentile(samples.simulator, 0.1), Percentile(samples.simulator, 0.9), 100.0 * inSim / trip);
    if (samples.wrong != 0) std::printf("  %d calls did not answer 5 with one command\n", samples.wrong);
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    SimModem sim;
    if (!sim.loaded()) {
        std::fprintf(stderr, "the simulated modem is not registered in this Wine prefix\n");
        return 1;
    }
    const HMODULE simulator = ::GetModuleHandleW(SimModem::RegisteredPath().c_str());
    const auto getCost =
        reinterpret_cast<OemSimGetCostFunction>(reinterpret_cast<void*>(::GetProcAddress(simulator, "OemSimGetCost")));
    const HMODULE oem = ::LoadLibraryA(BesideThisProgram("Oem.dll").c_str());
    const auto getCarrierId = oem ? reinterpret_cast<GetCurrentCarrierId>(
                                        reinterpret_cast<void*>(::GetProcAddress(oem, "OEM_GetCurrentCarrierID")))
                                  : nullptr;
    if (getCost == nullptr || getCarrierId == nullptr) {
        std::fprintf(stderr, "Oem.dll beside this program or the simulator's OemSimGetCost is missing\n");
        return 1;
    }
    sim->Reset();  // the default profile, no delay: the modem answers at once

    std::printf("%d calls, instant replies, no log (no ksconfig.ini)\n", calls);
    Report("host thread without COM (each call starts and ends the apartment):",
           Measure(getCarrierId, getCost, sim, calls));
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Report("host thread already in the multithreaded apartment:", Measure(getCarrierId, getCost, sim, calls));
    ::CoUninitialize();
    ::FreeLibrary(oem);
    return 0;
}
