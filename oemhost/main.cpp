// oemhost: loads Oem.dll as the firmware-update host does and asks it one question per run.
//   oemhost [--dll PATH] COMMAND [ARGUMENTS...]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "HostCommands.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: oemhost [--dll PATH] COMMAND [ARGUMENTS...]\n"
                 "Loads Oem.dll (from this program's folder unless --dll names another) and asks it.\n\n"
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

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    std::wstring dllPath;
    if (next + 1 < argc && std::strcmp(argv[next], "--dll") == 0) {
        dllPath = Widen(argv[next + 1]);
        next += 2;
    }
    if (next >= argc || std::strcmp(argv[next], "help") == 0 || std::strcmp(argv[next], "--help") == 0) {
        PrintUsage(next >= argc ? stderr : stdout);
        return next >= argc ? kExitUsage : kExitAnswered;
    }
    const HostCommand* command = FindCommand(argv[next]);
    if (command == nullptr) {
        std::fprintf(stderr, "oemhost: unknown command \"%s\"\n\n", argv[next]);
        PrintUsage(stderr);
        return kExitUsage;
    }
    const Arguments arguments(argv + next + 1, argv + argc);

    OemLibrary oem(dllPath);
    if (!oem.loaded()) {
        std::fprintf(stderr, "oemhost: cannot load %ls (error %lu)\n", oem.path().c_str(),
                     static_cast<unsigned long>(oem.loadError()));
        return kExitNoLibrary;
    }
    const int exitCode = command->run(oem, arguments);
    if (exitCode == kExitUsage) {
        std::fprintf(stderr, "usage: oemhost %s %s\n", command->name, command->arguments);
    }
    std::fflush(stdout);
    return exitCode;
}
