// What the library adds to the platform's own cost, each measure next to its floor in the same
// run, interleaved call by call, as median ratios:
//   1. OEM_GetCurrentCarrierID against a bare client that makes the same platform calls (two
//      managers, advise, interface, context, service, one session opened and closed around
//      one command, each completion waited for), with no ksconfig.ini;
//   2. one log line at level 2 against the calls it cannot avoid (one file-metadata query,
//      then open, append, close);
//   3. the export with logging on at level 2 next to the bare client (reported only).
// Not a test: run it by hand under the build's Wine prefix, where the simulator is registered.
//   carrier_id_bench.exe [calls]
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/SimModem.h"
#include "support/ToolObjects.h"
#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolIds.h"
#include "platform/MbnApi.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/Event.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

using GetCurrentCarrierId = std::int32_t (*)();

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Microseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename Call>
double Time(Call&& call) {
    const LONGLONG start = Now();
    call();
    return Microseconds(Now() - start);
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

std::string BesideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    return program.substr(0, program.rfind('\\') + 1) + name;
}

// The sink of the bare client: signals each completion, keeps the reply bytes.
class BareSink final : public ComObject<BareSink, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<BareSink> kInterfaceTable[];
    Event session{Event::ResetMode::Auto};
    Event reply{Event::ResetMode::Auto};
    std::string bytes;

    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY*, HRESULT,
                                                               ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        session.Set();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        session.Set();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY* data, HRESULT,
                                                   ULONG) override {
        SafeArrayBytes received(data);
        if (received.valid()) bytes.assign(received.data(), received.size());
        reply.Set();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY*, HRESULT, ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService*, ULONG, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService*, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR, MBN_DEVICE_SERVICES_INTERFACE_STATE) override {
        return S_OK;
    }
};

const InterfaceRow<BareSink> BareSink::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesEvents, AsInterface<BareSink, IMbnDeviceServicesEvents>}, {nullptr, nullptr}};

// "AT+GTCURCAR?" with the platform calls the export makes and nothing else: no lock, no log,
// no error handling beyond stopping. True when the reply names carrier 5.
bool BareCarrierId() {
    const char command[] = "AT+GTCURCAR?\r\n";
    ScopedComInit com;
    com.Initialize(COINIT_MULTITHREADED);
    ComPtr<IMbnInterfaceManager> interfaces;
    ComPtr<IMbnDeviceServicesManager> services;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ScopedSafeArray list;
    const auto sink = ComPtr<BareSink>::Adopt(new BareSink());
    DWORD cookie = 0;
    if (FAILED(::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL, IID_MbnInterfaceManager,
                                  interfaces.put_void())) ||
        FAILED(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                  IID_MbnDeviceServicesManager, services.put_void())) ||
        FAILED(services->QueryInterface(IID_IConnectionPointContainer, container.put_void())) ||
        FAILED(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put())) ||
        FAILED(point->Advise(sink.get(), &cookie))) {
        return false;
    }
    bool answered = false;
    LONG index = 0;
    ComPtr<IUnknown> element;
    ComPtr<IMbnInterface> first;
    ComPtr<IMbnDeviceServicesContext> context;
    ComPtr<IMbnDeviceService> service;
    ScopedBstr interfaceId;
    ScopedBstr serviceId(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
    MBN_READY_STATE ready = MBN_READY_STATE_OFF;
    BOOL open = FALSE;
    ULONG request = 0;
    SAFEARRAYBOUND bound = {sizeof(command) - 1, 0};
    ScopedSafeArray data(::SafeArrayCreate(VT_UI1, 1, &bound));
    void* raw = nullptr;
    if (SUCCEEDED(::SafeArrayAccessData(data.get(), &raw))) {
        std::copy(command, command + sizeof(command) - 1, static_cast<char*>(raw));
        ::SafeArrayUnaccessData(data.get());
    }
    if (SUCCEEDED(interfaces->GetInterfaces(list.put())) &&
        SUCCEEDED(::SafeArrayGetElement(list.get(), &index, element.put_void())) &&
        SUCCEEDED(element->QueryInterface(IID_MbnInterface, first.put_void())) &&
        SUCCEEDED(first->GetReadyState(&ready)) && SUCCEEDED(first->get_InterfaceID(interfaceId.put())) &&
        SUCCEEDED(services->GetDeviceServicesContext(interfaceId.get(), context.put())) &&
        SUCCEEDED(context->GetDeviceService(serviceId.get(), service.put())) &&
        SUCCEEDED(service->get_IsCommandSessionOpen(&open)) && SUCCEEDED(service->OpenCommandSession(&request)) &&
        sink->session.Wait(5000) == WAIT_OBJECT_0) {
        if (SUCCEEDED(service->SetCommand(1, data.get(), &request)) && sink->reply.Wait(5000) == WAIT_OBJECT_0) {
            answered = sink->bytes.find("+GTCURCAR: 5") != std::string::npos;
        }
        if (SUCCEEDED(service->CloseCommandSession(&request))) sink->session.Wait(5000);
    }
    point->Unadvise(cookie);
    return answered;
}

