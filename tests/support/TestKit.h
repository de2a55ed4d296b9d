#pragma once
// No Windows header here: the native sanitizer build uses these too.

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

// Polls until ready() holds or timeoutMs passed; true when it held.
template <typename Ready>
bool WaitUntil(Ready ready, unsigned timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !ready(); std::this_thread::sleep_for(std::chrono::milliseconds(2)))
        if (std::chrono::steady_clock::now() >= end) return false;
    return true;
}

// The bytes of a literal, embedded NULs included: Bytes("\3\0\0\0abc") has seven.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

namespace testing {
template <class ParamType>
struct TestParamInfo;
}  // namespace testing

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}
