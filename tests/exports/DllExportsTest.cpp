// Oem.dll as a host meets it: loading, the export lock by its name, and the two version
// exports with the lines they leave (their comparison rules are tabled in ExportRulesTest).
#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/LogFiles.h"
#include "support/OemDll.h"
#include "support/NothingHeld.h"
#include "support/TestKit.h"
#include "tools/win/ScopedHandle.h"

namespace {

const char kLockName[] = "Local\\OemLockMutexABcdef";

TEST(OemDll, LoadAndUnloadWriteNothingAndUnloadClosesTheExportLock) {
    TestLogFolder folder("2", "DllLoadQuiet");
    for (int i = 0; i < 10; ++i) {
        OemDll dll;
        ASSERT_TRUE(dll.loaded()) << OemDll::Path() << " error " << ::GetLastError();
        ScopedHandle opened(::OpenMutexA(SYNCHRONIZE, FALSE, kLockName));
        EXPECT_TRUE(opened.valid()) << "load creates the export lock";
    }
    EXPECT_FALSE(TestFiles::Exists(folder.Folder())) << "load and unload write no line";
    ScopedHandle after(::OpenMutexA(SYNCHRONIZE, FALSE, kLockName));
    EXPECT_FALSE(after.valid()) << "unload closed the library's handle";
}

// Any holder of the lock by its name, here another thread, keeps a modem export from starting.
TEST(OemDll, ModemExportWaitsForTheLockHeldByAnother) {
    SimModem sim;
    ASSERT_TRUE(sim.loaded());
    sim->Reset();
    OemDll dll;
    const auto carrierId = dll.Get<std::int32_t (*)()>("OEM_GetCurrentCarrierID");
    ASSERT_NE(carrierId, nullptr);
    std::promise<void> taken, letGo;
    std::thread holder([&] {
        ScopedHandle lock(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kLockName));
        HeldMutex held(lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr);
        EXPECT_TRUE(held.valid());
        taken.set_value();
        letGo.get_future().wait();
    });
    taken.get_future().wait();
    auto answer = std::async(std::launch::async, carrierId);
    EXPECT_FALSE(WaitUntil([&] { return sim->CommandCount() != 0; }, 500)) << "a command went out under a held lock";
    letGo.set_value();
    holder.join();
    EXPECT_EQ(answer.get(), 5);
    ExpectNothingHeld(sim, 1);
}

using UpdatePackage = bool (*)(const char* current, const char* next);
using UpdateCarrier = bool (*)(void* reserved, const char* current, const char* next);

TEST(VersionExports, AnswerAndLines) {
    struct Row {
        bool package;
        std::string current, next;
        bool update;
        std::vector<std::string> lines;  // at LOG_LV 2; none at LOG_LV 0
    };
    const Row rows[] = {
        {true,
         "A1.B2.C3.10.4",
         "A1.B2.C3.10.5",
         true,
         {"Package Ver current is:A1.B2.C3.10.4  ,new coming is:A1.B2.C3.10.5",
          "PackageVer comparing current-part is:10.4  ,new coming-part is:10.5"}},
        {true,
         "A1.B2",
         "C3.B2",
         false,
         {"Package Ver current is:A1.B2  ,new coming is:C3.B2",
          "PackageVer comparing current-part is:B2  ,new coming-part is:B2"}},
        {false,
         "CarrierX.02",
         "CARRIERX.02",
         false,
         {"Carrier Ver current is:CarrierX.02  ,new coming is:CARRIERX.02",
          "Carrier Ver comparing current-part is:CARRIERX.02  ,new coming-part is:CARRIERX.02"}},
        {false, "", "unreadable", true, {}},  // no carrier installed: true, next unread, no line
    };
    OemDll dll;
    const auto package = dll.Get<UpdatePackage>("OEM_Check_If_UpdateCurrentPackage");
    const auto carrier = dll.Get<UpdateCarrier>("OEM_Check_If_UpdateCurrentCarrierInPackage");
    ASSERT_TRUE(package != nullptr && carrier != nullptr);
    // A next version that faults on any read, for the row that must not look at it.
    void* unreadable = ::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    ASSERT_NE(unreadable, nullptr);
    for (const Row& row : rows) {
        const char* next = row.next == "unreadable" ? static_cast<const char*>(unreadable) : row.next.c_str();
        for (const std::string level : {"2", "0"}) {
            SCOPED_TRACE(row.current + " / " + row.next + ", LOG_LV " + level);
            TestLogFolder folder(level, "DllVersion" + level);
            // The reserved argument would fault if it were ever read.
            EXPECT_EQ(row.package ? package(row.current.c_str(), next)
                                  : carrier(reinterpret_cast<void*>(0x10), row.current.c_str(), next),
                      row.update);
            if (level == "2" && !row.lines.empty()) {
                EXPECT_EQ(folder.ModuleMessages(), row.lines);
            } else {
                EXPECT_FALSE(TestFiles::Exists(folder.ModuleLogPath()));
            }
        }
    }
    ::VirtualFree(unreadable, 0, MEM_RELEASE);
}

}  // namespace
