#pragma once
// Runs work and turns any exception it throws into failure: the one way every boundary of the
// library (export, interface, COM callback, entry point) keeps exceptions inside.

#include <utility>

template <typename Result, typename Work>
Result CatchResult(Result failure, Work&& work) noexcept {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        return failure;
    }
}

// For work with nothing to answer: an exception is dropped at the boundary.
template <typename Work>
void CatchAll(Work&& work) noexcept {
    try {
        std::forward<Work>(work)();
    } catch (...) {
    }
}
