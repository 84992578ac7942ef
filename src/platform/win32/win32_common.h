// What the files of the Win32 layer share: handle conversions and the late
// import of user32, shell32, ole32 and the newer kernel32 functions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace nuben::win32 {

inline HANDLE ToHandle(std::uintptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}
inline HWND ToWindow(WindowHandle w) {
    return reinterpret_cast<HWND>(w);
}
inline HMODULE ToModule(ModuleHandle m) {
    return reinterpret_cast<HMODULE>(m);
}
template <typename T>
std::uintptr_t FromPointer(T* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

// Where a held file or folder really is, in Windows' own form: its final path
// (GetFinalPathNameByHandleW), by drive letter or else by volume name, never
// converted to code page 949, so any name and length goes. "\\?\" is dropped
// where what remains fits MAX_PATH, for the programs that read the path.
// False where the system cannot say (before Vista).
bool HeldPath(std::uintptr_t held, std::wstring* path);

// user32, shell32 and ole32 serve only some paths (message boxes, windows,
// special folders), yet loading them at start-up costs more than the rest
// of a nothing-installed run under Wine. Each function loads on its first
// call instead; all three are known DLLs, which come from the system folder
// whatever the search order. A function that cannot be had makes its call
// fail the way the call itself fails.
class LateImport {
  public:
    constexpr LateImport(const wchar_t* dll, const char* name) : dll_(dll), name_(name) {}

    template <typename Fn>
    Fn Get() {
        // FARPROC -> the real signature: the documented way to call a looked-up export.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(Proc()));
    }

  private:
    // Once for all imports, not at every call (the exe's size is capped).
    [[gnu::noinline]] FARPROC Proc() {
        if (!tried_) {
            tried_ = true;
            if (HMODULE module = LoadLibraryW(dll_)) proc_ = GetProcAddress(module, name_);
        }
        return proc_;
    }

    const wchar_t* dll_;
    const char* name_;
    FARPROC proc_ = nullptr;
    bool tried_ = false;
};

}  // namespace nuben::win32
