// NuBenSetup.exe's entry point: harden DLL loading and link following, then
// run the launch sequence once. No window, no console, no arguments; exit
// code 0 always.
#include <windows.h>

#include "main/launch_sequence.h"
#include "platform/win32/win32_platform.h"

namespace {

// A kernel32 function of a later Windows than the oldest one we start on, or
// nullptr where the system lacks it.
template <typename Fn>
Fn Kernel32Export(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FARPROC proc = kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, name);
    // FARPROC -> the real signature: the documented way to call a looked-up export.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// DLLs that load later (shell32's helpers, IMEs...) come from the system
// folder only, never from the folder that the bootstrapper was downloaded to
// (DLL planting). SetDefaultDllDirectories exists from Windows 8 (and 7 with
// KB2533623); it is looked up at run time so that older systems still start,
// unhardened.
void RestrictDllSearchToSystemFolder() {
    if (auto setDefault = Kernel32Export<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories")) {
        setDefault(nuben::kLoadLibrarySearchSystem32);
    }
}

// Run elevated, the bootstrapper must not follow a junction that a
// non-administrator made (one put into a folder it empties). Looked up at
// run time: where Windows lacks the call or refuses the policy (as Wine
// may), the folder walk's own checks still stand.
void RefuseUntrustedJunctions() {
    using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    if (auto setPolicy =
            Kernel32Export<SetProcessMitigationPolicyFn>("SetProcessMitigationPolicy")) {
        DWORD policy = nuben::kEnforceRedirectionTrust;
        setPolicy(nuben::kProcessRedirectionTrustPolicy, &policy, sizeof policy);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemFolder();
    RefuseUntrustedJunctions();
    nuben::Win32Platform os;
    nuben::GlobalState g(os);
    nuben::RunLaunchSequence(g);
    // Exit code 0 on every path, as its callers (shortcuts, download prompts)
    // expect of it; what cannot go on ends the same way (throw_hooks.cpp).
    return 0;
}
