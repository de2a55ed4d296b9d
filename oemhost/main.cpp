// oemhost: loads Oem.dll as the firmware-update host does and asks it one question per run.
//   oemhost [--dll PATH] [--simulate [--profile FILE]] [--json] COMMAND [ARGUMENTS...]
//   oemhost [--dll PATH] [--json] --version
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "HostCommands.h"
#include "ProfileCheck.h"
#include "SimulatedModem.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: oemhost [--dll PATH] [--simulate [--profile FILE]] [--json] COMMAND [ARGUMENTS...]\n"
                 "       oemhost [--dll PATH] [--json] --version\n"
                 "Loads Oem.dll (from this program's folder unless --dll names another, by full path) and asks it.\n"
                 "--simulate: the modem is oemsim.dll from this program's folder, for this process only\n"
                 "(nothing is registered on the machine); --profile: the modem profile it answers from.\n"
                 "--json (anywhere): one JSON object on standard output instead of the readable answer.\n"
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
                 "3 Oem.dll or an export missing, 4 answered that the versions differ (update or flash due),\n"
                 "10 doctor: another process holds the export lock, 11 to 18 doctor: 10 plus the number of\n"
                 "the first step that failed\n");
}

const HostCommand* FindCommand(const char* name) {
    for (std::size_t i = 0; i < kHostCommandCount; ++i) {
        if (std::strcmp(kHostCommands[i].name, name) == 0) return &kHostCommands[i];
    }
    return nullptr;
}

struct HostOptions {
    std::string dll;
    bool simulate = false;
    std::string profile;
    bool version = false;
    bool json = false;
};

// The options before the command; false on a malformed one. --json was taken out before.
bool ReadHostOptions(const Arguments& words, std::size_t* next, HostOptions* options) {
    for (; *next < words.size() && words[*next].compare(0, 2, "--") == 0; ++*next) {
        const std::string& option = words[*next];
        const bool hasValue = *next + 1 < words.size();
        if (option == "--dll" && hasValue) {
            options->dll = words[++*next];
        } else if (option == "--profile" && hasValue) {
            options->profile = words[++*next];
        } else if (option == "--simulate") {
            options->simulate = true;
        } else if (option == "--version") {
            options->version = true;
        } else {
            return option == "--help";
        }
    }
    return options->profile.empty() || options->simulate;
}

// What oemhost was asked, the first fields of its JSON object.
JsonObject Given(const std::string& command, const Arguments& arguments, const HostOptions& options) {
    JsonArray given;
    for (const std::string& argument : arguments) given.Add(argument);
    JsonObject fields;
    command.empty() ? fields.Null("command") : fields.Text("command", command);
    fields.Array("arguments", given).Bool("simulate", options.simulate);
    options.profile.empty() ? fields.Null("profile") : fields.Text("profile", options.profile);
    options.dll.empty() ? fields.Null("dll") : fields.Text("dll", options.dll);
    return fields;
}

int PrintVersions(const OemLibrary& oem, HostOutput& out) {
    const std::string version = oem.FileVersion();
    out.Print("oemhost %s\n", OEM_VERSION);
    out.Print("Oem.dll %s (%ls)\n", version.empty() ? "without a version resource" : version.c_str(),
              oem.path().c_str());
    out.fields().Text("oemhost_version", OEM_VERSION);
    version.empty() ? out.fields().Null("dll_version") : out.fields().Text("dll_version", version);
    return version.empty() ? kExitNoLibrary : kExitAnswered;
}

// Runs the command line (without --json): the exit code; the options, the command's name and
// its arguments as read.
int Run(const Arguments& words, HostOutput& out, HostOptions* read, std::string* commandName, Arguments* arguments) {
    std::size_t next = 0;
    HostOptions& options = *read;
    const bool optionsRead = ReadHostOptions(words, &next, &options);
    const bool help = next < words.size() && (words[next] == "help" || words[next] == "--help");
    if (options.version) *commandName = "--version";
    if (next < words.size()) {
        if (!options.version) *commandName = words[next++];
        arguments->assign(words.begin() + next, words.end());
    }
    if (!optionsRead || help || (commandName->empty() && !options.version)) {
        const bool asked = help && optionsRead;
        PrintUsage(asked && !out.json() ? stdout : stderr);
        return asked ? kExitAnswered : kExitUsage;
    }
    const HostCommand* command = options.version ? nullptr : FindCommand(commandName->c_str());
    if (command == nullptr && !options.version) {
        std::fprintf(stderr, "oemhost: unknown command \"%s\"\n\n", commandName->c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    // A profile the simulator could not answer from (--profile, or OEMSIM_PROFILE for the
    // registered one too) is refused before anything is sent.
    if (!ProfileUsable(options.profile)) return kExitUsage;

    // Declared before the library: Oem.dll is unloaded before the simulator goes.
    SimulatedModem simulator;
    if (options.simulate && !simulator.Start(options.profile)) return kExitNoLibrary;
    const bool withoutOem = command != nullptr && command->withoutOem;
    OemLibrary oem(options.dll, !withoutOem);
    if (!oem.loaded() && !withoutOem) {
        std::fprintf(stderr, "oemhost: cannot load %ls (error %lu)\n", oem.path().c_str(),
                     static_cast<unsigned long>(oem.loadError()));
        return kExitNoLibrary;
    }
    if (options.version) return PrintVersions(oem, out);
    const int exitCode = command->run(oem, *arguments, out);
    if (exitCode == kExitUsage) {
        std::fprintf(stderr, "usage: oemhost %s %s\n", command->name, command->arguments);
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything loads a DLL: oemhost may run elevated from a folder such as Downloads,
    // where a planted DLL must not be found by name. Only System32 and this program's own
    // folder are searched; Oem.dll and the simulator are loaded by full path.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    HostOptions options;
    Arguments words;  // the command line without --json, which may stand anywhere
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            options.json = true;
        } else {
            words.emplace_back(argv[i]);
        }
    }
    HostOutput out(options.json);
    std::string command;
    Arguments arguments;
    const int exitCode = Run(words, out, &options, &command, &arguments);
    out.Finish(Given(command, arguments, options), exitCode);
    std::fflush(stdout);
    return exitCode;
}
