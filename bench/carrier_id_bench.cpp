// What OEM_GetCurrentCarrierID costs beyond the work it must do, measured next to a client in
// the same process that does that work and nothing else: the export's platform calls (COM, the
// two managers, advise, interface, context, service, one command session opened and closed
// around one command), the export lock's wait and release, the sink's four kernel events with
// their resets, sets and waits, and one "LOG_LV" read for every line the call writes.
// Interleaved call by call; each figure is the median of the pairs' own ratios:
//   1. no ksconfig.ini, several runs: goal 1.1 or less;
//   2. logging on at level 2 (the export writes its lines, the client only reads the level):
//      reported only, with the number of lines the export wrote per call.
// The runner is PairedRuns.h, the client ClientCarrierId with its channel and sink.
// Not a test: run it by hand under the build's Wine prefix, where the simulator is registered.
//   carrier_id_bench.exe [calls per run] [runs]
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BenchLogFolder.h"
#include "ClientCarrierId.h"
#include "LevelRead.h"
#include "PairedRuns.h"
#include "ScopedModule.h"
#include "support/SimModem.h"
#include "tools/log/LogConfig.h"
#include "tools/win/ScopedHandle.h"

namespace {

constexpr int kWarmUpPairs = 5;

std::string BesideThisProgram(const char* name) {
    const std::string program = LogConfig::HostExecutablePath();
    return program.substr(0, program.rfind('\\') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string config = LogConfig::ConfigFilePath();
    ::DeleteFileA(config.c_str());
    SimModem sim;
    if (!sim.loaded()) {
        std::fprintf(stderr, "the simulated modem is not registered in this Wine prefix\n");
        return 1;
    }
    const ScopedModule oem(::LoadLibraryA(BesideThisProgram("Oem.dll").c_str()));
    using GetCurrentCarrierId = std::int32_t (*)();
    const auto getCarrierId = oem ? reinterpret_cast<GetCurrentCarrierId>(
                                        reinterpret_cast<void*>(::GetProcAddress(oem.get(), "OEM_GetCurrentCarrierID")))
                                  : nullptr;
    if (getCarrierId == nullptr) {
        std::fprintf(stderr, "Oem.dll beside this program is missing\n");
        return 1;
    }
    sim->Reset();  // the default profile, no delay: the modem answers at once

    // The client's own handle on the export lock, made once as the library makes its own at load.
    const ScopedHandle exportLock(::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef"));
    const LevelRead logLine;
    PairedRuns::Sides sides{[&] { return getCarrierId() == 5; },
                            [&] { return ClientCarrierId(exportLock.get(), logLine) == 5; },
                            "export",
                            "client",
                            "did not both answer carrier 5",
                            [&] { sim.WaitIdle(5000); },
                            kWarmUpPairs};

    std::printf("OEM_GetCurrentCarrierID against the client, %d pairs a run, instant replies, %d level reads a call\n",
                calls, kLinesPerCall);
    std::printf("1. no ksconfig.ini (goal 1.1 or less)\n");
    PairedRuns::Runs(runs, calls, sides);

    std::string appData;
    LogConfig::CommonAppDataFolder(&appData);
    const std::string folder = appData + "OemLogBench\\";
    RemoveLogFolder(folder);
    std::ofstream(config) << "[BASE_CONFIG]\nLOG_LV=2\nLOG_PATH=OemLogBench\n";
    std::printf("2. logging on at level 2 (reported only)\n");
    PairedRuns::PrintPairs("", PairedRuns::Interleave(calls, sides), sides);
    sim.WaitIdle(5000);
    std::printf("  the export wrote %.1f lines a call; the client reads the level %d times a call\n",
                static_cast<double>(CountLogLines(folder + "logs\\")) / (calls + kWarmUpPairs), kLinesPerCall);

    ::DeleteFileA(config.c_str());
    RemoveLogFolder(folder);
    return 0;
}
