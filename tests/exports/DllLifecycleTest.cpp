// Oem.dll as the host tool meets it: loaded from its folder, exports found by name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/TestFiles.h"

namespace {

using GetCurrentCarrierId = std::int32_t (*)();

TEST(OemDll, LoadsAndFindsItsExport) {
    OemDll dll;
    ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
    EXPECT_NE(dll.Get<GetCurrentCarrierId>("OEM_GetCurrentCarrierID"), nullptr);
}

// The carrier-id export against the simulated modem registered in the test prefix, its
// result and its module-log lines, is tested end to end in tests/e2e.

TEST(OemDll, LoadDoesNotTouchTheFileSystem) {
    TestLogFolder folder("2", "DllLoadQuiet");
    for (int i = 0; i < 20; ++i) {
        OemDll dll;
        ASSERT_TRUE(dll.loaded());
    }
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "load and unload write no line";
}

// Programs that load Oem.dll run one at a time (a ctest resource lock), so no other process
// holds the named lock here.
TEST(OemDll, UnloadClosesTheExportLock) {
    {
        OemDll dll;
        ASSERT_TRUE(dll.loaded());
        HANDLE opened = ::OpenMutexA(SYNCHRONIZE, FALSE, "Local\\OemLockMutexABcdef");
        ASSERT_NE(opened, nullptr) << "load creates the export lock";
        ::CloseHandle(opened);
    }
    EXPECT_EQ(::OpenMutexA(SYNCHRONIZE, FALSE, "Local\\OemLockMutexABcdef"), nullptr)
        << "unload closed the library's handle, so the named lock is gone";
}

class EventPair {
public:
    EventPair() {
        const std::string base = "OemTest" + std::to_string(::GetCurrentProcessId());
        heldName = base + "Held";
        releaseName = base + "Release";
        held = ::CreateEventA(nullptr, TRUE, FALSE, heldName.c_str());
        release = ::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    }
    ~EventPair() {
        ::CloseHandle(held);
        ::CloseHandle(release);
    }
    std::string heldName, releaseName;
    HANDLE held, release;
};

TEST(OemDll, ExportWaitsForTheLockHeldByAnotherProcess) {
    OemDll dll;
    ASSERT_TRUE(dll.loaded());
    auto getCarrierId = dll.Get<GetCurrentCarrierId>("OEM_GetCurrentCarrierID");

    EventPair events;
    std::string command =
        "\"" + TestFiles::ExecutableFolder() + "export_lock_holder.exe\" " + events.heldName + " " + events.releaseName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION holder = {};
    ASSERT_TRUE(
        ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder));
    ASSERT_EQ(::WaitForSingleObject(events.held, 20000), WAIT_OBJECT_0) << "holder took the lock";

    std::atomic<bool> done{false};
    std::thread caller([&] {
        getCarrierId();
        done = true;
    });
    ::Sleep(500);
    EXPECT_FALSE(done.load()) << "the export ran while another process held the lock";
    ::SetEvent(events.release);
    caller.join();
    EXPECT_TRUE(done.load());

    DWORD exitCode = 1;
    ::WaitForSingleObject(holder.hProcess, 20000);
    ::GetExitCodeProcess(holder.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ::CloseHandle(holder.hThread);
    ::CloseHandle(holder.hProcess);
}

}  // namespace
