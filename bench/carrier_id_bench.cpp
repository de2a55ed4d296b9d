// What OEM_GetCurrentCarrierID costs beyond the work it must do, measured next to a client in
// the same process that does that work and nothing else: the export's platform calls (COM, the
// two managers, advise, interface, context, service, one command session opened and closed
// around one command), the export lock's wait and release, the sink's four kernel events with
// their resets, sets and waits, and one "LOG_LV" read for every line the call writes.
// Interleaved call by call; each figure is the median of the pairs' own ratios:
//   1. no ksconfig.ini, several runs: goal 1.1 or less;
//   2. logging on at level 2 (the export writes its lines, the client only reads the level):
//      reported only, with the number of lines the export wrote per call.
// Not a test: run it by hand under the build's Wine prefix, where the simulator is registered.
//   carrier_id_bench.exe [calls per run] [runs]
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "exports/rules/CarrierIdReply.h"
#include "platform/MbnApi.h"
#include "support/SimModem.h"
#include "text/AsciiText.h"
#include "tools/log/LogConfig.h"
#include "tools/win/ComObject.h"
#include "tools/win/ComPtr.h"
#include "tools/win/Event.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "ScopedModule.h"
#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// The lines one successful call writes, each after a read of "LOG_LV" whether it is written
// or not. Module log: entry, open success, response, exit. Shared log: ready state, session
// not open, session opened, OpenSession success, SetCommand success, completion called, reply
// appended, command response success.
constexpr int kLinesPerCall = 12;
constexpr int kWarmUpPairs = 5;

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

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

std::string BesideThisProgram(const char* name) {
    const std::string program = LogConfig::HostExecutablePath();
    return program.substr(0, program.rfind('\\') + 1) + name;
}

// The level test every log line pays: "LOG_LV" of ksconfig.ini beside the executable, default
// -1, the file's path found once as the log tools find it.
class LevelRead {
public:
    void operator()() const { LogConfig::ReadLogLevel(config_); }

private:
    const std::string config_ = LogConfig::ConfigFilePath();
};

// The client's event sink: the four unnamed kernel events of the channel's hand-off, the
// stored request id and the reply bytes, with the level reads of the sink's lines.
class ClientSink final : public ComObject<ClientSink, IMbnDeviceServicesEvents> {
public:
    static const InterfaceRow<ClientSink> kInterfaceTable[];
    explicit ClientSink(const LevelRead& logLine) : logLine_(logLine) {}

    Event reply{Event::ResetMode::Auto};
    Event commandSession{Event::ResetMode::Auto};
    Event dataSession{Event::ResetMode::Auto};
    Event requestIdSet{Event::ResetMode::Manual};
    std::atomic<ULONG> requestId{0};
    std::string bytes;

    void ResetForCommand() {
        bytes.clear();
        requestId = 0;
        reply.Reset();
        commandSession.Reset();
        requestIdSet.Reset();
    }
    void SetRequestId(ULONG id) {
        requestId = id;
        requestIdSet.Set();
    }
    bool WaitReply(std::string* response) {
        const bool came = reply.Wait(5000) == WAIT_OBJECT_0;
        if (came) response->swap(bytes);
        requestId = 0;
        requestIdSet.Reset();
        return came;
    }

