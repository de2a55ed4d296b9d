#include "support/SimModem.h"

#include <vector>

SimModem::SimModem() {
    const std::wstring path = RegisteredPath();
    if (path.empty()) return;
    module_ = ::LoadLibraryW(path.c_str());
    if (module_ == nullptr) return;
    auto get = reinterpret_cast<OemSimGetControlFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "OemSimGetControl")));
    if (get != nullptr) control_ = get();
}

SimModem::~SimModem() {
    if (module_ != nullptr) ::FreeLibrary(module_);
}

std::string SimModem::Command(std::size_t index, std::uint32_t* commandId) const {
    std::uint32_t id = 0;
    const std::size_t length = control_->GetCommand(index, &id, nullptr, 0);
    std::vector<char> bytes(length);
    if (length != 0) control_->GetCommand(index, &id, bytes.data(), bytes.size());
    if (commandId != nullptr) *commandId = id;
    return std::string(bytes.begin(), bytes.end());
}

bool SimModem::WaitIdle(DWORD timeoutMs) const {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (control_->CompletionsInFlight() != 0) {
        if (::GetTickCount64() >= end) return false;
        ::Sleep(10);
    }
    return true;
}

std::wstring SimModem::RegisteredPath() {
    const wchar_t* key = L"CLSID\\{BDFEE05B-4418-11DD-90ED-001C257CCFF1}\\InprocServer32";
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
        return std::wstring();
    }
    std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1);
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return std::wstring(value.data());
}
