#include "support/SimModem.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/TestKit.h"

SimModem::SimModem() {
    const std::wstring path = RegisteredPath();
    if (path.empty()) return;
    module_.reset(::LoadLibraryW(path.c_str()));
    if (!module_) return;
    auto get = reinterpret_cast<OemSimGetControlFunction>(
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

std::vector<std::string> SimModem::Commands() const {
    std::vector<std::string> commands;
    for (std::size_t i = 0; i < control_->CommandCount(); ++i) {
        std::uint32_t id = 0;
        commands.push_back(Command(i, &id));
        EXPECT_EQ(id, 1u) << "command id of " << commands.back();
    }
    return commands;
}

bool SimModem::WaitIdle(DWORD timeoutMs) const {
    return WaitUntil([this] { return control_->CompletionsInFlight() == 0; }, timeoutMs);
}

std::wstring SimModem::RegisteredPath() {
    const wchar_t* key = L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}\\InprocServer32";
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}

std::string SimModem::Folder() {
    const std::wstring path = RegisteredPath();
    return std::string(path.begin(), path.begin() + (path.rfind(L'\\') + 1));
}

bool ExportLockIsFree() {
    bool free = false;
    // From a thread of its own: the lock is recursive, so a thread that kept it would take it again.
    std::thread probe([&] {
        ScopedHandle lock(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "Local\\OemLockMutexABcdef"));
        HeldMutex held(lock && ::WaitForSingleObject(lock.get(), 0) == WAIT_OBJECT_0 ? lock.get() : nullptr);
        free = held.valid();
    });
    probe.join();
    return free;
}

void ExpectNothingHeld(const SimModem& sim, int channels) {
    EXPECT_TRUE(ExportLockIsFree());
    EXPECT_TRUE(WaitUntil([&] { return sim->CompletionsInFlight() == 0 && sim->LiveObjects() == 0; }, 15000))
        << sim->LiveObjects() << " simulator objects alive";
    EXPECT_EQ(sim->AdvisedSinks(), 0);
    EXPECT_EQ(sim->Advises(), channels);
    EXPECT_EQ(sim->Unadvises(), channels);
    EXPECT_EQ(sim->SessionCloses(), sim->SessionOpens());
}
