// Oem.dll as a host meets it: loading, the export lock by its name, and the lines the version
// exports leave (their comparison rules are tabled in ExportRulesTest).
#include <gtest/gtest.h>

#include <aclapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "support/HostKit.h"
#include "tools/win/ScopedLocal.h"

namespace {

TEST(OemDll, LoadAndUnloadWriteNothingAndUnloadClosesTheExportLock) {
    const char kLockName[] = "Local\\OemLockMutexABcdef";
    ASSERT_TRUE(OemDllUnloaded(3000)) << "a sink of an earlier test still holds the DLL";
    TestLogFolder folder("2", "DllLoadQuiet");
    for (int i = 0; i < 10; ++i) {
        OemDll dll;
        ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
        EXPECT_TRUE(ScopedHandle(::OpenMutexA(SYNCHRONIZE, FALSE, kLockName)).valid()) << "load creates the lock";
    }
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "load and unload write no line";
    EXPECT_FALSE(ScopedHandle(::OpenMutexA(SYNCHRONIZE, FALSE, kLockName)).valid()) << "unload closed its handle";
}

// A hundred loads, each with one call, then unloads leave no handle of any type behind; so do a
// few whose modem call leaves a sink that keeps the DLL a grace longer.
TEST(OemDll, LoadCallUnloadCyclesLeaveNoHandle) {
    TestLogFolder folder("2", "DllCycles");
    SimModem sim;
    ASSERT_TRUE(sim.loaded());
    sim->Reset();
    const auto cycle = [](bool modem) {
        {
            OemDll dll;
            if (modem) {
                EXPECT_EQ(dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID")(), 5);
            } else {
                EXPECT_TRUE(dll.Get<bool (*)(const char*, const char*)>("OEM_Check_If_UpdateCurrentPackage")(
                    "A.B.C.1", "A.B.C.2"));
            }
        }
        EXPECT_TRUE(OemDllUnloaded(3000));
    };
    cycle(true), cycle(false);  // what the first calls of a process set up for good
    const std::map<std::string, int> before = HandlesByType();
    for (int i = 0; i < 100; ++i) cycle(i % 25 == 0);
    std::map<std::string, int> now;
    EXPECT_TRUE(WaitUntil([&] { return GrownHandleTypes(before, now = HandlesByType()).empty(); }, 3000))
        << GrownHandleTypes(before, now);
}

// Any holder of the lock by its name, here another thread, keeps a modem export from starting; a
// lock abandoned by a holder that ended without letting go is taken like a free one, and let go.
TEST(OemDll, ModemExportWaitsForAHeldLockAndTakesAnAbandonedOne) {
    SimModem sim;
    OemDll dll;
    const auto carrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    ASSERT_TRUE(sim.loaded() && carrierId);
    sim->Reset();
    std::future<std::int32_t> answer;
    {
        const ExportLockHolder holder;
        answer = std::async(std::launch::async, carrierId);
        EXPECT_FALSE(WaitUntil([&] { return sim->CommandCount() != 0; }, 500)) << "a command went out under the lock";
    }
    EXPECT_EQ(answer.get(), 5);
    std::thread([] {
        const ScopedHandle lock(::OpenMutexA(SYNCHRONIZE, FALSE, "Local\\OemLockMutexABcdef"));
        EXPECT_EQ(::WaitForSingleObject(lock.get(), 0), WAIT_OBJECT_0);
    }).join();
    EXPECT_EQ(carrierId(), 5);
    ExpectNothingHeld(sim, 2);
}

// The frame's hold of the export lock: an abandoned mutex is owned; a wait that fails owns nothing,
// so a hold this thread had already is not given up with it.
TEST(ExportLockHold, AbandonedIsOwnedAFailedWaitIsNot) {
    const ScopedHandle mutex(::CreateMutexW(nullptr, FALSE, nullptr));
    const auto freeElsewhere = [&] {
        const auto take = [&] { return HeldMutex(::WaitForSingleObject(mutex.get(), 0) ? nullptr : mutex.get()); };
        return std::async(std::launch::async, [&] { return take().valid(); }).get();
    };
    std::thread([&] { ::WaitForSingleObject(mutex.get(), 0); }).join();
    EXPECT_TRUE(WaitAndHold(mutex.get()).valid());
    EXPECT_TRUE(freeElsewhere()) << "an abandoned mutex taken was not let go";
    ScopedHandle modifyOnly;  // a handle that may not be waited on
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), mutex.get(), ::GetCurrentProcess(), modifyOnly.put(),
                                  MUTEX_MODIFY_STATE, FALSE, 0));
    ASSERT_EQ(::WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(WaitAndHold(modifyOnly.get()).valid());
    EXPECT_FALSE(freeElsewhere()) << "a failed wait let go of this thread's own hold";
    ::ReleaseMutex(mutex.get());
}

