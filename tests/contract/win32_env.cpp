// ContractEnv on real Windows (run under Wine): a scratch key under
// HKEY_LOCAL_MACHINE\SOFTWARE\NuBenContract, a scratch folder in the temp
// folder on drive C:, and this test binary's own module and sleeper
// program for resources and processes. The Platform under test is
// Win32Platform; set-up and checks use Win32 directly, never the Platform:
// the wide functions, names converted from code page 949 here, so that they
// are the same under any code page (the suite also runs under 1252).
#include "win32_env.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../e2e/registry_tree.h"
#include "contract_env.h"
#include "platform/win32/win32_platform.h"
#include "u_Global/folder_guard.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

constexpr const char* kKeyParent = "SOFTWARE\\NuBenContract";

std::string Win32Error(DWORD code) {
    return " (Win32 error " + std::to_string(code) + ")";
}

// Code page 949 bytes as UTF-16, NULs among them kept.
std::wstring Wide(const std::string& bytes) {
    std::wstring wide(bytes.size(), L'\0');
    const int chars = MultiByteToWideChar(949, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          &wide[0], static_cast<int>(wide.size()));
    wide.resize(chars > 0 ? static_cast<std::size_t>(chars) : 0);
    return wide;
}

const wchar_t* Wide(const std::u16string& utf16) {
    return reinterpret_cast<const wchar_t*>(utf16.c_str());
}

// Removes a folder tree, read-only and hidden entries included.
void DeleteTree(const std::wstring& folder) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = base + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(base.c_str());
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of('\\') + 1);
}

// --- Counting this process's open handles.
//
// Wine 8 answers GetProcessHandleCount (and NtQueryInformationProcess'
// ProcessHandleCount) with 0 whatever is open, but keeps a real system
// handle table (NtQuerySystemInformation, SystemHandleInformation) that
// lists every handle with its owner's process id. Windows has both; there
// the table names the owner in 16 bits only, so the count comes first and
// the table is the fallback. Which measure works is decided once, by
// watching each one see an event handle open and close.

enum class HandleMeasure { kUndecided, kProcessCount, kSystemTable, kNone };

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

bool CountByProcessCount(std::size_t* count) {
    DWORD handles = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &handles)) return false;
    *count = handles;
    return true;
}

// This process's handle values in the system handle table.
bool OwnHandlesInTable(std::vector<std::uintptr_t>* handles) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return false;
    // Kept between calls: the table lists every process's handles.
    static std::vector<unsigned char> buffer(64 * 1024);
    LONG status = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), nullptr)) ==
               kStatusInfoLengthMismatch &&
           buffer.size() < 64 * 1024 * 1024) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return false;
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof entries);
    const std::size_t room = (buffer.size() - sizeof(ULONG_PTR)) / sizeof(SystemHandleEntry);
    if (entries > room) return false;
    const DWORD self = GetCurrentProcessId();
    handles->clear();
    for (ULONG i = 0; i < entries; ++i) {
        SystemHandleEntry entry;
        std::memcpy(&entry, buffer.data() + sizeof(ULONG_PTR) + i * sizeof entry, sizeof entry);
        if (entry.ownerPid == self) handles->push_back(entry.value);
    }
    return true;
}

bool CountBySystemTable(std::size_t* count) {
    std::vector<std::uintptr_t> handles;
    if (!OwnHandlesInTable(&handles)) return false;
    *count = handles.size();
    return true;
}

// "0x1c4 Key \REGISTRY\MACHINE\...": the kind of object and, for keys and
// files, its name (other kinds' names are not asked: on Windows asking a
// pipe's can hang).
std::string DescribeHandle(std::uintptr_t value) {
    using Query = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(value));
    std::string text = hex;
    if (query == nullptr) return text;
    const auto ask = [&](ULONG what) {
        // Both answers start with a UNICODE_STRING.
        alignas(8) static unsigned char buffer[4096];
        if (query(reinterpret_cast<HANDLE>(value), what, buffer, sizeof buffer - 2, nullptr) != 0)
            return std::string("?");
        USHORT bytes = 0;
        const wchar_t* chars = nullptr;
        std::memcpy(&bytes, buffer, sizeof bytes);
        std::memcpy(&chars, buffer + sizeof(ULONG_PTR), sizeof chars);
        std::string narrow;
        for (USHORT i = 0; chars != nullptr && i < bytes / 2; ++i)
            narrow += chars[i] < 0x80 ? static_cast<char>(chars[i]) : '?';
        return narrow;
    };
    const std::string type = ask(2);  // ObjectTypeInformation
    text += " " + type;
    if (type == "Key" || type == "File") text += " " + ask(1);  // ObjectNameInformation
    return text;
}

