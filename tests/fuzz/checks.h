// Invariant checks of the byte-level routines, one per fuzz target. Each
// takes any bytes, runs the routine on what they describe and returns the
// invariants it broke. The libFuzzer targets (fuzz_main.cpp) abort on a
// breach; the replay test runs every corpus file through them on each build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nuben::fuzz {

struct Verdict {
    std::vector<std::string> breaches;
    void Expect(bool holds, const std::string& invariant) {
        if (!holds) breaches.push_back(invariant);
    }
    bool ok() const { return breaches.empty(); }
};

using Check = Verdict (*)(const std::uint8_t* data, std::size_t size);

// WithTrailingBackslash over code pages 949, 932 and 1252, DBCS on and off.
Verdict CheckTrailingBackslash(const std::uint8_t* data, std::size_t size);
// AsciiUpper: same length, only a-z changed, idempotent.
Verdict CheckAsciiUpper(const std::uint8_t* data, std::size_t size);
// CheckRemovableFolder, DeleteFolderContents and RemoveFolder on a furnished machine.
Verdict CheckFolderGuard(const std::uint8_t* data, std::size_t size);
// TRegistry::ReadTextValue over random types, sizes, bytes and lying reads.
Verdict CheckReadTextValue(const std::uint8_t* data, std::size_t size);
// TRegistry::DeleteKeyTree over random trees with denied keys.
Verdict CheckDeleteKeyTree(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* name;  // also the corpus folder's name
    Check check;
};
const std::vector<Target>& Targets();

}  // namespace nuben::fuzz
