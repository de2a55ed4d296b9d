#include "FaultEffects.h"

#include <iterator>

namespace {

// A delivered request id that is not the one SetCommand returned.
constexpr ULONG kWrong = 1000;
constexpr HRESULT kOk = S_OK;
constexpr HRESULT kFail = E_FAIL;
constexpr HRESULT kDenied = E_ACCESSDENIED;
// The enumerator and its name.
#define FAULT(name) SimFault::name, #name

// fault, name, interfaces, ready, service, open beforehand, open opens, open completes, open
// status, command result, replies, late, before return, reply status, with data, unreadable, id
// offset, then the columns that most rows leave out: factory result, context found, close result,
// close completes, two fragments. One row a line.
// clang-format off
constexpr FaultEffect kEffects[] = {
    {FAULT(None), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(NoInterface), 0, true, false, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(SeveralInterfaces), 3, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(ServiceMissing), 1, true, false, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(SessionAlreadyOpen), 1, true, true, true, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(SessionOpenFailStatus), 1, true, true, false, true, true, kFail, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(SessionOpenNoCompletion), 1, true, true, false, false, false, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(SetCommandFails), 1, true, true, false, true, true, kOk, kDenied, false, false, false, kOk, true, false, 0},
    {FAULT(CompletionFailStatus), 1, true, true, false, true, true, kOk, kOk, true, false, false, kFail, false, false, 0},
    {FAULT(CompletionWrongRequestId), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, kWrong},
    {FAULT(CompletionBeforeReturn), 1, true, true, false, true, true, kOk, kOk, true, false, true, kOk, true, false, 0},
    {FAULT(NoCompletion), 1, true, true, false, true, true, kOk, kOk, false, false, false, kOk, true, false, 0},
    {FAULT(LateCompletion), 1, true, true, false, true, true, kOk, kOk, true, true, false, kOk, true, false, 0},
    {FAULT(UnreadableDataArray), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, true, 0},
    {FAULT(InterfaceOff), 1, false, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {FAULT(ReplyInTwoFragments), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0, kOk, true, kOk, true, true},
    {FAULT(ClassFactoryRefuses), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0, kDenied},
    {FAULT(ContextMissing), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0, kOk, false},
    {FAULT(SessionCloseRefused), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0, kOk, true, kDenied},
    {FAULT(SessionCloseNoCompletion), 1, true, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0, kOk, true, kOk, false},
};
// clang-format on

constexpr bool RowsInEnumeratorOrder() {
    for (std::size_t i = 0; i < std::size(kEffects); ++i) {
        if (static_cast<std::size_t>(kEffects[i].fault) != i) return false;
    }
    return true;
}
static_assert(RowsInEnumeratorOrder(), "one row per SimFault, in the order of the enumerators");
#undef FAULT

}  // namespace

bool FaultNamed(const std::string& name, SimFault* fault) {
    for (const FaultEffect& effect : kEffects) {
        if (name == effect.name) {
            *fault = effect.fault;
            return true;
        }
    }
    return false;
}

const FaultEffect& EffectOf(SimFault fault) {
    const auto index = static_cast<std::size_t>(fault);
    return index < std::size(kEffects) ? kEffects[index] : kEffects[0];
}
