#include "support/SimModem.h"

#include "support/TestKit.h"

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

bool SimModem::WaitIdle(DWORD timeoutMs) const {
    return WaitUntil([this] { return control_->CompletionsInFlight() == 0; }, timeoutMs);
}

std::wstring SimModem::RegisteredPath() {
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof(value);
    const wchar_t key[] = L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}\\InprocServer32";
    return ::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) ? L"" : value;
}
