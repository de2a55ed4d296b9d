#pragma once
// What the fuzz targets share. A broken property aborts, so libFuzzer keeps the input that
// broke it as a crash, with the property's text on standard error.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(property) \
    ((property) ? (void)0 : (std::fprintf(stderr, "property broken: %s\n", #property), std::abort()))

inline std::string FuzzBytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}