struct Pair {
    std::vector<double> measured;
    std::vector<double> floor;
    int wrong = 0;
};

// The ratio is the median of the pairs' own ratios: the two calls of a pair run back to back,
// so a burst of load from elsewhere weighs on both.
void Report(const char* title, const Pair& pair, const char* target) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pair.measured.size(); ++i) ratios.push_back(pair.measured[i] / pair.floor[i]);
    std::printf("%s\n  median %.0f us against %.0f us; ratio %.2f (%s)\n", title, Median(pair.measured),
                Median(pair.floor), Median(ratios), target);
    if (pair.wrong != 0) std::printf("  %d calls did not answer carrier 5\n", pair.wrong);
    std::fflush(stdout);
}

// The export and the bare client, call by call, the simulator idle before each.
Pair ExportAgainstBareClient(GetCurrentCarrierId getCarrierId, SimModem& sim, int calls) {
    Pair pair;
    for (int i = 0; i < 5; ++i) {  // warm-up
        getCarrierId();
        BareCarrierId();
    }
    for (int i = 0; i < calls; ++i) {
        std::int32_t carrier = 0;
        bool answered = false;
        // Each goes first every other time.
        for (int turn = 0; turn < 2; ++turn) {
            sim.WaitIdle(5000);
            if ((turn + i) % 2 == 0) {
                pair.measured.push_back(Time([&] { carrier = getCarrierId(); }));
            } else {
                pair.floor.push_back(Time([&] { answered = BareCarrierId(); }));
            }
        }
        if (carrier != 5 || !answered) ++pair.wrong;
    }
    return pair;
}

// One module-log line at level 2 against a metadata query of the configuration and the
// open, append and close of the same bytes in the same folder.
Pair LogLineAgainstItsCalls(const std::string& config, const std::string& logsFolder, int lines) {
    Pair pair;
    const auto log = MakeTool<IGlobalTools::ILogEx>(ToolIds::ILogEx);
    const std::string floorFile = logsFolder + "floor.log";
    const std::string line = "[1234] [5678] 01-02 03:04:05:678 : [Normal] a progress line of the usual length 0\n";
    for (int i = 0; i < lines + 5; ++i) {
        const double logged =
            Time([&] { log->WriteLog(2, "[Normal] a progress line of the usual length %d", i % 10); });
        const double floor = Time([&] {
            WIN32_FILE_ATTRIBUTE_DATA data;
            ::GetFileAttributesExA(config.c_str(), GetFileExInfoStandard, &data);
            FILE* file = nullptr;
            if (fopen_s(&file, floorFile.c_str(), "a+") == 0 && file != nullptr) {
                std::fwrite(line.data(), 1, line.size(), file);
                std::fflush(file);
                std::fclose(file);
            }
        });
        if (i < 5) continue;  // warm-up
        pair.measured.push_back(logged);
        pair.floor.push_back(floor);
    }
    return pair;
}

void RemoveFolder(const std::string& logsFolder, const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((logsFolder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ::DeleteFileA((logsFolder + found.cFileName).c_str());
        } while (::FindNextFileA(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(logsFolder.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::string config = BesideThisProgram("ksconfig.ini");
    ::DeleteFileA(config.c_str());
    SimModem sim;
    if (!sim.loaded()) {
        std::fprintf(stderr, "the simulated modem is not registered in this Wine prefix\n");
        return 1;
    }
    const ScopedModule oem(::LoadLibraryA(BesideThisProgram("Oem.dll").c_str()));
    const auto getCarrierId = oem ? reinterpret_cast<GetCurrentCarrierId>(
                                        reinterpret_cast<void*>(::GetProcAddress(oem.get(), "OEM_GetCurrentCarrierID")))
                                  : nullptr;
    if (getCarrierId == nullptr) {
        std::fprintf(stderr, "Oem.dll beside this program is missing\n");
        return 1;
    }
    sim->Reset();  // the default profile, no delay: the modem answers at once

    ::Sleep(2100);  // past the window in which a fresh change beside the program is looked at again
    std::printf("%d calls each, interleaved, instant replies\n", calls);
    Report("1. OEM_GetCurrentCarrierID, no ksconfig.ini, against the bare client",
           ExportAgainstBareClient(getCarrierId, sim, calls), "target 1.3 or less");

    char appData[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE);
    const std::string folder = std::string(appData) + "\\OemLogBench\\";
    const std::string logsFolder = folder + "logs\\";
    if (FILE* ini = std::fopen(config.c_str(), "w")) {
        std::fputs("[BASE_CONFIG]\nLOG_LV=2\nLOG_PATH=OemLogBench\n", ini);
        std::fclose(ini);
    }
    ::Sleep(2100);
    Report("2. one log line at level 2 against metadata query, open, append, close",
           LogLineAgainstItsCalls(config, logsFolder, calls * 10), "target 1.3 or less");
    Report("3. OEM_GetCurrentCarrierID, logging on at level 2, against the bare client",
           ExportAgainstBareClient(getCarrierId, sim, calls), "reported only");

    ::DeleteFileA(config.c_str());
    RemoveFolder(logsFolder, folder);
    return 0;
}
