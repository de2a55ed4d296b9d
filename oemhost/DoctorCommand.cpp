// doctor: the path an AT command takes through the Mobile Broadband API, walked step by step
// under the export lock with the library's event sink, each step's platform result on a line of
// its own with what to do when it failed.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "HostCommands.h"
#include "ModemProfile.h"
#include "exports/ModemExportFrame.h"
#include "exports/ModuleGlobals.h"
#include "platform/MbnApi.h"
#include "tools/mbim/CDefaultServiceEvent.h"
#include "tools/mbim/CMbimDeviceEx.h"
#include "tools/win/ComPtr.h"
#include "tools/win/EnvironmentMs.h"
#include "tools/win/ScopedBstr.h"
#include "tools/win/ScopedComInit.h"
#include "tools/win/ScopedHandle.h"
#include "tools/win/ScopedSafeArray.h"

namespace {

// The harmless command: the modem answers OK and changes nothing.
const char kProbe[] = "AT\r\n";

enum class Outcome { Ok, Failed, Skipped };

// One line of the walk.
struct StepLine {
    int exitCode = kExitAnswered;  // 10 plus the step's number
    const char* title = "";
    Outcome outcome = Outcome::Skipped;  // until the step runs
    const char* call = nullptr;          // the platform call whose result is shown
    HRESULT result = S_OK;
    std::string detail;                // what was found, or what failed
    std::string advice;                // what to do about a failure
    JsonArray interfaces;              // step 3: each interface found
    std::optional<std::string> reply;  // step 7: the reply, when one came
};

// The ready states: a null advice means AT commands still travel (the SIM's state is no
// matter to the device service).
struct ReadyStateRow {
    MBN_READY_STATE state;
    const char* name;
    const char* advice;
};

const ReadyStateRow kReadyStates[] = {
    {MBN_READY_STATE_OFF, "off",
     "the modem's radio stack is off: switch mobile broadband on (airplane mode off, cellular on in the "
     "network settings), or unplug the modem and plug it in again"},
    {MBN_READY_STATE_INITIALIZED, "initialized", nullptr},
    {MBN_READY_STATE_SIM_NOT_INSERTED, "no SIM", nullptr},
    {MBN_READY_STATE_BAD_SIM, "bad SIM", nullptr},
    {MBN_READY_STATE_FAILURE, "failure",
     "the modem reports a failure: unplug it and plug it in again or restart the machine; if it stays, reinstall "
     "the modem's driver package"},
    {MBN_READY_STATE_NOT_ACTIVATED, "not activated", nullptr},
    {MBN_READY_STATE_DEVICE_LOCKED, "locked (PIN)", nullptr},
    {MBN_READY_STATE_DEVICE_BLOCKED, "blocked (PUK)", nullptr},
    {MBN_READY_STATE_NO_ESIM_PROFILE, "no eSIM profile", nullptr},
};

const ReadyStateRow kUnknownReadyState = {MBN_READY_STATE_FAILURE, "unknown",
                                          "the modem reports a ready state this tool does not know: restart it"};

const ReadyStateRow& ReadyStateOf(MBN_READY_STATE state) {
    for (const ReadyStateRow& row : kReadyStates) {
        if (row.state == state) return row;
    }
    return kUnknownReadyState;
}

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text) narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    return narrow;
}

constexpr const char* kRestartService =
    "start the WWAN AutoConfig service (WwanSvc) or restart it (services.msc), then try again";

// The walk: the platform's objects, held from the step that got them to the end, let go of in
// the reverse order.
class Doctor {
public:
    Doctor(const Doctor&) = delete;
    Doctor& operator=(const Doctor&) = delete;
    Doctor() = default;
    ~Doctor() {
        if (cookie_ != 0) connectionPoint_->Unadvise(cookie_);
    }

    // Each step fills its line, which starts as ok; false when the steps after it cannot run.
    bool Com(StepLine* line) {
        line->call = "CoInitializeEx";
        line->result = com_.Initialize(COINIT_MULTITHREADED);
        if (FAILED(line->result)) {
            return Fail(line, "this thread cannot enter the multithreaded apartment",
                        "run oemhost on its own from a console, not from within another program");
        }
        line->detail = line->result == S_FALSE ? "in it already" : "entered";
        return true;
    }

    bool InterfaceManager(StepLine* line) {
        line->call = "CoCreateInstance(MbnInterfaceManager)";
        line->result = ::CoCreateInstance(CLSID_MbnInterfaceManagerClass, nullptr, CLSCTX_ALL, IID_MbnInterfaceManager,
                                          interfaceManager_.put_void());
        if (FAILED(line->result) || !interfaceManager_) {
            return Fail(line, "the Mobile Broadband API is not there",
                        "it needs Windows 8 or later with the WWAN AutoConfig service (WwanSvc); install the "
                        "modem's driver package, then start that service");
        }
        line->detail = "made";
        return true;
    }

