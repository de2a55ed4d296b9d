#include <windows.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "CapturedProfile.h"
#include "HostCommands.h"
#include "exports/ModemExportFrame.h"
#include "exports/ModuleGlobals.h"
#include "tools/win/CheckedFile.h"
#include "tools/win/ScopedHandle.h"

namespace {

// The capture file, made new; with force an existing one is emptied and reused, but only a
// regular file of a single link at that very path: oemhost may run elevated, and a link planted
// under the name would make it overwrite another file. Invalid after saying why.
ScopedFileHandle OpenCaptureFile(const std::string& path, bool force) {
    const std::wstring full = FullPathOf(path);
    ScopedFileHandle file = OpenCheckedFile(full, GENERIC_WRITE, CREATE_NEW);
    DWORD error = file ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_FILE_EXISTS && !force) {
        std::fprintf(stderr, "oemhost: %s exists; --force overwrites it\n", path.c_str());
        return file;
    }
    if (error == ERROR_FILE_EXISTS) {
        file = OpenCheckedFile(full, GENERIC_WRITE, OPEN_EXISTING);
        error = file ? (::SetEndOfFile(file.get()) ? ERROR_SUCCESS : ::GetLastError()) : ::GetLastError();
    }
    if (error == ERROR_CANT_ACCESS_FILE) {
        std::fprintf(stderr, "oemhost: %s is a link or not a regular file: not overwritten\n", path.c_str());
    } else if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "oemhost: cannot write %s (error %lu)\n", path.c_str(), static_cast<unsigned long>(error));
    }
    if (error != ERROR_SUCCESS) file.reset();
    return file;
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
    // Made before the modem is asked, so that a name that cannot be used costs no modem time.
    const ScopedFileHandle file = OpenCaptureFile(path, force);
    if (!file) return kExitUsage;
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
    if (!WriteAll(file.get(), text)) {
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