// The Unix name of a Windows path, under Wine; empty elsewhere.
std::wstring UnixPath(const std::string& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* const name = unixName ? unixName(std::wstring(path.begin(), path.end()).c_str()) : nullptr;
    const std::wstring wide = name ? std::wstring(name, name + std::strlen(name)) : std::wstring();
    ::HeapFree(::GetProcessHeap(), 0, name);
    return wide;
}

// Runs a Unix program as a user of the machine would, with its arguments quoted, and waits until
// done() holds: a Unix process gives no handle to wait on. Wine shows a Unix symbolic link as the
// file or folder it names, and cannot remove one whose target is gone.
template <typename Done>
void RunUnix(const wchar_t* program, const std::vector<std::wstring>& arguments, Done done) {
    std::wstring line = program;
    for (const std::wstring& argument : arguments) line += L" \"" + argument + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(::CreateProcessW(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    EXPECT_TRUE(WaitUntil(done, 5000)) << std::string(line.begin(), line.end());
}

void PlantLink(std::string target, const std::string& link) {
    std::replace(target.begin(), target.end(), '\\', '/');
    WIN32_FIND_DATAA found;  // a dangling link is listed too
    RunUnix(L"/bin/ln", {L"-s", std::wstring(target.begin(), target.end()), UnixPath(link)},
            [&] { return ScopedFindHandle(::FindFirstFileA(link.c_str(), &found)).valid(); });
}

// Each planted link leaves what it names as it was (here: absent) and the line is dropped; with
// nothing planted the line is written, into folders whose access list names no one beyond SYSTEM,
// Administrators, Users and this user (Wine shows no Everyone entry; Windows the protected list).
TEST(LogWriter, PlantedLinksDropTheLine) {
    TestLogFolder folder("2", "PlantedLinks");
    const std::string logs = folder.Folder() + "logs\\", victim = folder.Folder() + "victim.txt";
    const std::string elsewhere = folder.Folder() + "elsewhere\\", file = folder.ModuleLogPath();
    struct Row {
        const char* name;
        std::function<void()> plant;
        std::string target, content;
    } const rows[] = {
        {"symlinked file", [&] { PlantLink("..\\victim.txt", file); }, victim, "victim"},
        {"hard link", [&] { ::CreateHardLinkA(file.c_str(), victim.c_str(), nullptr); }, victim, "victim"},
        // Wine sees no dangling link, so this one dangles once planted.
        {"dangling symlink", [&] { PlantLink("..\\victim.txt", file), ::DeleteFileA(victim.c_str()); }, victim, ""},
        {"linked logs folder",
         [&] { ::RemoveDirectoryA(logs.c_str()), PlantLink("elsewhere", logs.substr(0, logs.size() - 1)); },
         elsewhere + TestFiles::ExecutableName() + "Ex.log", ""},
        {"nothing planted", [&] { folder.RemoveTree(); }, file, ""},  // the DLL makes the folders
    };
    if (UnixPath(folder.Folder()).empty()) GTEST_SKIP() << "links are planted as a user does under Wine";
    OemDll dll;
    const auto package = dll.Get<bool (*)(const char*, const char*)>("OEM_Check_If_UpdateCurrentPackage");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::CreateDirectoryA(folder.Folder().c_str(), nullptr);  // so that its going shows rm has run
        RunUnix(L"/bin/rm", {L"-rf", UnixPath(folder.Folder())}, [&] { return !TestFiles::Exists(folder.Folder()); });
        for (const std::string& made : {folder.Folder(), logs, elsewhere}) ::CreateDirectoryA(made.c_str(), nullptr);
        std::ofstream(victim, std::ios::binary) << "victim";
        row.plant();
        EXPECT_TRUE(package("A.B.C.1", "A.B.C.2"));
        EXPECT_EQ(TestFiles::Exists(row.target), !row.content.empty() || row.target == file);
        if (row.target != file) {
            EXPECT_EQ(TestFiles::ReadAll(row.target), row.content);
        }
    }
    EXPECT_EQ(folder.ModuleMessages().size(), 2u);
    for (const std::string& made : {folder.Folder(), logs}) {
        PACL acl = nullptr;
        ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
        ASSERT_EQ(::GetNamedSecurityInfoA(made.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &acl, nullptr, descriptor.put()),
                  ERROR_SUCCESS);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(::GetAce(acl, i, reinterpret_cast<void**>(&ace)));
            const auto* authority = ::GetSidIdentifierAuthority(&ace->SidStart);
            EXPECT_NE(std::memcmp(authority, &world, sizeof(world)), 0) << made << " lets everyone in";
        }
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
        if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
            EXPECT_TRUE((control & SE_DACL_PROTECTED) && acl && acl->AceCount == 4) << made;
        }
    }
}

