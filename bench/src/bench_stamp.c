/* bench_stamp.exe: the installer that the benchmark's bootstrappers carry.
 * At its very first instruction it writes the QueryPerformanceCounter value
 * into the file named by NUBEN_BENCH_STAMP (inherited from bench_timer
 * through the bootstrapper), then ends. No C runtime: its start-up adds as
 * little as possible to the time being measured. */
#include <windows.h>

static int FormatDecimal(unsigned long long value, char* out) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = (char)('0' + (int)(value % 10u));
        value /= 10u;
    } while (value != 0);
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = '\n';
    return n + 1;
}

void __stdcall StampEntry(void) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("NUBEN_BENCH_STAMP", path, sizeof path);
    if (length > 0 && length < sizeof path) {
        char text[32];
        const int size = FormatDecimal((unsigned long long)now.QuadPart, text);
        /* Written to a temporary name and renamed, so the reader never sees half a number. */
        char partial[MAX_PATH + 4];
        lstrcpyA(partial, path);
        lstrcatA(partial, ".tmp");
        HANDLE file = CreateFileA(partial, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, text, (DWORD)size, &written, NULL);
            CloseHandle(file);
            MoveFileExA(partial, path, MOVEFILE_REPLACE_EXISTING);
        }
    }
    ExitProcess(0);
}
