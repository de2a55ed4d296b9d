#pragma once
// Control of the simulated modem. The simulator is an in-process COM server; tests (and the
// host tool's set-up) load the very DLL that COM loaded, by its registered path, and call its
// export "OemSimGetControl" to script replies and faults and to read what the modem received.
// Only plain types cross this boundary: the simulator and its users each link their own
// C++ runtime.

#include <cstddef>
#include <cstdint>

enum class SimFault : std::uint32_t {
    None = 0,
    NoInterface,               // GetInterfaces gives an empty array
    SeveralInterfaces,         // GetInterfaces gives three interfaces; the first is the modem
    ServiceMissing,            // GetDeviceService finds no AT service
    SessionAlreadyOpen,        // the command session is open before anyone opens it
    SessionOpenFailStatus,     // the session-open completion reports a failure status
    SessionOpenNoCompletion,   // OpenCommandSession never completes
    SetCommandFails,           // SetCommand returns E_ACCESSDENIED
    CompletionFailStatus,      // the command completion reports E_FAIL and carries no data
    CompletionWrongRequestId,  // the command completion carries another request id
    CompletionBeforeReturn,    // the completion is under way before SetCommand returns
    NoCompletion,              // SetCommand succeeds, no completion ever comes
    LateCompletion,            // the completion comes after the delay set with SetCompletionDelay
    UnreadableDataArray,       // the completion's data array cannot be accessed
    InterfaceOff,              // the modem's interface reports MBN_READY_STATE_OFF
    ReplyInTwoFragments,       // two completions with the request id: the reply's first half, its rest 300 ms later
    ClassFactoryRefuses,       // the class objects refuse to make either manager (E_ACCESSDENIED)
    ContextMissing,            // GetDeviceServicesContext finds no context for the interface
    SessionCloseRefused,       // CloseCommandSession returns E_ACCESSDENIED
    SessionCloseNoCompletion,  // CloseCommandSession never completes
};

class ISimControl {
public:
    // Back to the default profile: no fault, no scripted reply, no delay, empty records, and
    // the carrier state of the profile's factory values (the file that keeps it is removed).
    virtual void Reset() = 0;
    // Faults change how an answer travels back; a command that reaches the modem is carried
    // out all the same (a carrier setting changes even when its completion is lost).
    virtual void SetFault(SimFault fault) = 0;
    virtual void SetCompletionDelay(std::uint32_t milliseconds) = 0;
    // The reply to exactly these command bytes, ahead of the profile and the carrier state,
    // which the command then leaves alone; any bytes, NULs included.
    virtual void SetReply(const char* command, std::size_t commandLength, const char* reply,
                          std::size_t replyLength) = 0;
    // A fault for exactly these command bytes only, ahead of the fault set with SetFault; the
    // commands' own faults: SetCommandFails, Completion*, NoCompletion, LateCompletion,
    // UnreadableDataArray. SimFault::None takes the command's fault away again.
    virtual void SetCommandFault(const char* command, std::size_t commandLength, SimFault fault) = 0;
    // Replaces the modem profile with the file at path (a Windows path); false when unreadable.
    // The carrier state starts again from the new profile's factory values.
    virtual bool LoadProfile(const char* path) = 0;

    // What the modem received, in order.
    virtual std::size_t CommandCount() = 0;
    // Copies up to capacity bytes of command index; returns its full length (0 past the end).
    virtual std::size_t GetCommand(std::size_t index, std::uint32_t* commandId, char* buffer, std::size_t capacity) = 0;
    virtual int SessionOpens() = 0;   // OpenCommandSession calls
    virtual int SessionCloses() = 0;  // CloseCommandSession calls
    virtual int Advises() = 0;        // Advise calls on the device services events connection point
    virtual int Unadvises() = 0;      // successful Unadvise calls
    virtual int AdvisedSinks() = 0;   // sinks still advised (each holds a reference the simulator took)
    virtual long LiveObjects() = 0;   // simulator COM objects alive now; 0 once every user let go
    // Completions handed to a sink that have not returned yet (0 when the modem is idle).
    virtual int CompletionsInFlight() = 0;

    // Takes the profile at path as a new run with it would: the carrier state that profile's
    // modem reached in earlier runs, else its factory values; false when unreadable.
    virtual bool StartProfile(const char* path) = 0;
    // Gives up the simulator's references on the sinks whose callback runs now, as a platform
    // may that tears a connection down during a call; each then lives by its own references.
    virtual void LetGoOfSinksInCall() = 0;
    // While on, command completions are held back, each holding the sinks advised when its
    // command was sent, as a platform holds a callback it has queued; turning it off (or
    // Reset) delivers them.
    virtual void HoldReplies(bool hold) = 0;

protected:
    ~ISimControl() = default;
};

extern "C" {
typedef ISimControl*(__cdecl* OemSimGetControlFunction)();
}
