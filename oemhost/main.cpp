// oemhost: loads Oem.dll as the firmware-update host does and asks it one question per run.
//   oemhost [--dll PATH] [--simulate [--profile FILE]] COMMAND [ARGUMENTS...]
//   oemhost [--dll PATH] --version
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "HostCommands.h"
#include "SimulatedModem.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: oemhost [--dll PATH] [--simulate [--profile FILE]] COMMAND [ARGUMENTS...]\n"
                 "       oemhost [--dll PATH] --version\n"
                 "Loads Oem.dll (from this program's folder unless --dll names another) and asks it.\n"
                 "--simulate: the modem is oemsim.dll from this program's folder, for this process only\n"
                 "(nothing is registered on the machine); --profile: the modem profile it answers from.\n"
                 "--version: this program's version and the file version of the Oem.dll it loads.\n\n"
                 "commands:\n");
    for (std::size_t i = 0; i < kHostCommandCount; ++i) {
        const HostCommand& command = kHostCommands[i];
        const std::string call = std::string(command.name) + (*command.arguments ? " " : "") + command.arguments;
        std::fprintf(out, "  %s\n      %s\n", call.c_str(), command.summary);
    }
    std::fprintf(out, "  help\n      this text\n");
    std::fprintf(out,
                 "\nexit codes: 0 answered, 1 no answer from the modem (or it refused a setting), 2 usage,\n"
                 "3 Oem.dll or an export missing, 4 answered that the versions differ (update or flash due)\n");
}

const HostCommand* FindCommand(const char* name) {
    for (std::size_t i = 0; i < kHostCommandCount; ++i) {
        if (std::strcmp(kHostCommands[i].name, name) == 0) return &kHostCommands[i];
    }
    return nullptr;
}

std::wstring Widen(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    return wide;
}

struct HostOptions {
    std::wstring dllPath;
    bool simulate = false;
    std::string profile;
    bool version = false;
};

// The options before the command; false on a malformed one.
bool ReadHostOptions(int argc, char** argv, int* next, HostOptions* options) {
    for (; *next < argc && std::strncmp(argv[*next], "--", 2) == 0; ++*next) {
        const char* option = argv[*next];
        const bool hasValue = *next + 1 < argc;
        if (std::strcmp(option, "--dll") == 0 && hasValue) {
            options->dllPath = Widen(argv[++*next]);
        } else if (std::strcmp(option, "--profile") == 0 && hasValue) {
            options->profile = argv[++*next];
        } else if (std::strcmp(option, "--simulate") == 0) {
            options->simulate = true;
        } else if (std::strcmp(option, "--version") == 0) {
            options->version = true;
        } else {
            return std::strcmp(option, "--help") == 0;
        }
    }
    return options->profile.empty() || options->simulate;
}

int PrintVersions(const OemLibrary& oem) {
    std::printf("oemhost %s\n", OEM_VERSION);
    const std::string version = oem.FileVersion();
    std::printf("Oem.dll %s (%ls)\n", version.empty() ? "without a version resource" : version.c_str(),
                oem.path().c_str());
    return version.empty() ? kExitNoLibrary : kExitAnswered;
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    HostOptions options;
    if (!ReadHostOptions(argc, argv, &next, &options)) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const bool help = next < argc && (std::strcmp(argv[next], "help") == 0 || std::strcmp(argv[next], "--help") == 0);
    if (help || (next >= argc && !options.version)) {
        PrintUsage(help ? stdout : stderr);
        return help ? kExitAnswered : kExitUsage;
    }
    const HostCommand* command = options.version ? nullptr : FindCommand(argv[next]);
    if (command == nullptr && !options.version) {
        std::fprintf(stderr, "oemhost: unknown command \"%s\"\n\n", argv[next]);
        PrintUsage(stderr);
        return kExitUsage;
    }
    const Arguments arguments(argv + next + (options.version ? 0 : 1), argv + argc);

    // Declared before the library: Oem.dll is unloaded before the simulator goes.
    SimulatedModem simulator;
    if (options.simulate && !simulator.Start(options.profile)) return kExitNoLibrary;
    const bool withoutOem = command != nullptr && command->withoutOem;
    OemLibrary oem(options.dllPath, !withoutOem);
    if (!oem.loaded() && !withoutOem) {
        std::fprintf(stderr, "oemhost: cannot load %ls (error %lu)\n", oem.path().c_str(),
                     static_cast<unsigned long>(oem.loadError()));
        return kExitNoLibrary;
    }
    if (options.version) return PrintVersions(oem);
    const int exitCode = command->run(oem, arguments);
    if (exitCode == kExitUsage) {
        std::fprintf(stderr, "usage: oemhost %s %s\n", command->name, command->arguments);
    }
    std::fflush(stdout);
    return exitCode;
}
