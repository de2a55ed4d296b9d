// Oem.dll as the host tool meets it: loaded from its folder, exports found by name. The carrier-id
// export against the simulated modem is tested end to end in tests/e2e.
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
const char kLockName[] = "Local\\OemLockMutexABcdef";

TEST(OemDll, LoadsFindsItsExportAndLoadingTouchesNoFile) {
    TestLogFolder folder("2", "DllLoadQuiet");
    for (int i = 0; i < 20; ++i) {
        OemDll dll;
        ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
        EXPECT_NE(dll.Get<GetCurrentCarrierId>("OEM_GetCurrentCarrierID"), nullptr);
    }
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "load and unload write no line";
}

// Programs that load Oem.dll run one at a time (a ctest resource lock), so no other process
// holds the named lock here.
TEST(OemDll, UnloadClosesTheExportLock) {
    {
        OemDll dll;
        ASSERT_TRUE(dll.loaded());
        HANDLE opened = ::OpenMutexA(SYNCHRONIZE, FALSE, kLockName);
        ASSERT_NE(opened, nullptr) << "load creates the export lock";
        ::CloseHandle(opened);
    }
    EXPECT_EQ(::OpenMutexA(SYNCHRONIZE, FALSE, kLockName), nullptr) << "unload closed the library's handle";
}

TEST(OemDll, ExportWaitsForTheLockHeldByAnotherProcess) {
    OemDll dll;
    ASSERT_TRUE(dll.loaded());
    auto getCarrierId = dll.Get<GetCurrentCarrierId>("OEM_GetCurrentCarrierID");
    const std::string base = "OemTest" + std::to_string(::GetCurrentProcessId());
    HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, (base + "Held").c_str());
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, (base + "Release").c_str());
    std::string command =
        "\"" + TestFiles::ExecutableFolder() + "export_lock_holder.exe\" " + base + "Held " + base + "Release";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION holder = {};
    ASSERT_TRUE(
        ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder));
    ASSERT_EQ(::WaitForSingleObject(held, 20000), WAIT_OBJECT_0) << "holder took the lock";

    std::atomic<bool> done{false};
    std::thread caller([&] {
        getCarrierId();
        done = true;
    });
    ::Sleep(500);
    EXPECT_FALSE(done.load()) << "the export ran while another process held the lock";
    ::SetEvent(release);
    caller.join();

    DWORD exitCode = 1;
    ::WaitForSingleObject(holder.hProcess, 20000);
    ::GetExitCodeProcess(holder.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    for (HANDLE handle : {holder.hThread, holder.hProcess, held, release}) ::CloseHandle(handle);
}

}  // namespace
