// The bootstrapper's whole control flow: find an earlier installation, ask,
// remove it, deliver the installer. Runs once, on the only thread.
#pragma once

#include "u_Global/u_Global.h"

namespace nuben {

constexpr std::uint32_t kQuestionBoxStyle = kMbTopmost | kMbIconQuestion | kMbYesNo;
constexpr std::uint32_t kBetaBlockedBoxStyle = kMbTopmost | kMbIconError | kMbOk;
constexpr std::uint32_t kV20BlockedBoxStyle = kMbTopmost | kMbIconInformation | kMbOk;
constexpr std::uint32_t kV20ClosePauseMs = 1000;

// Never fails; the process exits with code 0 after it returns.
void RunLaunchSequence(GlobalState& g);

}  // namespace nuben
