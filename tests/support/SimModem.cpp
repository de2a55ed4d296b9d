#include "support/SimModem.h"

#include <gtest/gtest.h>

#include <tuple>

SimModem::SimModem() : module_(::LoadLibraryW(RegisteredPath().c_str())) {
    if (!module_) return;
    const auto get = reinterpret_cast<OemSimGetControlFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "OemSimGetControl")));
    if (get != nullptr) control_ = get();
}

std::string SimModem::Command(std::size_t index, std::uint32_t* commandId) const {
    std::uint32_t id = 0;
    std::string bytes(control_->GetCommand(index, &id, nullptr, 0), '\0');
    if (!bytes.empty()) control_->GetCommand(index, &id, &bytes[0], bytes.size());
    if (commandId != nullptr) *commandId = id;
    return bytes;
}

std::wstring SimModem::RegisteredPath() {
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    const wchar_t key[] = L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}\\InprocServer32";
    return ::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) ? L"" : value;
}

namespace {
// The export lock taken at once on this thread, if it can be.
struct ExportLockHold {
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
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 0 && sim->LiveObjects() == 0; }, 15000))
        << sim->LiveObjects() << " simulator objects alive";
    EXPECT_EQ(std::make_tuple(sim->AdvisedSinks(), sim->Advises(), sim->Unadvises()),
              std::make_tuple(0, channels, channels))
        << "sinks advised now, advises, unadvises";
    EXPECT_EQ(sim->SessionCloses(), sim->SessionOpens());
}
