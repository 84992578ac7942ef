// The program another process of the user writes over the installer file
// (the fixture's plant). Tiny on purpose, so that it is written in the
// moment the file stands open, as an attacker's stub would be; when it
// runs, it appends "start" to C:\e2e\planted.log.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE log =
        CreateFileA("C:\\e2e\\planted.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(log, "start\n", 6, &written, nullptr);
    CloseHandle(log);
    return 0;
}
