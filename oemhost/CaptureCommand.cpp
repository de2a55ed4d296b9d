#include <windows.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "CapturedProfile.h"
#include "HostCommands.h"
#include "exports/ModemExportFrame.h"
#include "exports/ModuleGlobals.h"
#include "tools/win/ScopedHandle.h"

namespace {

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::tm local = {};
    if (localtime_s(&local, &now) == 0) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// Asks every query on one channel of the DLL's own kind, under the export lock; a query
// without an answer stays unanswered, and so do all when no channel opens.
std::vector<CapturedReply> AskModem(HANDLE exportLock, std::string* note) {
    ExportEnvironment environment;
    environment.exportLock = exportLock;
    environment.newChannel = &NewChannelFromFactory;
    ModemExportFrame frame(environment);
    const bool open = frame.OpenChannel(ChannelLines()) != nullptr;
    if (!open) *note = "No modem could be reached: the AT-over-MBIM channel did not open.";
    std::vector<CapturedReply> replies;
    for (const std::string& command : CaptureQueries()) {
        CapturedReply captured;
        captured.command = command;
        captured.answered = open && frame.Execute(command, &captured.reply) == S_OK;
        if (!captured.answered) captured.reply.clear();
        replies.push_back(captured);
    }
    return replies;
}

}  // namespace

// capture FILE [--force]: the read-only queries of the exports, written as a modem profile.
int RunCapture(const OemLibrary&, const Arguments& arguments, HostOutput& out) {
    const bool force = arguments.size() == 2 && arguments[1] == "--force";
    if (arguments.empty() || arguments.size() > 2 || (arguments.size() == 2 && !force)) return kExitUsage;
    const std::string& path = arguments[0];
    if (FileExists(path) && !force) {
        std::fprintf(stderr, "oemhost: %s exists; --force overwrites it\n", path.c_str());
        return kExitUsage;
    }
    // The DLL's export lock: the capture never interleaves with a host calling the exports.
    const ScopedHandle exportLock = CreateExportLock();
    std::string note;
    const std::vector<CapturedReply> replies = AskModem(exportLock.get(), &note);

    std::vector<std::string> header = {
        "Modem profile captured " + Now() + " by oemhost " OEM_VERSION " capture, through the",
        "AT-over-MBIM channel of Oem.dll under its export lock; only read-only queries were sent.",
        "Replay: bash cmake/run-host.sh --profile FILE report (or oemhost --simulate --profile FILE).",
    };
    if (!note.empty()) header.push_back(note);
    const std::string text = CapturedProfileText(header, replies);
    std::FILE* file = nullptr;
    if (fopen_s(&file, path.c_str(), "wb") != 0 || file == nullptr) {
        std::fprintf(stderr, "oemhost: cannot write %s\n", path.c_str());
        return kExitUsage;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "oemhost: cannot write %s\n", path.c_str());
        return kExitUsage;
    }
    std::size_t answered = 0;
    JsonArray replyList;
    for (const CapturedReply& captured : replies) {
        answered += captured.answered ? 1 : 0;
        JsonObject reply = JsonObject().Text("command", captured.command).Bool("answered", captured.answered);
        replyList.Add(captured.answered ? reply.Text("reply", captured.reply) : reply.Null("reply"));
    }
    out.fields().Text("file", path).Array("replies", replyList);
    out.Print("Captured %u of %u replies into %s\n", static_cast<unsigned>(answered),
              static_cast<unsigned>(replies.size()), path.c_str());
    return answered == 0 ? kExitNoAnswer : kExitAnswered;
}
