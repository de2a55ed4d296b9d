#include "FaultEffects.h"

#include <iterator>

namespace {

// A delivered request id that is not the one SetCommand returned.
constexpr ULONG kWrong = 1000;
constexpr HRESULT kOk = S_OK;
constexpr HRESULT kFail = E_FAIL;
constexpr HRESULT kDenied = E_ACCESSDENIED;
using F = SimFault;

// fault, interfaces, service, open beforehand, open opens, open completes, open status,
// command result, replies, late, before return, reply status, with data, unreadable, id offset
constexpr FaultEffect kEffects[] = {
    {F::None, 1, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::NoInterface, 0, false, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::SeveralInterfaces, 3, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::ServiceMissing, 1, false, false, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::SessionAlreadyOpen, 1, true, true, true, true, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::SessionOpenFailStatus, 1, true, false, true, true, kFail, kOk, true, false, false, kOk, true, false, 0},
    {F::SessionOpenNoCompletion, 1, true, false, false, false, kOk, kOk, true, false, false, kOk, true, false, 0},
    {F::SetCommandFails, 1, true, false, true, true, kOk, kDenied, false, false, false, kOk, true, false, 0},
    {F::CompletionFailStatus, 1, true, false, true, true, kOk, kOk, true, false, false, kFail, false, false, 0},
    {F::CompletionWrongRequestId, 1, true, false, true, true, kOk, kOk, true, false, false, kOk, true, false, kWrong},
    {F::CompletionBeforeReturn, 1, true, false, true, true, kOk, kOk, true, false, true, kOk, true, false, 0},
    {F::NoCompletion, 1, true, false, true, true, kOk, kOk, false, false, false, kOk, true, false, 0},
    {F::LateCompletion, 1, true, false, true, true, kOk, kOk, true, true, false, kOk, true, false, 0},
    {F::UnreadableDataArray, 1, true, false, true, true, kOk, kOk, true, false, false, kOk, true, true, 0},
};

constexpr bool RowsInEnumeratorOrder() {
    for (std::size_t i = 0; i < std::size(kEffects); ++i) {
        if (static_cast<std::size_t>(kEffects[i].fault) != i) return false;
    }
    return true;
}
static_assert(RowsInEnumeratorOrder(), "one row per SimFault, in the order of the enumerators");

}  // namespace

const FaultEffect& EffectOf(SimFault fault) {
    const auto index = static_cast<std::size_t>(fault);
    return index < std::size(kEffects) ? kEffects[index] : kEffects[0];
}