bool CountWith(HandleMeasure measure, std::size_t* count) {
    switch (measure) {
        case HandleMeasure::kProcessCount:
            return CountByProcessCount(count);
        case HandleMeasure::kSystemTable:
            return CountBySystemTable(count);
        default:
            return false;
    }
}

// True when `measure` counts one more while an event is open and is back
// when it is closed.
bool SeesAHandle(HandleMeasure measure) {
    std::size_t before = 0;
    std::size_t during = 0;
    std::size_t after = 0;
    if (!CountWith(measure, &before)) return false;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return false;
    const bool counted = CountWith(measure, &during);
    CloseHandle(event);
    return counted && CountWith(measure, &after) && during == before + 1 && after == before;
}

HandleMeasure ChooseHandleMeasure() {
    if (SeesAHandle(HandleMeasure::kProcessCount)) {
        std::fprintf(stderr, "contract_tests: open handles counted by GetProcessHandleCount\n");
        return HandleMeasure::kProcessCount;
    }
    if (SeesAHandle(HandleMeasure::kSystemTable)) {
        std::fprintf(stderr,
                     "contract_tests: GetProcessHandleCount does not count here; open handles "
                     "counted in the system handle table\n");
        return HandleMeasure::kSystemTable;
    }
    std::fprintf(stderr, "contract_tests: no way to count open handles works here\n");
    return HandleMeasure::kNone;
}

std::wstring Variable(const wchar_t* name) {
    wchar_t value[32767];
    const DWORD length = GetEnvironmentVariableW(name, value, 32767);
    return std::wstring(value, length < 32767 ? length : 0);
}

class Win32Env final : public ContractEnv {
  public:
    Platform& os() override { return os_; }
    const char* name() const override { return "win32"; }

    std::string ScratchKey() override {
        Begin();
        return key_;
    }

    void CreateKey(const std::string& path) override { RegCloseKey(MakeKey(Wide(path))); }

    // Text is stored as RegSetValueExA stores it on a Korean system: every
    // byte, NULs included, converted from code page 949.
    void SetValue(const std::string& keyPath, const std::string& valueName, std::uint32_t type,
                  const std::string& bytes) override {
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
        const std::wstring wide = Wide(bytes);
        SetRawValue(keyPath, Wide(valueName).c_str(), type,
                    text ? static_cast<const void*>(wide.c_str()) : bytes.c_str(),
                    text ? wide.size() * sizeof(wchar_t) : bytes.size());
    }

    bool KeyExists(const std::string& path) override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    bool CreateKeyUtf16(const std::string& parent, const std::u16string& name) override {
        RegCloseKey(MakeKey(Wide(parent) + L"\\" + Wide(name)));
        return true;
    }

    bool SetTextValueUtf16(const std::string& keyPath, const std::string& valueName,
                           const std::u16string& text) override {
        SetRawValue(keyPath, Wide(valueName).c_str(), REG_SZ, Wide(text),
                    (text.size() + 1) * sizeof(char16_t));
        return true;
    }

    bool MakeFileUtf16(const std::string& folder, const std::u16string& name) override {
        const std::wstring path = Wide(folder) + Wide(name);
        for (std::size_t i = folder.size(); i < path.size(); ++i)
            if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        MakeWideFile(path, "", 0);
        return true;
    }

    void MakeTempFolderUtf16(const std::u16string& name) override {
        const std::wstring folder = Wide(ScratchFolder()) + Wide(name);
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            ADD_FAILURE() << "CreateDirectoryW" << Win32Error(GetLastError());
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
        tempMoved_ = true;
    }
    std::string MarkingProgram(const std::string&) override {
        return ReadFileBytes(ExeFolder() + "contract_sleeper.exe");
    }
    bool MoveDesktopUtf16(const std::string& parent, const std::u16string& name) override {
        const std::wstring folder = Wide(parent) + Wide(name);
        CreateDirectoryW(Wide(parent).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        if (desktop_.empty()) desktop_ = ShellFolderValue(L"Desktop", nullptr);
        return !desktop_.empty() && ShellFolderValue(L"Desktop", &folder) == folder;
    }

    // Wine does not enforce registry key security, so a denial cannot be set up.
    bool DenyKeyAccess(const std::string&, std::uint32_t) override { return false; }

    std::string ScratchFolder() override {
        Begin();
        return folder_;
    }

    void MakeFolder(const std::string& path, std::uint32_t attributes) override {
        // Parents first, so a test can name a deep folder at once.
        const std::wstring wide = Wide(path);
        for (std::size_t i = 3; i < wide.size(); ++i)
            if (wide[i] == L'\\') CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
        if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            ADD_FAILURE() << "CreateDirectoryW(" << path << ")" << Win32Error(GetLastError());
        if (attributes != 0) SetFileAttributesW(wide.c_str(), attributes);
    }

    void MakeFile(const std::string& path, const std::string& bytes,
                  std::uint32_t attributes) override {
        MakeWideFile(Wide(path), bytes, attributes);
    }

    bool Exists(const std::string& path) override {
        return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string ReadFileBytes(const std::string& path) override {
        HANDLE file =
            CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateFileW(" << path << ") for reading"
                          << Win32Error(GetLastError());
            return std::string();
        }
        std::string bytes;
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
            bytes.append(chunk, got);
        CloseHandle(file);
        return bytes;
    }

    std::shared_ptr<void> HoldOpen(const std::string& path) override {
        // No sharing at all; BACKUP_SEMANTICS lets a folder be held too.
        HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "HoldOpen(" << path << ")" << Win32Error(GetLastError());
            return nullptr;
        }
        return std::shared_ptr<void>(handle, [](void* h) { CloseHandle(h); });
    }

