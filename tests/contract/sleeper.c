/* contract_sleeper.exe <ms> <marker>: sleeps <ms> milliseconds while
 * pumping messages (so the process goes input-idle at once, as
 * WaitForInputIdle expects of a GUI program), then creates the file
 * <marker> and exits with code 0. Used by ContractEnv::SleeperCommand.
 * contract_sleeper.exe handover <ms> <marker>: starts a copy of itself
 * with <ms> <marker> and exits at once, as many uninstallers do.
 * contract_sleeper.exe breakaway <ms> <marker>: the same, the copy started
 * with CREATE_BREAKAWAY_FROM_JOB.
 * contract_sleeper.exe alone: creates started_here.txt in its current folder. */
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static int HandOver(DWORD flags) {
    char self[MAX_PATH];
    char line[3 * MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 3;
    wsprintfA(line, "\"%s\" %s \"%s\"", self, __argv[2], __argv[3]);
    STARTUPINFOA startup;
    PROCESS_INFORMATION info;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, flags, NULL, NULL, &startup, &info))
        return 4;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    if (__argc == 4 && strcmp(__argv[1], "handover") == 0) return HandOver(0);
    if (__argc == 4 && strcmp(__argv[1], "breakaway") == 0)
        return HandOver(CREATE_BREAKAWAY_FROM_JOB);
    if (__argc == 1) {
        /* Started by its bare path alone: it marks the folder it was made current in. */
        HANDLE here = CreateFileA("started_here.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (here == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(here);
        return 0;
    }
    if (__argc < 3) return 2;
    const DWORD total = (DWORD)strtoul(__argv[1], NULL, 10);
    MSG msg;
    /* Creates the message queue; finding it empty marks the process idle. */
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= total) break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, total - elapsed, QS_ALLINPUT);
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    HANDLE marker =
        CreateFileA(__argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(marker);
    return 0;
}
