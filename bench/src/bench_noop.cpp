// bench_noop.exe: a GUI program that does nothing, built and linked like
// NuBenSetup.exe; the start-up figure compares the bootstrapper with it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