    bool Interfaces(StepLine* line) {
        line->call = "GetInterfaces";
        ScopedSafeArray array;
        line->result = interfaceManager_->GetInterfaces(array.put());
        LONG lower = 0;
        LONG upper = -1;
        if (SUCCEEDED(line->result) && array.get() != nullptr) {
            ::SafeArrayGetLBound(array.get(), 1, &lower);
            ::SafeArrayGetUBound(array.get(), 1, &upper);
        }
        if (FAILED(line->result) || lower > upper) {
            return Fail(line, "no mobile-broadband interface",
                        "the modem is not attached, not powered or has no driver: plug it in, check Device Manager "
                        "under Network adapters, install the modem's driver package");
        }
        std::string listed;
        const ReadyStateRow* first = nullptr;
        for (LONG i = lower; i <= upper; ++i) {
            ComPtr<IMbnInterface> item;
            ScopedBstr id;
            MBN_READY_STATE state = MBN_READY_STATE_OFF;
            HRESULT hr = MbnInterfaceAt(array.get(), i, &item);
            if (SUCCEEDED(hr)) hr = item->get_InterfaceID(id.put());
            if (SUCCEEDED(hr)) hr = item->GetReadyState(&state);
            if (FAILED(hr)) {
                line->call = "IMbnInterface";
                line->result = hr;
                return Fail(line, "an interface could not be read", kRestartService);
            }
            const ReadyStateRow& ready = ReadyStateOf(state);
            if (i == lower) {
                interface_ = item;
                interfaceId_ = ScopedBstr(id.get());
                first = &ready;
            }
            line->interfaces.Add(
                JsonObject().Text("id", Narrow(id.get())).Int("ready_state", state).Text("ready", ready.name));
            listed += std::string(i == lower ? "" : ", ") + Narrow(id.get()) + " " + ready.name;
        }
        line->detail = listed + (upper > lower ? " (the first is used)" : "");
        // The library uses the first interface whatever its state, so the walk goes on.
        if (first->advice != nullptr) Fail(line, "the first interface is not ready: " + line->detail, first->advice);
        return true;
    }

    bool ServicesContext(StepLine* line) {
        line->call = "CoCreateInstance(MbnDeviceServicesManager)";
        line->result = ::CoCreateInstance(CLSID_MbnDeviceServicesManagerClass, nullptr, CLSCTX_ALL,
                                          IID_MbnDeviceServicesManager, servicesManager_.put_void());
        if (SUCCEEDED(line->result) && servicesManager_) {
            line->call = "AdviseServiceEvents (QueryInterface, FindConnectionPoint, Advise)";
            sink_ = ComPtr<CDefaultServiceEvent>::Adopt(new CDefaultServiceEvent());
            line->result = AdviseServiceEvents(servicesManager_.get(), sink_.get(), &connectionPoint_, &cookie_);
        }
        if (line->result != S_OK || !servicesManager_) {
            return Fail(
                line, "the device services manager or its events cannot be reached",
                "the device services part of the API needs Windows 8 or later; " + std::string(kRestartService));
        }
        line->call = "GetDeviceServicesContext";
        line->result = servicesManager_->GetDeviceServicesContext(interfaceId_.get(), context_.put());
        if (FAILED(line->result) || !context_) {
            return Fail(line, "the first interface has no device services context",
                        "the modem went away or restarted during the walk: wait until it is back and try again");
        }
        line->detail = "events advised, context of the first interface";
        return true;
    }

    bool AtService(StepLine* line) {
        line->call = "GetDeviceService";
        ScopedBstr serviceId(kAtDeviceServiceId);
        line->result = context_->GetDeviceService(serviceId.get(), service_.put());
        if (FAILED(line->result) || !service_) {
            return Fail(line, "the modem does not offer the AT device service " + Narrow(kAtDeviceServiceId),
                        "its driver or firmware does not carry AT commands over MBIM: install the module maker's "
                        "driver package that enables it, or update the modem's firmware");
        }
        line->detail = Narrow(kAtDeviceServiceId);
        return true;
    }

