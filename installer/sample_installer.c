/* The sample installer: the default payload of NuBenSetup.exe ("SETUP_FILE").
 * It stands in for the real product installer of 누벤 2.1: one Korean message
 * box, then exit code 0. The message box pumps messages, so the process
 * goes input-idle as a real installer's window would.
 *
 * The source is UTF-8; the build compiles it with -fexec-charset=CP949 so
 * the strings reach MessageBoxA as code page 949 bytes. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    MessageBoxA(NULL, "누벤 2.1 견본 설치 프로그램입니다.", "누벤 2.1 설치",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
