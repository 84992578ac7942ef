// A stand-in for the beta's own uninstaller, registered as its
// UninstallString. It takes a moment (so a starter that does not wait
// would be caught), then removes the beta's uninstall key; with /keep it
// leaves the key, as an uninstaller that the user cancelled would.
//
// Log: C:\e2e\uninstaller.log ("start" ... "end").
#include <windows.h>

#include <cstdlib>
#include <string>

#include "e2e_common.h"

namespace {

const char kLog[] = "C:\\e2e\\uninstaller.log";
const char kBetaKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NU-BEN";
const DWORD kDefaultWorkMs = 700;

// Deletes `path` below `root` with everything under it, in the 32-bit
// view the bootstrapper sees.
bool DeleteTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD len = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (!DeleteTree(root, path + "\\" + name)) break;
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyExA(root, path.c_str(), KEY_WOW64_32KEY, 0) == ERROR_SUCCESS;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    e2e::PumpPending();  // input-idle at once, so only the end wait holds the starter

    const std::string commandLine = GetCommandLineA();
    const bool keep = commandLine.find("/keep") != std::string::npos;
    DWORD workMs = kDefaultWorkMs;
    size_t at = commandLine.find("/work=");
    if (at != std::string::npos) workMs = std::strtoul(commandLine.c_str() + at + 6, nullptr, 10);

    e2e::AppendLine(kLog,
                    "start " + e2e::NowField() + " pid=" + std::to_string(GetCurrentProcessId()));
    e2e::AppendLine(kLog, "cmdline=" + e2e::Hex(commandLine));
    e2e::AppendLine(kLog, "startup=" + e2e::StartupField());

    e2e::PumpFor(workMs);
    const bool removed = !keep && DeleteTree(HKEY_LOCAL_MACHINE, kBetaKey);

    e2e::AppendLine(kLog, "end " + e2e::NowField() + " removed=" + (removed ? "1" : "0"));
    return 0;
}
