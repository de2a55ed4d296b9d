#pragma once
// What each fault does to the modem, one row per SimFault: a new fault is one enumerator in
// SimControl.h and one row in FaultEffects.cpp. The modem carries out every command that
// reaches it; a fault changes what the platform shows and how an answer travels back.

#include <windows.h>

#include <string>

#include "SimControl.h"

struct FaultEffect {
    SimFault fault;       // the row's own enumerator, checked against its place
    const char* name;     // the enumerator's name, as OEMSIM_FAULT gives it
    int interfaces;       // mobile-broadband interfaces shown; the first is the modem
    bool ready;           // the modem's interface reports itself initialized, else off
    bool serviceFound;    // the modem offers the AT service
    bool openBeforehand;  // the command session is open before anyone opens it
    bool openOpens;       // OpenCommandSession opens the session
    bool openCompletes;   // and completes, with openStatus
    HRESULT openStatus;
    HRESULT commandResult;  // what SetCommand and QueryCommand return; a failure records nothing
    bool replies;           // a command completion comes
    bool late;              // after the delay set with SetCompletionDelay
    bool beforeReturn;      // under way before SetCommand returns
    HRESULT replyStatus;
    bool withData;    // the completion carries the reply's bytes
    bool unreadable;  // in an array that cannot be accessed
    ULONG idOffset;   // added to the request id the completion names
    // Columns that most rows leave as they are.
    HRESULT factoryResult = S_OK;  // what the class objects' CreateInstance returns instead of an object
    bool contextFound = true;      // GetDeviceServicesContext finds the interface's context
    HRESULT closeResult = S_OK;    // what CloseCommandSession returns
    bool closeCompletes = true;    // and whether it completes
    bool twoFragments = false;     // the reply comes in two completions
};

const FaultEffect& EffectOf(SimFault fault);

// The fault of that name ("NoInterface"); false for any other text.
bool FaultNamed(const std::string& name, SimFault* fault);
