// Small pieces the end-to-end helper programs share. They run under Wine
// beside the real bootstrapper and talk to the driver script only through
// ASCII log lines: every text that may hold code page 949 bytes is logged
// as hex, so the script compares bytes, never glyphs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Lower-case hex of every byte.
std::string Hex(const std::string& bytes);
// Bytes from hex digits; false on an odd length or a non-hex digit.
bool FromHex(const std::string& hex, std::string* bytes);
// An argument as bytes: "x:<hex>" is decoded, anything else taken as it
// stands (already in the ANSI code page when Wine built the command line).
std::string DecodeArg(const std::string& arg);

// Wall-clock time in 100 ns units since 1601: comparable across processes.
std::uint64_t Now();
std::string NowField();  // "t=<Now()>"

// Appends one line (a "\n" is added) to `path`; the file is opened for
// each line with sharing, so the driver can read it at any time.
void AppendLine(const std::string& path, const std::string& line);
bool FileExists(const std::string& path);

// Empties the thread's queue once: a process that has looked at its queue
// counts as input-idle, so WaitForInputIdle on it returns.
void PumpPending();
// Pumps messages for `ms` milliseconds.
void PumpFor(DWORD ms);

// Process lookups through a tool-help snapshot; 0 / "" when not found.
DWORD FindProcessId(const std::string& exeName);
DWORD ParentProcessId(DWORD pid);
std::string ProcessName(DWORD pid);

// How the starter asked this process to show itself: "flags=<hex>,show=<n>"
// from GetStartupInfoA.
std::string StartupField();

// Splits `text` at every `separator`.
std::vector<std::string> Split(const std::string& text, char separator);

}  // namespace e2e
