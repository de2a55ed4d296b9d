#pragma once
// Shared by the fuzz targets, each of which defines FuzzOne: a broken property aborts, so
// libFuzzer keeps the input that broke it as a crash, with the property on standard error.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(property) \
    ((property) ? (void)0 : (std::fprintf(stderr, "property broken: %s\n", #property), std::abort()))

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

void FuzzOne(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzOne(data, size), 0;
}
