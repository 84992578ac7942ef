// The libFuzzer entry of one target: the build names its check in
// NUBEN_FUZZ_CHECK. A broken invariant is a crash, so libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nuben::fuzz::Verdict verdict = nuben::fuzz::NUBEN_FUZZ_CHECK(data, size);
    if (verdict.ok()) return 0;
    for (const std::string& breach : verdict.breaches)
        std::fprintf(stderr, "BROKEN: %s\n", breach.c_str());
    std::abort();
}
