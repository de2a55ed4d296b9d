#include "support/HostKit.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <tuple>

std::string TestFiles::ExecutablePath(bool folderOnly) {
    char path[MAX_PATH] = {};
    const std::string text(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    return folderOnly ? text.substr(0, text.rfind('\\') + 1) : text.substr(text.rfind('\\') + 1);
}

std::string TestFiles::CommonAppData() {
    char path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE);
    return std::string(path) + '\\';
}

void TestFiles::WriteConfig(const std::string& logLevel, const std::string& logPath) {
    std::ofstream ini(ExecutableFolder() + "ksconfig.ini", std::ios::trunc);
    ini << "[BASE_CONFIG]\n" << (logLevel.empty() ? "" : "LOG_LV=" + logLevel + "\n");
    ini << (logPath.empty() ? "" : "LOG_PATH=" + logPath + "\n");
}

std::string TestFiles::ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<LogLineText> TestLogFolder::ParseLines(const std::string& content) {
    static const std::regex prefix(R"(^\[\d+\] \[\d+\] \d\d-\d\d \d\d:\d\d:\d\d:\d\d\d : )");
    std::vector<LogLineText> lines;
    for (size_t start = 0, end = 0; start < content.size(); start = end + 2) {
        end = std::min(content.find("\r\n", start), content.size());
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        const bool led = std::regex_search(line, match, prefix);
        lines.push_back({led ? match.str() : std::string(), line.substr(led ? match.length() : 0)});
    }
    return lines;
}

std::vector<std::string> TestLogFolder::MessagesIn(const std::string& content) {
    std::vector<std::string> messages;
    for (const LogLineText& line : ParseLines(content)) messages.push_back(line.message);
    return messages;
}

std::vector<std::string> TestLogFolder::AsWritten(const std::vector<std::string>& messages) {
    std::string content;
    for (const std::string& message : messages) content += std::regex_replace(message + "\n", std::regex("\n"), "\r\n");
    return MessagesIn(content);
}

std::map<std::string, int> HandlesByType() {
    using QueryObject = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    std::map<std::string, int> counts;
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        if (!::GetHandleInformation(handle, &flags)) continue;
        // ObjectTypeInformation (2) starts with the type's name as a UNICODE_STRING.
        alignas(8) unsigned char info[1024] = {};
        struct Name {
            USHORT length, capacity;
            const wchar_t* text;
        };
        const Name* name = reinterpret_cast<const Name*>(info);
        std::string type = "?";
        if (query && query(handle, 2, info, sizeof(info), nullptr) >= 0 && name->text) {
            type.assign(name->text, name->text + name->length / sizeof(wchar_t));
        }
        ++counts[type];
    }
    return counts;
}

std::string GrownHandleTypes(const std::map<std::string, int>& before, const std::map<std::string, int>& now) {
    std::string grown;
    for (const auto& [type, count] : now) {
        const auto was = before.find(type);
        const int old = was == before.end() ? 0 : was->second;
        if (count > old) grown += type + " " + std::to_string(old) + " -> " + std::to_string(count) + "; ";
    }
    return grown;
}

bool OemDllUnloaded(unsigned timeoutMs) {
    return WaitUntil([] { return ::GetModuleHandleW(L"Oem.dll") == nullptr; }, timeoutMs);
}

namespace {
struct ExportLockHold {  // the export lock taken at once on this thread, if it can be
    ScopedHandle lock{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef")};
    HeldMutex held{lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr};
};
}  // namespace

bool ExportLockIsFree() {
    // From a thread of its own: the lock is recursive, so a thread that kept it would take it again.
    return std::async(std::launch::async, [] { return ExportLockHold().held.valid(); }).get();
}

ExportLockHolder::ExportLockHolder() {
    std::promise<bool> taken;
    thread_ = std::thread([&taken, letGo = letGo_.get_future()] {
        const ExportLockHold hold;
        taken.set_value(hold.held.valid());
        letGo.wait();
    });
    EXPECT_TRUE(taken.get_future().get()) << "the test holds the export lock";
}

std::vector<std::string> ReceivedCommands(const SimModem& sim) {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < sim->CommandCount(); ++i) {
        std::uint32_t id = 0;
        commands.push_back(sim.Command(i, &id));
        EXPECT_EQ(id, 1u) << "command id of " << commands.back();
    }
    return commands;
}

void ExpectNothingHeld(const SimModem& sim, int channels) {
    EXPECT_TRUE(ExportLockIsFree());
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 0 && sim->LiveObjects() == 0; }, 20000))
        << sim->LiveObjects() << " simulator objects alive";
    EXPECT_EQ(std::make_tuple(sim->AdvisedSinks(), sim->Advises(), sim->Unadvises()),
              std::make_tuple(0, channels, channels))
        << "sinks advised now, advises, unadvises";
    EXPECT_EQ(sim->SessionCloses(), sim->SessionOpens());
}