    HRESULT STDMETHODCALLTYPE OnSetCommandComplete(IMbnDeviceService* service, ULONG, SAFEARRAY* data, HRESULT status,
                                                   ULONG id) override {
        ScopedBstr serviceId;
        service->get_DeviceServiceID(serviceId.put());
        logLine_();  // completion called
        if (requestIdSet.Wait(12288) != WAIT_OBJECT_0 || requestId != id) return S_OK;
        if (status == S_OK) {
            SafeArrayBytes received(data);
            if (received.valid()) bytes.append(received.data(), received.size());
            logLine_();  // reply appended
        }
        reply.Set();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnOpenCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(commandSession);
    }
    HRESULT STDMETHODCALLTYPE OnCloseCommandSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(commandSession);
    }
    HRESULT STDMETHODCALLTYPE OnOpenDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(dataSession);
    }
    HRESULT STDMETHODCALLTYPE OnCloseDataSessionComplete(IMbnDeviceService*, HRESULT, ULONG) override {
        return Signal(dataSession);
    }
    HRESULT STDMETHODCALLTYPE OnQuerySupportedCommandsComplete(IMbnDeviceService*, SAFEARRAY*, HRESULT,
                                                               ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnQueryCommandComplete(IMbnDeviceService*, ULONG, SAFEARRAY*, HRESULT, ULONG) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEventNotification(IMbnDeviceService*, ULONG, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnWriteDataComplete(IMbnDeviceService*, HRESULT, ULONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadData(IMbnDeviceService*, SAFEARRAY*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInterfaceStateChange(BSTR, MBN_DEVICE_SERVICES_INTERFACE_STATE) override {
        return S_OK;
    }

private:
    static HRESULT Signal(Event& event) {
        event.Set();
        return S_OK;
    }

    const LevelRead& logLine_;
};

const InterfaceRow<ClientSink> ClientSink::kInterfaceTable[] = {
    {&IID_MbnDeviceServicesEvents, AsInterface<ClientSink, IMbnDeviceServicesEvents>}, {nullptr, nullptr}};

// One channel's platform objects, let go as the channel lets them go: unadvise, the sink (its
// four events closed), the connection point, the managers, then COM.
struct ClientChannel {
    explicit ClientChannel(const LevelRead& logLine) : logLine(logLine) {}
    ~ClientChannel() {
        if (cookie != 0) point->Unadvise(cookie);
    }

    bool Open() {
        com.Initialize(COINIT_MULTITHREADED);
        ComPtr<IConnectionPointContainer> container;
        return SUCCEEDED(::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL,
                                            IID_MbnInterfaceManager, interfaces.put_void())) &&
               SUCCEEDED(::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                            IID_MbnDeviceServicesManager, services.put_void())) &&
               SUCCEEDED(services->QueryInterface(IID_IConnectionPointContainer, container.put_void())) &&
               SUCCEEDED(container->FindConnectionPoint(IID_MbnDeviceServicesEvents, point.put())) &&
               SUCCEEDED(point->Advise(sink.get(), &cookie));
    }

    // One command in a command session opened and closed around it.
    bool Execute(const std::string& command, std::string* response) {
        sink->ResetForCommand();
        ScopedSafeArray list;
        LONG lower = 0;
        LONG upper = -1;
        ComPtr<IUnknown> element;
        ComPtr<IMbnInterface> first;
        MBN_READY_STATE ready = MBN_READY_STATE_OFF;
        if (FAILED(interfaces->GetInterfaces(list.put())) || FAILED(::SafeArrayGetLBound(list.get(), 1, &lower)) ||
            FAILED(::SafeArrayGetUBound(list.get(), 1, &upper)) ||
            FAILED(::SafeArrayGetElement(list.get(), &lower, element.put_void())) ||
            FAILED(element->QueryInterface(IID_MbnInterface, first.put_void())) ||
            FAILED(first->GetReadyState(&ready))) {
            return false;
        }
        logLine();  // ready state
        ScopedBstr interfaceId;
        ScopedBstr serviceId(L"{ffffffff-abca-4b11-a4e2-f2fc87f94488}");
        ComPtr<IMbnDeviceServicesContext> context;
        ComPtr<IMbnDeviceService> service;
        BOOL open = FALSE;
        ULONG request = 0;
        if (FAILED(first->get_InterfaceID(interfaceId.put())) ||
            FAILED(services->GetDeviceServicesContext(interfaceId.get(), context.put())) ||
            FAILED(context->GetDeviceService(serviceId.get(), service.put())) ||
            FAILED(service->get_IsCommandSessionOpen(&open))) {
            return false;
        }
        logLine();  // session not open
        if (FAILED(service->OpenCommandSession(&request)) || sink->commandSession.Wait(5000) != WAIT_OBJECT_0) {
            return false;
        }
        logLine();  // session opened
        logLine();  // OpenSession success
        bool answered = false;
        const ScopedSafeArray bytes = MakeByteArray(command.data(), command.size());
        if (SUCCEEDED(service->SetCommand(1, bytes.get(), &request))) {
            sink->SetRequestId(request);
            logLine();  // SetCommand success
            answered = sink->WaitReply(response);
            if (answered) logLine();  // command response success
        }
        if (SUCCEEDED(service->CloseCommandSession(&request))) sink->commandSession.Wait(5000);
        return answered;
    }

    const LevelRead& logLine;
    ScopedComInit com;
    ComPtr<IMbnInterfaceManager> interfaces;
    ComPtr<IMbnDeviceServicesManager> services;
    ComPtr<IConnectionPoint> point;
    ComPtr<ClientSink> sink = ComPtr<ClientSink>::Adopt(new ClientSink(logLine));
    DWORD cookie = 0;
};

// The export's work without the library: the export lock held around the call, the module
// log's four level reads, one channel, the reply upper-cased and parsed.
std::int32_t ClientCarrierId(HANDLE exportLock, const LevelRead& logLine) {
    const HeldMutex held = WaitAndHold(exportLock);
    logLine();  // entry
    std::int32_t carrier = -1;
    {
        ClientChannel channel(logLine);
        if (channel.Open()) {
            logLine();  // open success
            std::string reply;
            if (channel.Execute(kCarrierIdQuery, &reply)) {
                AsciiText::UpperCaseInPlace(reply);
                logLine();  // response
                carrier = ParseCurrentCarrierId(reply);
            }
        }
    }
    logLine();  // exit
    return carrier;
}

// Pairs of calls, the two of a pair back to back, each first every other time, the simulator
// idle before each. Their ratio is the median of the pairs' own ratios, so a burst of load
// from elsewhere weighs on both sides of the pair it falls on.
struct Pairs {
    std::vector<double> measured;
    std::vector<double> client;
    int wrong = 0;

    double Ratio() const {
        std::vector<double> ratios;
        for (size_t i = 0; i < measured.size(); ++i) ratios.push_back(measured[i] / client[i]);
        return Median(ratios);
    }
};

Pairs Interleave(int calls, const SimModem& sim, const std::function<std::int32_t()> sides[2]) {
    Pairs pairs;
    for (int i = -kWarmUpPairs; i < calls; ++i) {
        double micros[2] = {};
        bool right = true;
        for (int turn = 0; turn < 2; ++turn) {
            const int side = (i + turn) & 1;
            sim.WaitIdle(5000);
            const LONGLONG start = Now();
            const std::int32_t carrier = sides[side]();
            micros[side] = Microseconds(Now() - start);
            right = right && carrier == 5;
        }
        if (i < 0) continue;
        pairs.measured.push_back(micros[0]);
        pairs.client.push_back(micros[1]);
        if (!right) ++pairs.wrong;
    }
    return pairs;
}

void PrintPairs(const char* label, const Pairs& pairs) {
    std::printf("  %sexport %.0f us, client %.0f us, ratio %.2f\n", label, Median(pairs.measured), Median(pairs.client),
                pairs.Ratio());
    if (pairs.wrong != 0) std::printf("  %d pairs did not both answer carrier 5\n", pairs.wrong);
    std::fflush(stdout);
}

struct FindTraits : FileHandleTraits {
    static void Close(HANDLE search) { ::FindClose(search); }
};

// Calls fn with the path of each file in folder.
void ForEachFile(const std::string& folder, const std::function<void(const std::string&)>& fn) {
    WIN32_FIND_DATAA found;
    const UniqueAny<FindTraits> search(::FindFirstFileA((folder + "*").c_str(), &found));
    if (!search) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) fn(folder + found.cFileName);
    } while (::FindNextFileA(search.get(), &found));
}

