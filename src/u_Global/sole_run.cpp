#include <utility>

#include "u_Global/u_Global.h"

namespace nuben {
namespace {

// One name for every copy of this setup, whoever started it and in which session.
constexpr const char* kSoleRunMutex = "NU-BEN Setup";

}  // namespace

bool ClaimSoleRun(Platform& os, unique_handle* claim) {
    for (const char* space : {"Global\\", "Local\\"}) {
        bool alreadyExisted = false;
        unique_handle mutex(
            os, os.CreateNamedMutex(std::string(space) + kSoleRunMutex, &alreadyExisted));
        // Refused (no right to global objects): the session's own namespace next.
        if (!mutex) continue;
        if (alreadyExisted) return false;
        *claim = std::move(mutex);
        return true;
    }
    // Nothing to claim with: run, as a single copy always may.
    return true;
}

}  // namespace nuben
