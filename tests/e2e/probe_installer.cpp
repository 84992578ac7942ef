// The payload of the test bootstrapper: it stands in for the product
// installer and records how it was started, so the driver can check the
// command line, the current directory and that the bootstrapper did not
// wait for it. It stays alive for a few seconds on purpose: a bootstrapper
// that waited for it would still be running when it looks again.
//
// Log: C:\e2e\installer.log (one run appends "start" ... "end").
#include <windows.h>

#include <string>

#include "e2e_common.h"

namespace {

const char kLog[] = "C:\\e2e\\installer.log";
const DWORD kLifetimeMs = 2000;

bool IsRunning(HANDLE process) {
    return process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Look at the queue at once: a starter that waits for input-idle is
    // released immediately, so only a wait for our end could hold it.
    e2e::PumpPending();

    const DWORD parentPid = e2e::ParentProcessId(GetCurrentProcessId());
    // Opened now, while the parent is surely alive, so a reused id later
    // cannot be mistaken for it.
    HANDLE parent = parentPid ? OpenProcess(SYNCHRONIZE, FALSE, parentPid) : nullptr;

    char module[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char cwd[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);

    e2e::AppendLine(kLog, "start " + e2e::NowField() +
                              " parent=" + e2e::Hex(e2e::ProcessName(parentPid)) +
                              " parent_running=" + (IsRunning(parent) ? "1" : "0"));
    e2e::AppendLine(kLog, "cmdline=" + e2e::Hex(GetCommandLineA()));
    e2e::AppendLine(kLog, "startup=" + e2e::StartupField());
    e2e::AppendLine(kLog, "cwd=" + e2e::Hex(cwd));
    e2e::AppendLine(kLog, "module=" + e2e::Hex(module));
    // The same as Windows holds them, UTF-16: names code page 949 cannot spell.
    wchar_t wide[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, wide);
    e2e::AppendLine(kLog, "cwdw=" + e2e::Hex(std::string(reinterpret_cast<const char*>(wide),
                                                         lstrlenW(wide) * sizeof(wchar_t))));
    GetModuleFileNameW(nullptr, wide, MAX_PATH);
    e2e::AppendLine(kLog, "modulew=" + e2e::Hex(std::string(reinterpret_cast<const char*>(wide),
                                                            lstrlenW(wide) * sizeof(wchar_t))));

    e2e::PumpFor(kLifetimeMs);

    e2e::AppendLine(
        kLog, "end " + e2e::NowField() + " parent_running=" + (IsRunning(parent) ? "1" : "0"));
    if (parent) CloseHandle(parent);
    return 0;
}
