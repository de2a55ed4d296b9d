#include "SimulatedModem.h"

#include <cstdio>

#include "ModuleFolder.h"
#include "platform/MbnApi.h"

namespace {

const CLSID* const kSimulatedClasses[] = {&CLSID_MbnInterfaceManagerClass, &CLSID_MbnDeviceServicesManagerClass};

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

}  // namespace

bool SimulatedModem::Start(const std::string& profile) {
    if (!profile.empty()) {
        // The simulator reads its profile's path from the environment when it starts.
        char full[MAX_PATH];
        const DWORD length = ::GetFullPathNameA(profile.c_str(), MAX_PATH, full, nullptr);
        if (length == 0 || length >= MAX_PATH || ::GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "oemhost: no modem profile %s\n", profile.c_str());
            return false;
        }
        ::SetEnvironmentVariableA("OEMSIM_PROFILE", full);
    } else if (::GetEnvironmentVariableW(L"OEMSIM_PROFILE", nullptr, 0) == 0) {
        // The simulator looks for its default profile beside itself, not in the package's share\oem\.
        ::SetEnvironmentVariableW(L"OEMSIM_PROFILE", ShippedDataFile(L"default-profile.txt").c_str());
    }
    const HRESULT init = com_.Initialize(COINIT_MULTITHREADED);
    if (FAILED(init)) {
        std::fprintf(stderr, "oemhost: COM did not start (0x%08lx)\n", static_cast<unsigned long>(init));
        return false;
    }
    const std::wstring path = BesideThisExecutable(L"oemsim.dll");
    module_.reset(LoadDllByFullPath(path));
    if (!module_) {
        std::fprintf(stderr, "oemhost: cannot load %ls (error %lu)\n", path.c_str(),
                     static_cast<unsigned long>(::GetLastError()));
        return false;
    }
    const auto getClassObject = ProcAddress<GetClassObjectFunction>(module_.get(), "DllGetClassObject");
    if (getClassObject == nullptr) {
        std::fprintf(stderr, "oemhost: %ls has no export DllGetClassObject\n", path.c_str());
        return false;
    }
    for (int i = 0; i < kClassCount; ++i) {
        HRESULT hr = getClassObject(*kSimulatedClasses[i], IID_IUnknown, classObjects_[i].put_void());
        if (SUCCEEDED(hr)) {
            hr = ::CoRegisterClassObject(*kSimulatedClasses[i], classObjects_[i].get(), CLSCTX_INPROC_SERVER,
                                         REGCLS_MULTIPLEUSE, registrations_[i].put());
        }
        if (FAILED(hr)) {
            std::fprintf(stderr, "oemhost: the simulator's class objects could not be registered (0x%08lx)\n",
                         static_cast<unsigned long>(hr));
            return false;
        }
    }
    return true;
}

SimulatedModem::~SimulatedModem() {
    for (int i = 0; i < kClassCount; ++i) {
        registrations_[i].reset();
        classObjects_[i] = ComPtr<IUnknown>();
    }
    if (module_) {
        const auto canUnloadNow = ProcAddress<CanUnloadNowFunction>(module_.get(), "DllCanUnloadNow");
        // A simulator thread still delivering would run in an unloaded module: leave it loaded.
        if (canUnloadNow == nullptr || canUnloadNow() != S_OK) module_.release();
    }
}
