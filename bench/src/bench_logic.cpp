// bench_logic.exe: the bootstrapper's own routines on the real Win32
// platform, timed from inside the process.
//
//   bench_logic remove-folder <path>        RemoveFolder; "call_ms=..."
//   bench_logic delete-key-tree <path>      TRegistry::DeleteKeyTree under
//                                           HKEY_LOCAL_MACHINE with KEY_ALL_ACCESS
//   bench_logic deliver-memory <exe> <target>
//       ExtractResourceToFile of <exe>'s "SETUP_FILE" (loaded as a data
//       file, so the mapping is the file's and never private memory),
//       sampling the private bytes of this process all along: "base_kb",
//       "peak_kb" (highest sample or Windows' own peak), "added_kb".
//   bench_logic map-image <exe>
//       Maps <exe> as an image, as the loader maps a program, without
//       running it: private bytes before and after ("added_kb").
#include <windows.h>
// After <windows.h>, whose types it builds on (the comment keeps the order).
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "bench_clock.h"
#include "platform/win32/win32_platform.h"
#include "registry/registry.h"
#include "u_Global/u_Global.h"

namespace {

struct MemoryFigures {
    SIZE_T current = 0;
    SIZE_T peak = 0;
};

// PagefileUsage is the process's private commit, the "private bytes" (Wine
// leaves PrivateUsage at 0 and fills PagefileUsage from the process's
// anonymous memory).
MemoryFigures PrivateBytes() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return {pmc.PagefileUsage, pmc.PeakPagefileUsage};
}

// Wine reports no true peak (its "peak" is the current value), so a thread
// samples the private bytes every few milliseconds while the call runs.
struct Sampler {
    volatile LONG stop = 0;
    SIZE_T highest = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Loop(LPVOID self) {
        auto* s = static_cast<Sampler*>(self);
        while (InterlockedCompareExchange(&s->stop, 0, 0) == 0) {
            const SIZE_T now = PrivateBytes().current;
            if (now > s->highest) s->highest = now;
            Sleep(2);
        }
        return 0;
    }
    void Start() { thread = CreateThread(nullptr, 0, Loop, this, 0, nullptr); }
    void Finish() {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
};

int RemoveFolderCommand(const char* path) {
    nuben::Win32Platform os;
    const LONGLONG t0 = Now();
    nuben::RemoveFolder(os, path);
    const double ms = MsSince(t0);
    const bool gone = GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
    std::printf("call_ms=%.1f gone=%d\n", ms, gone ? 1 : 0);
    return gone ? 0 : 1;
}

int DeleteKeyTreeCommand(const char* path) {
    nuben::Win32Platform os;
    nuben::TRegistry reg(os);
    reg.SetAccessMask(nuben::kKeyAllAccess);
    reg.SetRootHandle(nuben::kHkeyLocalMachine);
    const LONGLONG t0 = Now();
    const bool deleted = reg.DeleteKeyTree(path);
    std::printf("call_ms=%.1f deleted=%d\n", MsSince(t0), deleted ? 1 : 0);
    return deleted ? 0 : 1;
}

int DeliverMemoryCommand(const char* exe, const char* target) {
    HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        std::printf("error=cannot load %s (%lu)\n", exe, GetLastError());
        return 1;
    }
    nuben::Win32Platform os;
    const SIZE_T base = PrivateBytes().current;
    Sampler sampler;
    sampler.highest = base;
    sampler.Start();
    const LONGLONG t0 = Now();
    const bool ok = nuben::ExtractResourceToFile(os, reinterpret_cast<nuben::ModuleHandle>(module),
                                                 "EXE", "SETUP_FILE", target);
    const double ms = MsSince(t0);
    sampler.Finish();
    const MemoryFigures after = PrivateBytes();
    SIZE_T peak = sampler.highest;
    if (after.current > peak) peak = after.current;
    // On Windows the system's own peak counts too (it includes the time before
    // `base`, so it can only make the figure larger, never hide a copy).
    const SIZE_T systemPeak = after.peak > base ? after.peak : 0;
    std::printf("call_ms=%.1f ok=%d base_kb=%lu peak_kb=%lu added_kb=%lu system_peak_kb=%lu\n", ms,
                ok ? 1 : 0, static_cast<unsigned long>(base / 1024),
                static_cast<unsigned long>(peak / 1024),
                static_cast<unsigned long>((peak - base) / 1024),
                static_cast<unsigned long>(systemPeak / 1024));
    FreeLibrary(module);
    return ok ? 0 : 1;
}

int MapImageCommand(const char* exe) {
    const SIZE_T base = PrivateBytes().current;
    // DONT_RESOLVE_DLL_REFERENCES: mapped as an image, nothing in it runs.
    HMODULE module = LoadLibraryExA(exe, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (module == nullptr) {
        std::printf("error=cannot map %s (%lu)\n", exe, GetLastError());
        return 1;
    }
    const SIZE_T after = PrivateBytes().current;
    std::printf("base_kb=%lu after_kb=%lu added_kb=%lu\n", static_cast<unsigned long>(base / 1024),
                static_cast<unsigned long>(after / 1024),
                static_cast<unsigned long>((after > base ? after - base : 0) / 1024));
    FreeLibrary(module);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "remove-folder") == 0)
        return RemoveFolderCommand(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "delete-key-tree") == 0)
        return DeleteKeyTreeCommand(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "deliver-memory") == 0)
        return DeliverMemoryCommand(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "map-image") == 0) return MapImageCommand(argv[2]);
    std::fprintf(stderr,
                 "usage: bench_logic remove-folder <path> | delete-key-tree <path> |\n"
                 "       deliver-memory <exe> <target> | map-image <exe>\n");
    return 2;
}
