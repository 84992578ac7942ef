// ContractEnv on real Windows (run under Wine): a scratch key under
// HKEY_LOCAL_MACHINE\SOFTWARE\NuBenContract, a scratch folder in the temp
// folder on drive C:, and this test binary's own module and sleeper
// program for resources and processes. The Platform under test is
// Win32Platform; set-up and checks use Win32 directly, never the Platform.
#include "win32_env.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "contract_env.h"
#include "platform/win32/win32_platform.h"

namespace nuben::contract {
namespace {

constexpr const char* kKeyParent = "SOFTWARE\\NuBenContract";

std::string Win32Error(DWORD code) {
    return " (Win32 error " + std::to_string(code) + ")";
}

// Deletes `path` below `root` with everything under it, children first
// (RegDeleteTree is not on every Windows the program targets).
void DeleteKeyRecursively(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[256];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            const std::string child = path + "\\" + std::string(name, length);
            DeleteKeyRecursively(root, child);
            // A child that cannot be deleted would make index 0 loop forever.
            HKEY probe = nullptr;
            if (RegOpenKeyExA(root, child.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS) {
                RegCloseKey(probe);
                break;
            }
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path.c_str());
}

// Removes a folder tree, read-only and hidden entries included.
void DeleteTree(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = base + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(base.c_str());
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of('\\') + 1);
}

class Win32Env final : public ContractEnv {
  public:
    Platform& os() override { return os_; }
    const char* name() const override { return "win32"; }

    std::string ScratchKey() override {
        Begin();
        return key_;
    }

    void CreateKey(const std::string& path) override {
        HKEY key = nullptr;
        const LONG rc =
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) {
            ADD_FAILURE() << "RegCreateKeyExA(HKLM\\" << path << ")" << Win32Error(rc);
            return;
        }
        RegCloseKey(key);
    }

    void SetValue(const std::string& keyPath, const std::string& valueName, std::uint32_t type,
                  const std::string& bytes) override {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) {
            ADD_FAILURE() << "RegCreateKeyExA(HKLM\\" << keyPath << ")" << Win32Error(rc);
            return;
        }
        rc = RegSetValueExA(key, valueName.c_str(), 0, type,
                            reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            ADD_FAILURE() << "RegSetValueExA(" << valueName << ")" << Win32Error(rc);
    }

    bool KeyExists(const std::string& path) override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Wine does not enforce registry key security, so a denial cannot be set up.
    bool DenyKeyAccess(const std::string&, std::uint32_t) override { return false; }

    std::string ScratchFolder() override {
        Begin();
        return folder_;
    }

    void MakeFolder(const std::string& path, std::uint32_t attributes) override {
        // Parents first, so a test can name a deep folder at once.
        for (std::size_t i = 3; i < path.size(); ++i)
            if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            ADD_FAILURE() << "CreateDirectoryA(" << path << ")" << Win32Error(GetLastError());
        if (attributes != 0) SetFileAttributesA(path.c_str(), attributes);
    }

    void MakeFile(const std::string& path, const std::string& bytes,
                  std::uint32_t attributes) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateFileA(" << path << ")" << Win32Error(GetLastError());
            return;
        }
        DWORD written = 0;
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        if (written != bytes.size()) ADD_FAILURE() << "WriteFile(" << path << ") short";
        if (attributes != 0) SetFileAttributesA(path.c_str(), attributes);
    }

    bool Exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string ReadFileBytes(const std::string& path) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "CreateFileA(" << path << ") for reading"
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
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "HoldOpen(" << path << ")" << Win32Error(GetLastError());
            return nullptr;
        }
        return std::shared_ptr<void>(handle, [](void* h) { CloseHandle(h); });
    }

    // This test binary embeds the payload (contract_payload.rc).
    ModuleHandle ModuleWithPayload() override {
        return reinterpret_cast<ModuleHandle>(GetModuleHandleA(nullptr));
    }

    std::string SleeperCommand(std::uint32_t ms, const std::string& markerPath) override {
        return "\"" + ExeFolder() + "contract_sleeper.exe\" " + std::to_string(ms) + " \"" +
               markerPath + "\"";
    }

    void End() {
        if (!active_) return;
        active_ = false;
        DeleteKeyRecursively(HKEY_LOCAL_MACHINE, key_);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyParent);  // only succeeds once empty
        DeleteTree(folder_);
    }

  private:
    // Makes this test's scratch key and folder on first use.
    void Begin() {
        if (active_) return;
        active_ = true;
        ++serial_;
        const std::string unique =
            std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial_);
        key_ = std::string(kKeyParent) + "\\" + unique;
        DeleteKeyRecursively(HKEY_LOCAL_MACHINE, key_);
        CreateKey(key_);

        // The temp folder normally is on C:; the scratch folder must be.
        std::string temp = os_.TempFolderPath();
        if (temp.size() < 3 || (temp[0] != 'C' && temp[0] != 'c') || temp[1] != ':') temp = "C:\\";
        folder_ = temp + "NuBenContract_" + unique + "\\";
        DeleteTree(folder_);
        if (!CreateDirectoryA(folder_.c_str(), nullptr))
            ADD_FAILURE() << "CreateDirectoryA(" << folder_ << ")" << Win32Error(GetLastError());
    }

    Win32Platform os_;
    bool active_ = false;
    unsigned serial_ = 0;
    std::string key_;
    std::string folder_;
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