    bool OpenSession(StepLine* line) {
        line->call = "get_IsCommandSessionOpen";
        BOOL open = FALSE;
        line->result = service_->get_IsCommandSessionOpen(&open);
        if (SUCCEEDED(line->result) && open) {
            foundOpen_ = true;
            line->detail = "found open (another program opened it): used as it is and left open";
            return true;
        }
        line->call = "OpenCommandSession";
        sink_->ResetForCommand();
        ULONG requestId = 0;
        line->result = service_->OpenCommandSession(&requestId);
        if (line->result != S_OK) {
            return Fail(line, "the platform did not start opening the session",
                        "another program may hold the modem's AT service: close other modem tools, then try again");
        }
        if (sink_->WaitCommandSession() != WAIT_OBJECT_0) {
            return Fail(line, "no completion within " + std::to_string(MbimWaits().sessionMs) + " ms",
                        "the modem does not confirm sessions: unplug it and plug it in again, or restart the machine");
        }
        openedHere_ = true;
        line->call = "OnOpenCommandSessionComplete";
        line->result = sink_->SessionStatus();
        // The library goes on after a failed completion, and so does the walk.
        if (FAILED(line->result)) {
            Fail(line, "the completion reports a failure",
                 "the modem refused the session: restart it; if it stays, update its firmware");
            return true;
        }
        line->detail = "opened";
        return true;
    }

    bool Command(StepLine* line) {
        line->call = "SetCommand";
        ULONG requestId = 0;
        {
            const ScopedSafeArray bytes = MakeByteArray(kProbe, sizeof kProbe - 1);
            line->result = service_->SetCommand(kAtCommandId, bytes.get(), &requestId);
        }
        if (FAILED(line->result)) {
            return Fail(line, "the platform refused the command",
                        line->result == E_ACCESSDENIED
                            ? "this user may not send device-service commands: run oemhost as an administrator"
                            : "restart the modem (unplug it and plug it in again), then try again");
        }
        sink_->SetRequestId(requestId);
        std::string reply;
        if (sink_->WaitReply(&reply) != WAIT_OBJECT_0) {
            return Fail(line,
                        "no completion with request id " + std::to_string(requestId) + " within " +
                            std::to_string(MbimWaits().replyMs) + " ms",
                        "the modem took the command but did not answer: restart it; if it stays, update its firmware");
        }
        line->reply = reply;
        line->call = "OnSetCommandComplete";
        line->result = sink_->ReplyStatus();
        if (FAILED(line->result)) {
            return Fail(line, "the completion reports a failure",
                        "the modem could not carry out the command: restart it; if it stays, update its firmware");
        }
        const std::string shown = "\"" + SimProfile::Escape(reply) + "\"";
        if (reply.find("OK") == std::string::npos) {
            return Fail(line, "answered " + shown + ", without OK",
                        "the AT device service does not reach the modem's AT command processor: update the "
                        "modem's firmware or its driver package");
        }
        line->detail = "answered " + shown;
        return true;
    }

    bool CloseSession(StepLine* line) {
        if (foundOpen_) {
            line->detail = "left open, as it was found";
            return true;
        }
        if (!openedHere_) {
            line->outcome = Outcome::Skipped;  // nothing was opened
            return true;
        }
        line->call = "CloseCommandSession";
        ULONG requestId = 0;
        line->result = service_->CloseCommandSession(&requestId);
        const char* advice =
            "harmless until the modem restarts: the next program finds the session open and uses it; restart the "
            "modem if commands stop";
        if (line->result != S_OK) {
            return Fail(line, "the platform did not start closing the session", advice);
        }
        if (sink_->WaitCommandSession() != WAIT_OBJECT_0) {
            return Fail(line, "no completion within " + std::to_string(MbimWaits().sessionMs) + " ms", advice);
        }
        line->call = "OnCloseCommandSessionComplete";
        line->result = sink_->SessionStatus();
        if (FAILED(line->result)) {
            return Fail(line, "the completion reports a failure", advice);
        }
        line->detail = "closed";
        return true;
    }

private:
    // Marks the step failed; false, for a step after which nothing can go on.
    static bool Fail(StepLine* line, const std::string& what, const std::string& advice) {
        line->outcome = Outcome::Failed;
        line->detail = what;
        line->advice = advice;
        return false;
    }

    ScopedComInit com_;
    ComPtr<IMbnInterfaceManager> interfaceManager_;
    ComPtr<IMbnInterface> interface_;
    ScopedBstr interfaceId_;
    ComPtr<IMbnDeviceServicesManager> servicesManager_;
    ComPtr<CDefaultServiceEvent> sink_;
    ComPtr<IConnectionPoint> connectionPoint_;
    DWORD cookie_ = 0;
    ComPtr<IMbnDeviceServicesContext> context_;
    ComPtr<IMbnDeviceService> service_;
    bool foundOpen_ = false;
    bool openedHere_ = false;
};

using StepWork = bool (Doctor::*)(StepLine* line);

struct StepRow {
    int exitCode;  // 10 plus the step's number
    const char* title;
    StepWork work;
};

