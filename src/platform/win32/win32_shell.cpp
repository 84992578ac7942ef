// The shell's special and known folders, their paths in code page 949.
#include <windows.h>
// After <windows.h>, whose types it builds on (the comment keeps the order).
#include <shlobj.h>

#include <cwchar>

#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

LateImport g_SHGetSpecialFolderLocation(L"shell32.dll", "SHGetSpecialFolderLocation");
LateImport g_SHGetPathFromIDListW(L"shell32.dll", "SHGetPathFromIDListW");
LateImport g_CoTaskMemFree(L"ole32.dll", "CoTaskMemFree");
LateImport g_CoInitializeEx(L"ole32.dll", "CoInitializeEx");
LateImport g_CoUninitialize(L"ole32.dll", "CoUninitialize");
LateImport g_CoCreateInstance(L"ole32.dll", "CoCreateInstance");

// The shell's path of `csidl` in `buffer`: its length, 0 when it yields none.
std::size_t ShellFolder(int csidl, wchar_t (&buffer)[MAX_PATH]) {
    auto getLocation = g_SHGetSpecialFolderLocation.Get<decltype(&SHGetSpecialFolderLocation)>();
    auto getPath = g_SHGetPathFromIDListW.Get<decltype(&SHGetPathFromIDListW)>();
    auto freeMemory = g_CoTaskMemFree.Get<decltype(&CoTaskMemFree)>();
    if (!getLocation || !getPath || !freeMemory) return 0;
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(getLocation(nullptr, csidl, &pidl)) || pidl == nullptr) return 0;
    const BOOL ok = getPath(pidl, buffer);
    freeMemory(pidl);
    return ok ? wcsnlen(buffer, MAX_PATH) : 0;
}

}  // namespace

// SHGetPathFromIDListA wrote up to MAX_PATH bytes plus its NUL; a folder
// whose path is longer in code page 949 yields no path, as a virtual folder does.
std::string Win32Platform::SpecialFolderPath(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    const std::size_t length = ShellFolder(csidl, buffer);
    return length ? AnsiPath(buffer, length, MAX_PATH) : std::string();
}

std::string Win32Platform::SpecialFolderOrAbove(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    return AnsiFolderOrAbove(buffer, ShellFolder(csidl, buffer), MAX_PATH);
}

bool Win32Platform::KnownFolderPaths(std::vector<std::string>* paths) {
    paths->clear();
    auto initialize = g_CoInitializeEx.Get<decltype(&CoInitializeEx)>();
    auto uninitialize = g_CoUninitialize.Get<decltype(&CoUninitialize)>();
    auto createInstance = g_CoCreateInstance.Get<decltype(&CoCreateInstance)>();
    auto freeMemory = g_CoTaskMemFree.Get<decltype(&CoTaskMemFree)>();
    if (!initialize || !uninitialize || !createInstance || !freeMemory) return false;
    // Multithreaded: a single-threaded apartment gives the thread a message
    // window, and under Wine the folder walk that follows it then ran half as
    // slow again (26.7 s against 17.6 s for 20,000 files). The manager takes either.
    const HRESULT started = initialize(nullptr, COINIT_MULTITHREADED);
    // Already initialised otherwise by someone else: COM is usable, but not ours to end.
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) return false;
    bool listed = false;
    IKnownFolderManager* manager = nullptr;
    if (SUCCEEDED(createInstance(__uuidof(KnownFolderManager), nullptr, CLSCTX_INPROC_SERVER,
                                 __uuidof(IKnownFolderManager),
                                 reinterpret_cast<void**>(&manager))) &&
        manager != nullptr) {
        KNOWNFOLDERID* ids = nullptr;
        UINT count = 0;
        if (SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
            listed = true;
            for (UINT i = 0; i < count; ++i) {
                IKnownFolder* folder = nullptr;
                if (FAILED(manager->GetFolder(ids[i], &folder)) || folder == nullptr) continue;
                PWSTR path = nullptr;
                // Virtual folders (Control Panel, Network...) have no path. One
                // too long comes as the nearest folder above it that fits.
                if (SUCCEEDED(folder->GetPath(KF_FLAG_DEFAULT, &path)) && path != nullptr) {
                    const std::string spelled =
                        AnsiFolderOrAbove(path, std::wcslen(path), kAnsiPathChars - 1);
                    if (!spelled.empty()) paths->push_back(spelled);
                }
                freeMemory(path);
                folder->Release();
            }
            freeMemory(ids);
        }
        manager->Release();
    }
    if (SUCCEEDED(started)) uninitialize();
    if (!listed) paths->clear();
    return listed;
}

}  // namespace nuben
