#pragma once
// What every fuzz target defines: libFuzzer's entry point, also called by the replay driver.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A fuzz target's own check failed: prints `what` and aborts, so that libFuzzer keeps the input
// and the replay test fails.
[[noreturn]] void FuzzCheckFailed(const char* what);
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzCheckFailed(#condition);                                                           \
    } while (0)
