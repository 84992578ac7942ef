#include "e2e_common.h"

#include <tlhelp32.h>

#include <cstdio>

namespace e2e {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 0x0F]);
    }
    return out;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool FromHex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2 != 0) return false;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]);
        int lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    *bytes = out;
    return true;
}

std::string DecodeArg(const std::string& arg) {
    std::string bytes;
    if (arg.rfind("x:", 0) == 0 && FromHex(arg.substr(2), &bytes)) return bytes;
    return arg;
}

std::uint64_t Now() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::string NowField() {
    char buf[40];
    std::snprintf(buf, sizeof buf, "t=%llu", static_cast<unsigned long long>(Now()));
    return buf;
}

void AppendLine(const std::string& path, const std::string& line) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

// Calls `visit` for each process entry until it returns true.
template <typename Visit>
static bool ForEachProcess(Visit visit) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL ok = Process32First(snap, &entry); ok && !found; ok = Process32Next(snap, &entry)) {
        found = visit(entry);
    }
    CloseHandle(snap);
    return found;
}

DWORD FindProcessId(const std::string& exeName) {
    DWORD pid = 0;
    ForEachProcess([&](const PROCESSENTRY32& e) {
        if (lstrcmpiA(e.szExeFile, exeName.c_str()) != 0) return false;
        pid = e.th32ProcessID;
        return true;
    });
    return pid;
}

DWORD ParentProcessId(DWORD pid) {
    DWORD parent = 0;
    ForEachProcess([&](const PROCESSENTRY32& e) {
        if (e.th32ProcessID != pid) return false;
        parent = e.th32ParentProcessID;
        return true;
    });
    return parent;
}

std::string ProcessName(DWORD pid) {
    std::string name;
    ForEachProcess([&](const PROCESSENTRY32& e) {
        if (e.th32ProcessID != pid) return false;
        name = e.szExeFile;
        return true;
    });
    return name;
}

std::string StartupField() {
    STARTUPINFOA info;
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    char buf[64];
    std::snprintf(buf, sizeof buf, "flags=%lx,show=%u", static_cast<unsigned long>(info.dwFlags),
                  static_cast<unsigned>(info.wShowWindow));
    return buf;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

}  // namespace e2e