    bool MoveEntry(const std::string& from, const std::string& to) override {
        return MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != FALSE;
    }

    bool OpensForWriting(const std::string& path) override {
        HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    }

    // This test binary embeds the payload (contract_payload.rc).
    ModuleHandle ModuleWithPayload() override {
        return reinterpret_cast<ModuleHandle>(GetModuleHandleA(nullptr));
    }

    std::string SleeperCommand(std::uint32_t ms, const std::string& markerPath,
                               HandOver handOver = HandOver::kNone) override {
        const char* mode[] = {"", "handover ", "breakaway "};
        return "\"" + ExeFolder() + "contract_sleeper.exe\" " + mode[static_cast<int>(handOver)] +
               std::to_string(ms) + " \"" + markerPath + "\"";
    }

    std::size_t OpenHandleCount() override {
        Settle();
        std::size_t count = 0;
        // A leak check that cannot measure must not pass.
        if (!CountWith(measure_, &count)) ADD_FAILURE() << "cannot count open handles";
        return count;
    }

    std::size_t HandlesKeptPerInputIdleWait() override {
        Settle();
        return keptPerIdleWait_;
    }

    std::vector<std::string> OpenHandleList() override {
        Settle();
        std::vector<std::uintptr_t> handles;
        std::vector<std::string> described;
        if (!OwnHandlesInTable(&handles)) return described;
        for (const std::uintptr_t handle : handles) described.push_back(DescribeHandle(handle));
        return described;
    }

