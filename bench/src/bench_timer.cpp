// bench_timer.exe: times other programs and CopyFileA from inside Windows,
// so that every figure of the benchmark comes from the same clock
// (QueryPerformanceCounter, shared by all processes).
//
//   bench_timer run <reps> <stamp|-> <delete-first|-> <command line...>
//       Starts the command <reps> times, one after the other, and waits for
//       each to end. Prints "exit_ms=<start to exit>" and, when <stamp> is
//       given, "stamp_ms=<start to the QPC value that the started program's
//       own child wrote into <stamp>>". <delete-first> is removed (retrying
//       while it is still in use) before every start.
//   bench_timer copy <reps> <source> <target>
//       CopyFileA(source, target) <reps> times; prints "copy_ms=...".
//   bench_timer write-mapped <reps> <source> <target>
//       Maps <source> and hands its bytes to one WriteFile into a new
//       <target>, the way the bootstrapper writes its mapped payload, but
//       without any of its code; prints "write_ms=...".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_clock.h"

namespace {

// The previous run's installer may still be ending and hold the file.
bool DeleteWithRetry(const char* path) {
    for (int i = 0; i < 2000; ++i) {
        if (DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        Sleep(5);
    }
    return false;
}

// The stamp holds one decimal QPC value, written by the started installer.
bool ReadStamp(const char* path, LONGLONG* value) {
    for (int i = 0; i < 12000; ++i) {  // up to a minute
        HANDLE f =
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            char text[32] = {};
            DWORD got = 0;
            ReadFile(f, text, sizeof text - 1, &got, nullptr);
            CloseHandle(f);
            if (got > 0 && text[got - 1] == '\n') {
                *value = _strtoi64(text, nullptr, 10);
                return true;
            }
        }
        Sleep(5);
    }
    return false;
}

int Run(int reps, const char* stamp, const char* deleteFirst, const std::string& command) {
    for (int rep = 0; rep < reps; ++rep) {
        if (deleteFirst && !DeleteWithRetry(deleteFirst)) {
            std::printf("error=cannot delete %s\n", deleteFirst);
            return 1;
        }
        if (stamp && !DeleteWithRetry(stamp)) {
            std::printf("error=cannot delete %s\n", stamp);
            return 1;
        }
        std::string line = command;  // CreateProcessA may write into it
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        const LONGLONG t0 = Now();
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi)) {
            std::printf("error=CreateProcessA failed (%lu)\n", GetLastError());
            return 1;
        }
        WaitForSingleObject(pi.hProcess, INFINITE);
        const LONGLONG t1 = Now();
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::printf("exit_ms=%.1f exit_code=%lu", Ms(t0, t1), code);
        if (stamp) {
            LONGLONG started = 0;
            if (!ReadStamp(stamp, &started)) {
                std::printf(" error=no stamp\n");
                return 1;
            }
            std::printf(" stamp_ms=%.1f", Ms(t0, started));
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}

int Copy(int reps, const char* source, const char* target) {
    for (int rep = 0; rep < reps; ++rep) {
        if (!DeleteWithRetry(target)) return 1;
        const LONGLONG t0 = Now();
        const BOOL ok = CopyFileA(source, target, FALSE);
        const LONGLONG t1 = Now();
        std::printf("copy_ms=%.1f ok=%d\n", Ms(t0, t1), ok ? 1 : 0);
        std::fflush(stdout);
        if (!ok) return 1;
    }
    return 0;
}

int WriteMapped(int reps, const char* source, const char* target) {
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) return 1;
    const DWORD size = GetFileSize(in, nullptr);
    HANDLE mapping = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* bytes = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    int rc = bytes ? 0 : 1;
    for (int rep = 0; rc == 0 && rep < reps; ++rep) {
        if (!DeleteWithRetry(target)) rc = 1;
        const LONGLONG t0 = Now();
        HANDLE out = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        const BOOL ok =
            out != INVALID_HANDLE_VALUE && WriteFile(out, bytes, size, &written, nullptr);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
        const LONGLONG t1 = Now();
        std::printf("write_ms=%.1f ok=%d\n", Ms(t0, t1), ok && written == size ? 1 : 0);
        std::fflush(stdout);
    }
    if (bytes) UnmapViewOfFile(bytes);
    if (mapping) CloseHandle(mapping);
    CloseHandle(in);
    return rc;
}

const char* DashIsNone(const char* arg) {
    return std::strcmp(arg, "-") == 0 ? nullptr : arg;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 6 && std::strcmp(argv[1], "run") == 0) {
        std::string command;
        for (int i = 5; i < argc; ++i) {
            if (!command.empty()) command += ' ';
            command += argv[i];
        }
        return Run(std::atoi(argv[2]), DashIsNone(argv[3]), DashIsNone(argv[4]), command);
    }
    if (argc == 5 && std::strcmp(argv[1], "copy") == 0) {
        return Copy(std::atoi(argv[2]), argv[3], argv[4]);
    }
    if (argc == 5 && std::strcmp(argv[1], "write-mapped") == 0) {
        return WriteMapped(std::atoi(argv[2]), argv[3], argv[4]);
    }
    std::fprintf(stderr,
                 "usage: bench_timer run <reps> <stamp|-> <delete-first|-> <command...>\n"
                 "       bench_timer copy <reps> <source> <target>\n"
                 "       bench_timer write-mapped <reps> <source> <target>\n");
    return 2;
}
