// The bootstrapper's whole control flow: find an earlier installation, ask,
// remove it, deliver the installer. Runs once, on the only thread.
#pragma once

#include "u_Global/u_Global.h"

namespace nuben {

constexpr int IDYES_ANSWER = 6;
constexpr int IDNO_ANSWER = 7;
constexpr std::uint32_t MB_QUESTION_STYLE = 0x00040024;      // MB_TOPMOST | MB_ICONQUESTION | MB_YESNO
constexpr std::uint32_t MB_BETA_BLOCKED_STYLE = 0x00040010;  // MB_TOPMOST | MB_ICONERROR | MB_OK
constexpr std::uint32_t MB_V20_BLOCKED_STYLE = 0x00040040;   // MB_TOPMOST | MB_ICONINFORMATION | MB_OK
constexpr std::uint32_t V20_CLOSE_PAUSE_MS = 1000;

// Never fails; the process exits with code 0 after it returns.
void RunLaunchSequence(GlobalState& g);

}  // namespace nuben
