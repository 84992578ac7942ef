// A stand-in for the beta's own uninstaller, registered as its
// UninstallString. It takes a moment (so a starter that does not wait
// would be caught), then removes the beta's uninstall key; with /keep it
// leaves the key, as an uninstaller that the user cancelled would.
//
// The ways real uninstallers end that a starter must survive:
//   /spawn    hands the work to a copy of itself (as uninstallers that
//             copy themselves to the temp folder do) and ends at once;
//             the copy logs "childstart" ... "childend" and removes the key
//   /crash    dies of an access violation before removing anything
//   /endparent  ends its starter, as Task Manager would, then works on
// Built a second time as a console program (E2E_CONSOLE): it never looks
// at a message queue, so it never goes input-idle.
//
// Log: C:\e2e\uninstaller.log ("start" ... "end").
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "e2e_common.h"
#include "registry_tree.h"

namespace {

const char kLog[] = "C:\\e2e\\uninstaller.log";
const char kBetaKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NU-BEN";
const DWORD kDefaultWorkMs = 700;

bool Has(const std::string& commandLine, const char* flag) {
    return commandLine.find(flag) != std::string::npos;
}

// Starts this program again as the copy that does the work; false when it did not start.
bool StartChild(DWORD workMs) {
    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string commandLine =
        "\"" + std::string(module) + "\" /child /work=" + std::to_string(workMs);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(module, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void Wait(DWORD ms) {
#ifdef E2E_CONSOLE
    Sleep(ms);  // no message queue: never input-idle
#else
    e2e::PumpFor(ms);
#endif
}

int Run() {
#ifndef E2E_CONSOLE
    e2e::PumpPending();  // input-idle at once, so only the end wait holds the starter
#endif
    const std::string commandLine = GetCommandLineA();
    const bool child = Has(commandLine, "/child");
    const std::string tag = child ? "child" : "";
    DWORD workMs = kDefaultWorkMs;
    size_t at = commandLine.find("/work=");
    if (at != std::string::npos) workMs = std::strtoul(commandLine.c_str() + at + 6, nullptr, 10);

    e2e::AppendLine(
        kLog, tag + "start " + e2e::NowField() + " pid=" + std::to_string(GetCurrentProcessId()));
    if (!child) {
        e2e::AppendLine(kLog, "cmdline=" + e2e::Hex(commandLine));
        e2e::AppendLine(kLog, "startup=" + e2e::StartupField());
    }

    if (Has(commandLine, "/spawn")) {
        const bool started = StartChild(workMs);
        e2e::AppendLine(kLog, "end " + e2e::NowField() + " spawned=" + (started ? "1" : "0"));
        return 0;
    }
    if (Has(commandLine, "/endparent")) {
        // Exit code 0: the box bot takes any other for the bootstrapper's own.
        const HANDLE parent =
            OpenProcess(PROCESS_TERMINATE, FALSE, e2e::ParentProcessId(GetCurrentProcessId()));
        e2e::AppendLine(kLog, std::string("endparent ok=") +
                                  (parent != nullptr && TerminateProcess(parent, 0) ? "1" : "0"));
        if (parent != nullptr) CloseHandle(parent);
    }
    if (Has(commandLine, "/crash")) {
        e2e::AppendLine(kLog, "crash " + e2e::NowField());
        // Read through a volatile, so the compiler cannot turn the write into a trap instruction.
        volatile std::uintptr_t address = 0;
        *reinterpret_cast<volatile int*>(address) = 1;
    }

    Wait(workMs);
    // The key goes in the 32-bit view, the one the bootstrapper sees.
    const bool removed = !Has(commandLine, "/keep") &&
                         e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, kBetaKey, KEY_WOW64_32KEY);

    e2e::AppendLine(kLog, tag + "end " + e2e::NowField() + " removed=" + (removed ? "1" : "0"));
    return 0;
}

}  // namespace

#ifdef E2E_CONSOLE
int main() {
    return Run();
}
#else
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return Run();
}
#endif