TEST(VersionExports, AnswerAndLines) {
    // clang-format off
    struct Row { bool package; std::string current, next; bool update; std::vector<std::string> lines; };
    const Row rows[] = {
        {true, "A1.B2.C3.10.4", "A1.B2.C3.10.5", true,
            {"Package Ver current is:A1.B2.C3.10.4  ,new coming is:A1.B2.C3.10.5",
             "PackageVer comparing current-part is:10.4  ,new coming-part is:10.5"}},
        {false, "CarrierX.02", "CARRIERX.02", false, {"Carrier Ver current is:CarrierX.02  ,new coming is:CARRIERX.02",
            "Carrier Ver comparing current-part is:CARRIERX.02  ,new coming-part is:CARRIERX.02"}},
        {false, "", "unreadable", true, {}},  // no carrier installed: true, next unread, no line
    };
    // clang-format on
    OemDll dll;
    const auto package = dll.Get<bool (*)(const char*, const char*)>("OEM_Check_If_UpdateCurrentPackage");
    const auto carrier =
        dll.Get<bool (*)(void*, const char*, const char*)>("OEM_Check_If_UpdateCurrentCarrierInPackage");
    // A next version that faults on any read, for the row that must not look at it.
    void* unreadable = ::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_TRUE(package && carrier && unreadable);
    for (const Row& row : rows) {
        const char* next = row.next == "unreadable" ? static_cast<const char*>(unreadable) : row.next.c_str();
        for (const std::string level : {"2", "0"}) {
            SCOPED_TRACE(row.current + " / " + row.next + ", LOG_LV " + level);
            TestLogFolder folder(level, "DllVersion" + level);
            // The reserved argument would fault if it were ever read.
            EXPECT_EQ(row.package ? package(row.current.c_str(), next)
                                  : carrier(reinterpret_cast<void*>(0x10), row.current.c_str(), next),
                      row.update);
            EXPECT_EQ(folder.ModuleMessages(), level == "2" ? row.lines : std::vector<std::string>());  // none at 0
        }
    }
    ::VirtualFree(unreadable, 0, MEM_RELEASE);
}

}  // namespace
