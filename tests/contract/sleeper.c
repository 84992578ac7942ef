/* contract_sleeper.exe <ms> <marker>: sleeps <ms> milliseconds while
 * pumping messages (so the process goes input-idle at once, as
 * WaitForInputIdle expects of a GUI program), then creates the file
 * <marker> and exits with code 0. Used by ContractEnv::SleeperCommand. */
#include <stdlib.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
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