    WindowHandle MakeAnsiWindow(const std::string& className, const std::string& title) override {
        WNDCLASSA type = {};
        type.lpfnWndProc = DefWindowProcA;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = className.c_str();
        RegisterClassA(&type);  // fails harmlessly for a class already there
        HWND window = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPED, 0, 0, 50,
                                      50, nullptr, nullptr, type.hInstance, nullptr);
        if (window == nullptr) ADD_FAILURE() << "CreateWindowExA" << Win32Error(GetLastError());
        windows_.push_back(window);
        return reinterpret_cast<WindowHandle>(window);
    }

    // A WM_QUIT posted to a window waits in this thread's queue with the window in msg.hwnd.
    bool ToldToQuit(WindowHandle window) override {
        MSG msg;
        return PeekMessageA(&msg, reinterpret_cast<HWND>(window), WM_QUIT, WM_QUIT, PM_REMOVE) !=
               FALSE;
    }

    void End() {
        if (tempMoved_) {
            SetEnvironmentVariableW(L"TMP", tmp_.c_str());
            SetEnvironmentVariableW(L"TEMP", temp_.c_str());
            tempMoved_ = false;
        }
        for (HWND window : windows_) DestroyWindow(window);
        windows_.clear();
        for (MSG msg; PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {
        }
        if (!desktop_.empty()) ShellFolderValue(L"Desktop", &desktop_);
        desktop_.clear();
        if (!active_) return;
        active_ = false;
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, key_, 0);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyParent);  // only succeeds once empty
        DeleteTree(Wide(folder_));
    }

  private:
    void MakeWideFile(const std::wstring& path, const std::string& bytes,
                      std::uint32_t attributes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateFileW" << Win32Error(GetLastError());
            return;
        }
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        if (written != bytes.size()) ADD_FAILURE() << "WriteFile short";
        if (attributes != 0) SetFileAttributesW(path.c_str(), attributes);
    }

    // The user's shell folder `name` as the shell reads it, after setting it to *to.
    static std::wstring ShellFolderValue(const wchar_t* name, const std::wstring* to) {
        const wchar_t* key =
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
        if (to != nullptr)
            RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_EXPAND_SZ, to->c_str(),
                            static_cast<DWORD>((to->size() + 1) * sizeof(wchar_t)));
        wchar_t value[1024] = {};
        DWORD size = sizeof value;
        return RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                            nullptr, value, &size) == ERROR_SUCCESS
                   ? value
                   : L"";
    }

    // Creates HKLM\path and any missing parents; nullptr (and a failure) when it cannot.
    HKEY MakeKey(const std::wstring& path) {
        HKEY key = nullptr;
        const LONG rc =
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) ADD_FAILURE() << "RegCreateKeyExW" << Win32Error(rc);
        return key;
    }

    void SetRawValue(const std::string& keyPath, const wchar_t* valueName, DWORD type,
                     const void* data, std::size_t size) {
        HKEY key = MakeKey(Wide(keyPath));
        if (key == nullptr) return;
        const LONG rc = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data),
                                       static_cast<DWORD>(size));
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) ADD_FAILURE() << "RegSetValueExW" << Win32Error(rc);
    }

    // Some handles are opened once per process and kept for its life, by
    // whatever first needs them: the C++ runtime's locks at the first
    // throw, user32's window station, desktop and settings keys when it
    // loads (the platform loads it late), shell32's class and profile keys
    // at the first special-folder lookup, the thread's message queue at the
    // first wait for input idle. They are opened here, before any count is
    // compared, so that the first routine to need them is not blamed.
    // (A new one shows in a failure message as "opened: 0x.. Key ...".)
    // Also measures what each wait for input idle leaves open on its own:
    // Wine 8 hands the caller a handle to the child's idle event on every
    // call and never closes it.
    void Settle() {
        if (measure_ != HandleMeasure::kUndecided) return;
        measure_ = ChooseHandleMeasure();
        try {
            throw std::string("settling");
        } catch (const std::string&) {
        }
        os_.IsDbcsEnabled();
        std::string judged;
        CheckRemovableFolder(os_, "C:\\NuBenContractSettle", &judged);

        const std::string marker = os_.TempFolderPath() + "NuBenContract_settle_" +
                                   std::to_string(GetCurrentProcessId()) + ".txt";
        ProcessStart request;
        request.commandLine = SleeperCommand(500, marker);
        request.startup = {kStartupInfoSize, 1, 1};
        StartedProcess started;
        if (!os_.StartProcess(request, &started)) {
            ADD_FAILURE() << "cannot start " << request.commandLine;
            return;
        }
        os_.WaitUntilInputIdle(started.process, INFINITE);
        std::size_t before = 0;
        std::size_t after = 0;
        const bool counted = CountWith(measure_, &before) &&
                             os_.WaitUntilInputIdle(started.process, INFINITE) == 0 &&
                             CountWith(measure_, &after);
        keptPerIdleWait_ = counted && after > before ? after - before : 0;
        os_.WaitUntilSignalled(started.process, INFINITE);
        os_.CloseProcessHandle(started.thread);
        os_.CloseProcessHandle(started.process);
        DeleteFileW(Wide(marker).c_str());
        if (keptPerIdleWait_ != 0)
            std::fprintf(stderr,
                         "contract_tests: each wait for input idle leaves %u handle(s) open here\n",
                         static_cast<unsigned>(keptPerIdleWait_));
    }

    // Makes this test's scratch key and folder on first use.
    void Begin() {
        if (active_) return;
        active_ = true;
        ++serial_;
        const std::string unique =
            std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial_);
        key_ = std::string(kKeyParent) + "\\" + unique;
        e2e::DeleteKeyTree(HKEY_LOCAL_MACHINE, key_, 0);
        CreateKey(key_);

        // The temp folder normally is on C:; the scratch folder must be.
        std::string temp = os_.TempFolderPath();
        if (temp.size() < 3 || (temp[0] != 'C' && temp[0] != 'c') || temp[1] != ':') temp = "C:\\";
        folder_ = temp + "NuBenContract_" + unique + "\\";
        DeleteTree(Wide(folder_));
        if (!CreateDirectoryW(Wide(folder_).c_str(), nullptr))
            ADD_FAILURE() << "CreateDirectoryW(" << folder_ << ")" << Win32Error(GetLastError());
    }

    Win32Platform os_;
    HandleMeasure measure_ = HandleMeasure::kUndecided;
    std::size_t keptPerIdleWait_ = 0;
    bool active_ = false;
    unsigned serial_ = 0;
    std::string key_;
    std::string folder_;
    // The temp folder as the test run found it, put back after each test.
    const std::wstring tmp_ = Variable(L"TMP");
    const std::wstring temp_ = Variable(L"TEMP");
    bool tempMoved_ = false;
    std::vector<HWND> windows_;
    std::wstring desktop_;  // the user's own desktop while a test has moved it
};

Win32Env& TheEnv() {
    static Win32Env env;
    return env;
}

}  // namespace

ContractEnv& Env() {
    return TheEnv();
}

void EndWin32Scratch() {
    TheEnv().End();
}

}  // namespace nuben::contract