// Lines that begin with a log prefix, "[pid] ..."; a message's own line breaks begin none.
int CountLogLines(const std::string& folder) {
    int lines = 0;
    ForEachFile(folder, [&](const std::string& path) {
        std::ifstream file(path);
        for (std::string line; std::getline(file, line);) lines += !line.empty() && line[0] == '[';
    });
    return lines;
}

void RemoveLogFolder(const std::string& folder) {
    const std::string logs = folder + "logs\\";
    ForEachFile(logs, [](const std::string& path) { ::DeleteFileA(path.c_str()); });
    ::RemoveDirectoryA(logs.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string config = LogConfig::ConfigFilePath();
    ::DeleteFileA(config.c_str());
    SimModem sim;
    if (!sim.loaded()) {
        std::fprintf(stderr, "the simulated modem is not registered in this Wine prefix\n");
        return 1;
    }
    const ScopedModule oem(::LoadLibraryA(BesideThisProgram("Oem.dll").c_str()));
    using GetCurrentCarrierId = std::int32_t (*)();
    const auto getCarrierId = oem ? reinterpret_cast<GetCurrentCarrierId>(
                                        reinterpret_cast<void*>(::GetProcAddress(oem.get(), "OEM_GetCurrentCarrierID")))
                                  : nullptr;
    if (getCarrierId == nullptr) {
        std::fprintf(stderr, "Oem.dll beside this program is missing\n");
        return 1;
    }
    sim->Reset();  // the default profile, no delay: the modem answers at once

    // The client's own handle on the export lock, made once as the library makes its own at load.
    const ScopedHandle exportLock(::CreateMutexA(nullptr, FALSE, "Local\\OemLockMutexABcdef"));
    const LevelRead logLine;
    const std::function<std::int32_t()> sides[2] = {getCarrierId,
                                                    [&] { return ClientCarrierId(exportLock.get(), logLine); }};

    std::printf("OEM_GetCurrentCarrierID against the client, %d pairs a run, instant replies, %d level reads a call\n",
                calls, kLinesPerCall);
    std::printf("1. no ksconfig.ini (goal 1.1 or less)\n");
    std::vector<double> ratios;
    for (int run = 1; run <= runs; ++run) {
        const Pairs pairs = Interleave(calls, sim, sides);
        ratios.push_back(pairs.Ratio());
        PrintPairs(("run " + std::to_string(run) + ": ").c_str(), pairs);
    }
    const auto [least, most] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("  median of %d runs %.2f, spread %.2f to %.2f\n", runs, Median(ratios), *least, *most);

    std::string appData;
    LogConfig::CommonAppDataFolder(&appData);
    const std::string folder = appData + "OemLogBench\\";
    RemoveLogFolder(folder);
    std::ofstream(config) << "[BASE_CONFIG]\nLOG_LV=2\nLOG_PATH=OemLogBench\n";
    std::printf("2. logging on at level 2 (reported only)\n");
    const Pairs logged = Interleave(calls, sim, sides);
    PrintPairs("", logged);
    sim.WaitIdle(5000);
    std::printf("  the export wrote %.1f lines a call; the client reads the level %d times a call\n",
                static_cast<double>(CountLogLines(folder + "logs\\")) / (calls + kWarmUpPairs), kLinesPerCall);

    ::DeleteFileA(config.c_str());
    RemoveLogFolder(folder);
    return 0;
}