const StepRow kSteps[] = {
    {kExitDoctorCom, "COM in the multithreaded apartment", &Doctor::Com},
    {kExitDoctorInterfaceManager, "Interface manager", &Doctor::InterfaceManager},
    {kExitDoctorInterfaces, "Interfaces and their ready state", &Doctor::Interfaces},
    {kExitDoctorServices, "Device services context", &Doctor::ServicesContext},
    {kExitDoctorAtService, "AT device service", &Doctor::AtService},
    {kExitDoctorSessionOpen, "Command session opens", &Doctor::OpenSession},
    {kExitDoctorCommand, "AT\\r\\n answered", &Doctor::Command},
    {kExitDoctorSessionClose, "Command session closes", &Doctor::CloseSession},
};

const char* const kOutcomeNames[] = {"ok", "failed", "skipped"};

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return text;
}

void Show(const StepLine& line, HostOutput& out, JsonArray* steps) {
    const int number = line.exitCode - kExitDoctorCom + 1;
    const char* outcome = kOutcomeNames[static_cast<int>(line.outcome)];
    std::string text = line.outcome == Outcome::Failed ? "FAILED" : outcome;
    if (!line.detail.empty()) text += ": " + line.detail;
    if (line.call != nullptr) text += " (" + std::string(line.call) + " " + Hex(line.result) + ")";
    if (!line.advice.empty()) text += ". What to do: " + line.advice + ".";
    out.Print(" %d. %s: %s\n", number, line.title, text.c_str());

    JsonObject step = JsonObject().Int("step", number).Text("title", line.title).Text("status", outcome);
    if (line.call != nullptr) {
        step.Text("call", line.call).Text("hresult", Hex(line.result));
    } else {
        step.Null("call").Null("hresult");
    }
    step.Text("detail", line.detail).Text("advice", line.advice);
    if (line.exitCode == kExitDoctorInterfaces) step.Array("interfaces", line.interfaces);
    if (line.exitCode == kExitDoctorCommand) line.reply ? step.Text("reply", *line.reply) : step.Null("reply");
    steps->Add(step);
}

// How long doctor waits for the export lock before its first step: 10 s, or
// OEMHOST_LOCK_WAIT_MS milliseconds when that is set (tests use a short wait).
DWORD LockWaitMs() {
    return EnvironmentMs("OEMHOST_LOCK_WAIT_MS", 10000);
}

// The line shown before the walk when another process held the export lock for all of the wait.
StepLine LockHeldLine(DWORD waitMs) {
    StepLine line;
    line.exitCode = kExitDoctorLock;
    line.title = "Export lock";
    line.outcome = Outcome::Failed;
    line.call = "WaitForSingleObject(Local\\OemLockMutexABcdef)";
    line.result = HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    line.detail = "another process holds the export lock; waited " + std::to_string(waitMs) + " ms";
    line.advice =
        "another program is talking to the modem through Oem.dll (an updater, another oemhost): let it finish "
        "or close it, then try again";
    return line;
}

}  // namespace

// doctor: exit 0 when every step is ok, 10 when the export lock stayed held by another process,
// else 10 plus the number of the first step that failed.
int RunDoctor(const OemLibrary&, const Arguments& arguments, HostOutput& out) {
    if (!arguments.empty()) return kExitUsage;
    // The DLL's export lock: the walk never interleaves with a host calling the exports. Unlike
    // the exports, doctor does not wait for it without end: a stuck holder is what it reports.
    const ScopedHandle exportLock = CreateExportLock();
    const DWORD waitMs = LockWaitMs();
    DWORD waited = WAIT_FAILED;
    const HeldMutex held = WaitAndHold(exportLock.get(), waitMs, &waited);
    out.Print("The path of an AT command through the Mobile Broadband API%s:\n",
              held ? ", under the export lock" : " (the export lock could not be taken)");
    int exitCode = kExitAnswered;
    JsonArray steps;
    bool goOn = waited != WAIT_TIMEOUT;
    if (!goOn) {
        exitCode = kExitDoctorLock;
        Show(LockHeldLine(waitMs), out, &steps);
    }
    {
        Doctor doctor;
        for (const StepRow& row : kSteps) {
            StepLine line;
            line.exitCode = row.exitCode;
            line.title = row.title;
            // The session is closed whenever it was opened, also after a failed command.
            if (goOn || row.exitCode == kExitDoctorSessionClose) {
                line.outcome = Outcome::Ok;
                goOn = (doctor.*row.work)(&line);
            }
            if (line.outcome == Outcome::Failed && exitCode == kExitAnswered) exitCode = row.exitCode;
            Show(line, out, &steps);
        }
    }
    out.fields().Bool("export_lock", static_cast<bool>(held)).Array("steps", steps);
    if (exitCode == kExitAnswered) {
        out.Print("Every step is ok: AT commands reach the modem and are answered.\n");
    } else if (exitCode == kExitDoctorLock) {
        out.Print("Another process held the export lock: no step was run (exit code %d).\n", exitCode);
    } else {
        out.Print("The first step that failed is %d (exit code %d).\n", exitCode - kExitDoctorCom + 1, exitCode);
    }
    return exitCode;
}
