// Registry paths of earlier installations, below HKEY_LOCAL_MACHINE.
#pragma once

namespace nuben {

inline constexpr const char* kUninstallRootKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr const char* kBetaUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NU-BEN";
inline constexpr const char* kProductKey = "SOFTWARE\\NU-BEN";

}  // namespace nuben
