// bench_noop.exe: a GUI program that does nothing, built and linked like
// NuBenSetup.exe; the start-up figure compares the bootstrapper with it.
//
//   bench_noop.exe [command line]
//       With a command line, starts it the way the bootstrapper starts its
//       installer (WinExec, SW_SHOWNORMAL) and ends without waiting: a
//       nothing-installed run also costs two process starts.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    if (commandLine != nullptr && commandLine[0] != '\0') WinExec(commandLine, SW_SHOWNORMAL);
    return 0;
}
