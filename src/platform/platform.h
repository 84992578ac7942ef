// The one seam between the bootstrapper's logic and Windows.
//
// Every method mirrors one ANSI Win32 call (named in its comment) closely
// enough that the logic can be reasoned about as if it called Windows
// directly. Texts and paths are byte strings in the ANSI code page. A path
// from Windows loses nothing: what code page 949 cannot spell in it comes
// as "?" and the UTF-16 unit in four upper-case hex digits ("C:\Caf?00E9"),
// which no file name holds and every path call reads back.
// Method names deliberately differ from the Win32 names: <windows.h> turns
// DeleteFile, CreateProcess, MessageBox... into macros in every file that
// includes it.
//
// Two implementations: Win32Platform (the real one, the only code that
// includes <windows.h>) and tests/fake/FakePlatform (an in-memory model
// that follows Windows wherever the logic depends on it; the contract
// tests in tests/contract run against both).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_constants.h"

namespace nuben {

// Opaque handles; 0 is never a valid handle of any kind, except that file
// and find handles are invalid at kInvalidHandle (INVALID_HANDLE_VALUE).
using KeyHandle = std::uintptr_t;
using FileHandle = std::uintptr_t;
using FindHandle = std::uintptr_t;
using ProcessHandle = std::uintptr_t;  // process or thread
using WindowHandle = std::uintptr_t;
using ModuleHandle = std::uintptr_t;
using ResourceInfo = std::uintptr_t;  // HRSRC
using ResourceData = std::uintptr_t;  // HGLOBAL of a loaded resource

constexpr std::uintptr_t kInvalidHandle = ~std::uintptr_t{0};

struct FindEntry {
    std::string name;                 // cFileName, up to its first NUL
    std::uint32_t attributes = 0;     // dwFileAttributes
    std::uint64_t lastWriteTime = 0;  // ftLastWriteTime, 100 ns since 1601 (UTC)
};

// STARTUPINFOA reduced to the fields the bootstrapper sets; all others are 0.
struct StartupRecord {
    std::uint32_t size = 0;        // cb
    std::uint32_t flags = 0;       // dwFlags
    std::uint16_t showWindow = 0;  // wShowWindow
};

struct ProcessStart {
    std::string applicationName;  // empty: NULL (the command line names the program)
    std::string commandLine;      // passed as a writable copy, as CreateProcessA requires
    bool inheritHandles = false;
    std::uint32_t creationFlags = 0;
    StartupRecord startup;
    std::string currentDirectory;  // lpCurrentDirectory; empty: NULL (the caller's)
    // A held file (OpenFileToHoldIn), or 0: the program is that file where it really is,
    // named in Windows' own form as lpApplicationName and, quoted, as the command line;
    // applicationName and commandLine serve only where the system cannot say where it is.
    FileHandle program = 0;
    // A held folder, or 0: lpCurrentDirectory is that folder where it really is, the same
    // way; currentDirectory serves only where the system cannot say.
    FileHandle currentFolder = 0;
    // PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_PREFER_SYSTEM32_ALWAYS_ON, given as
    // PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY in a STARTUPINFOEXA: the new process loads
    // DLLs from System32 before its own folder.
    bool preferSystem32Dlls = false;
};

struct StartedProcess {
    ProcessHandle process = 0;
    ProcessHandle thread = 0;
    std::uint32_t error = 0;  // GetLastError() when the start failed
};

class Platform {
  public:
    virtual ~Platform() = default;

    // --- Registry (advapi32). All return a Win32 error code, 0 on success.

    // RegOpenKeyExA(base, path, 0, access, out). Opens existing keys only.
    // A key whose security denies `access` fails with ERROR_ACCESS_DENIED.
    virtual long OpenRegistryKey(KeyHandle base, const std::string& path, std::uint32_t access,
                                 KeyHandle* out) = 0;
    // RegQueryValueExA(key, name, 0, type, data, size). With data == nullptr
    // only type and size are reported. A buffer smaller than the value gives
    // ERROR_MORE_DATA and the needed size. A missing value: ERROR_FILE_NOT_FOUND.
    // A REG_SZ or REG_EXPAND_SZ is never absent for what follows its first NUL.
    virtual long QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                    std::uint8_t* data, std::uint32_t* size) = 0;
    // RegQueryInfoKeyA(key, ..., &subkeys, &maxSubkeyLen, ...): the length is
    // in characters, without the terminating NUL, so a double-byte name is
    // longer in bytes than it says.
    virtual long QueryRegistryKeyInfo(KeyHandle key, std::uint32_t* subkeys,
                                      std::uint32_t* maxSubkeyLen) = 0;
    // RegEnumKeyExA(key, index, name, nameLen, ...). nameLen is in/out:
    // buffer size in, name length without NUL out. Subkeys enumerate in
    // the registry's order (case-insensitive by name on Windows).
    virtual long EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                                    std::uint32_t* nameLen) = 0;
    // RegDeleteKeyA(base, path). Fails (ERROR_ACCESS_DENIED) on a key that
    // still has subkeys; ERROR_FILE_NOT_FOUND on a missing key.
    virtual long DeleteRegistryKey(KeyHandle base, const std::string& path) = 0;
    // RegCloseKey.
    virtual long CloseRegistryKey(KeyHandle key) = 0;

    // --- System facts.

    // GetVersionExA's dwPlatformId == VER_PLATFORM_WIN32_NT (2).
    virtual bool IsWindowsNt() = 0;
    // GetSystemMetrics(SM_DBCSENABLED) != 0.
    virtual bool IsDbcsEnabled() = 0;
    // IsDBCSLeadByte: `byte` is a lead byte of the ANSI code page.
    virtual bool IsLeadByte(std::uint8_t byte) = 0;
    // LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE): `text` with every
    // letter of the ANSI code page in upper case, double-byte ones (Cyrillic,
    // Greek, full-width Latin) included, as file names compare. "" on failure.
    virtual std::string UpperCaseText(const std::string& text) = 0;

    // --- Files and folders (kernel32).

    // GetFileAttributesA; kInvalidFileAttributes when the path does not exist.
    virtual std::uint32_t FileAttributesOf(const std::string& path) = 0;
    // SetFileAttributesA.
    virtual bool ChangeFileAttributes(const std::string& path, std::uint32_t attributes) = 0;
    // FindFirstFileA; kInvalidHandle when nothing matches or the folder is missing.
    virtual FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry) = 0;
    // FindNextFileA; false at the end.
    virtual bool FindNextEntry(FindHandle find, FindEntry* entry) = 0;
    // FindClose.
    virtual bool CloseFind(FindHandle find) = 0;
    // DeleteFileA. Fails on a read-only file and on a file open elsewhere.
    virtual bool RemoveFile(const std::string& path) = 0;
    // RemoveDirectoryA. Fails on a folder that is not empty or is read-only.
    // On a folder link it removes the link, never the target's contents.
    virtual bool RemoveEmptyDirectory(const std::string& path) = 0;
    // CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL |
    // FILE_FLAG_OPEN_REPARSE_POINT, NULL): a new file or none; kInvalidHandle, with *error =
    // GetLastError(), when any entry of that name exists (ERROR_FILE_EXISTS), a link included,
    // which is never written through, or one only pending deletion (ERROR_ACCESS_DENIED).
    virtual FileHandle CreateNewFileForWriting(const std::string& path, std::uint32_t* error) = 0;
    // WriteFile(file, data, size, &written, NULL).
    virtual bool WriteToFile(FileHandle file, const void* data, std::uint32_t size,
                             std::uint32_t* written) = 0;
    // CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
    // FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, NULL): until CloseFile nobody
    // can write, replace, rename or delete the file, while it can be read and started. Fails
    // on a file open elsewhere for writing or deleting (ERROR_SHARING_VIOLATION), and on a
    // folder; a link is opened itself (Wine 8 follows a Unix symbolic link); kInvalidHandle
    // on failure, with *error = GetLastError().
    virtual FileHandle OpenFileToHold(const std::string& path, std::uint32_t* error) = 0;
    // ReadFile(file, data, size, &read, NULL): *read is 0 at the end of the file.
    virtual bool ReadFromFile(FileHandle file, void* data, std::uint32_t size,
                              std::uint32_t* read) = 0;
    // CloseHandle on a file handle.
    virtual bool CloseFile(FileHandle file) = 0;
    // CreateFileA(path, FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | SYNCHRONIZE,
    // FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS |
    // FILE_FLAG_OPEN_REPARSE_POINT, NULL): until CloseFile the folder cannot be renamed,
    // replaced or removed, while its entries can; a link is opened itself, not its target
    // (Wine 8 follows a Unix symbolic link); kInvalidHandle on failure.
    virtual FileHandle OpenFolderToHold(const std::string& path) = 0;
    // The same open without FILE_FLAG_OPEN_REPARSE_POINT: a link at the end of `path` is
    // followed, and the folder it leads to is what is held.
    virtual FileHandle OpenFolderToHoldThroughLink(const std::string& path) = 0;
    // GetFileInformationByHandle's dwFileAttributes; kInvalidFileAttributes on failure.
    virtual std::uint32_t HeldAttributesOf(FileHandle file) = 0;
    // GetFinalPathNameByHandleA(file, MAX_PATH buffer, FILE_NAME_NORMALIZED |
    // VOLUME_NAME_DOS), looked up at run time, with its "\\?\" prefix dropped
    // ("\\?\UNC\" gives "\\"): where what the handle holds really is, long
    // names in their stored case, whatever spelling or link led to it. false
    // where the system lacks the call (before Vista); otherwise true, with *path
    // "" when the call failed or the path does not fit.
    virtual bool FinalPathOfHeld(FileHandle file, std::string* path) = 0;
    // CreateFileA(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, every
    // FILE_SHARE_*, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS |
    // FILE_FLAG_OPEN_REPARSE_POINT, NULL): the entry itself, a link not followed (Wine 8
    // follows a Unix symbolic link); kInvalidHandle on failure.
    virtual FileHandle OpenEntryToChange(const std::string& path) = 0;
    // SetFileInformationByHandle(file, FileBasicInfo) with the times left as they are:
    // changes what the handle holds, whatever its path names by now. False where
    // the system lacks the call (before Vista).
    virtual bool ChangeHeldAttributes(FileHandle file, std::uint32_t attributes) = 0;
    // --- Work in a held folder. Windows names the folder: its path never passes through
    // code page 949, so any name and any length will do. `asGiven` is the path it was
    // held by, used only where the system cannot say where a held folder is (before
    // Vista, a volume without a letter); `name` is the logic's own.

    // The temp folder as TempFolderPath finds it, or the current folder where there is
    // none, held as OpenFolderToHoldThroughLink holds it; kInvalidHandle on failure.
    virtual FileHandle HoldTempFolder() = 0;
    // CreateNewFileForWriting of `name` in the held folder.
    virtual FileHandle CreateNewFileIn(FileHandle folder, const std::string& asGiven,
                                       const std::string& name, std::uint32_t* error) = 0;
    // OpenFileToHold of `name` in the held folder.
    virtual FileHandle OpenFileToHoldIn(FileHandle folder, const std::string& asGiven,
                                        const std::string& name, std::uint32_t* error) = 0;
    // Removes the file or link `name` in the held folder as itself: a link as a link,
    // never its target; a file once its attributes are reset through a handle on the
    // entry itself. A plain folder is left. True when the entry went.
    virtual bool RemoveEntryIn(FileHandle folder, const std::string& asGiven,
                               const std::string& name) = 0;
    // GetTempPath2A where the system has it (a SYSTEM run then gets its own
    // C:\Windows\SystemTemp, everyone else what GetTempPathA gives), else
    // GetTempPathA, into a zero-filled MAX_PATH buffer, up to the first NUL;
    // "" when the call fails.
    virtual std::string TempFolderPath() = 0;
    // SetCurrentDirectoryA.
    virtual bool ChangeCurrentDirectory(const std::string& path) = 0;
    // GetFullPathNameA: the absolute, normalised form ("." and ".." resolved,
    // trailing dots and blanks of the last element dropped), then
    // GetLongPathNameA when the path exists (short aliases expanded); "" on failure.
    virtual std::string FullPathOf(const std::string& path) = 0;
    // FileTimeToLocalFileTime then FileTimeToDosDateTime; true when both succeed.
    virtual bool ConvertsToLocalDosTime(std::uint64_t fileTime) = 0;

    // --- Shell special folders (shell32).

    // SHGetSpecialFolderLocation(NULL, csidl) then SHGetPathFromIDListA into a
    // MAX_PATH + 1 buffer, up to the first NUL; "" when the folder yields no path.
    virtual std::string SpecialFolderPath(int csidl) = 0;
    // The same path or, where it does not fit, the nearest folder above it that
    // does: the logic's paths can name that folder and those above it, never
    // the folder itself or what lies between.
    virtual std::string SpecialFolderOrAbove(int csidl) = 0;
    // CoInitializeEx (multithreaded), then IKnownFolderManager::GetFolderIds
    // and, for each id, GetFolder and IKnownFolder::GetPath(KF_FLAG_DEFAULT) in the
    // ANSI code page: *paths receives every known folder of the machine and the
    // current user that has a path (one too long as the nearest folder above it
    // that fits, as SpecialFolderOrAbove gives it).
    // False, with *paths empty, when the manager cannot be had (before Vista, or
    // COM refused) or cannot list its ids; an empty list is an answer, not a failure.
    virtual bool KnownFolderPaths(std::vector<std::string>* paths) = 0;

    // --- Module resources (kernel32).

    // GetModuleHandleA(NULL).
    virtual ModuleHandle OwnModule() = 0;
    // FindResourceA(module, name, type); 0 when absent.
    virtual ResourceInfo FindResourceIn(ModuleHandle module, const std::string& name,
                                        const std::string& type) = 0;
    // LoadResource; 0 on failure.
    virtual ResourceData LoadResourceData(ModuleHandle module, ResourceInfo info) = 0;
    // SizeofResource; 0 on failure.
    virtual std::uint32_t ResourceSize(ModuleHandle module, ResourceInfo info) = 0;
    // LockResource; nullptr on failure. The bytes stay valid until released.
    virtual const void* LockResourceData(ResourceData data) = 0;
    // FreeResource (a no-op on NT, kept so every load has its release).
    virtual void ReleaseResourceData(ResourceData data) = 0;

    // --- Processes (kernel32).

    // CreateProcessA with the request's fields, no security attributes and the
    // caller's environment. false when not started,
    // also for a command line of 32,767 characters or more (with its NUL,
    // more than Windows takes). Windows before 10 version 1607 refuses
    // preferSystem32Dlls with ERROR_INVALID_PARAMETER, and so does a system
    // without attribute lists (before Vista).
    virtual bool StartProcess(const ProcessStart& request, StartedProcess* started) = 0;
    static constexpr std::size_t kMaxCommandLine = 32767;  // characters, the NUL included
    // WaitForInputIdle(process, timeoutMs).
    virtual std::uint32_t WaitUntilInputIdle(ProcessHandle process, std::uint32_t timeoutMs) = 0;
    // WaitForSingleObject(handle, timeoutMs).
    virtual std::uint32_t WaitUntilSignalled(ProcessHandle handle, std::uint32_t timeoutMs) = 0;
    // CloseHandle on a process, thread, job or mutex handle.
    virtual bool CloseProcessHandle(ProcessHandle handle) = 0;
    // TerminateProcess(process, 1): ends a process that must not run on.
    virtual bool EndStartedProcess(ProcessHandle process) = 0;
    // CreateMutexA(NULL, FALSE, name); 0 on failure (ERROR_ACCESS_DENIED for a
    // "Global\" name where the caller may not create global objects).
    // *alreadyExisted: GetLastError() == ERROR_ALREADY_EXISTS, that is, some
    // other handle to that name is open.
    virtual ProcessHandle CreateNamedMutex(const std::string& name, bool* alreadyExisted) = 0;
    // CreateJobObjectA(NULL, NULL), then ChangeJobLimits(job, limits). 0 when
    // either call fails (the job is then closed).
    virtual ProcessHandle NewJob(std::uint32_t limits) = 0;
    // SetInformationJobObject(job, JobObjectExtendedLimitInformation) with LimitFlags =
    // `limits` alone. JOB_OBJECT_LIMIT_BREAKAWAY_OK: a child started with
    // CREATE_BREAKAWAY_FROM_JOB leaves the job instead of failing to start; _SILENT_BREAKAWAY_OK:
    // no child joins it; _KILL_ON_JOB_CLOSE: its processes end, suspended or not, when its
    // last handle closes (the owner's death included), and lifted, they live on.
    virtual bool ChangeJobLimits(ProcessHandle job, std::uint32_t limits) = 0;
    // AssignProcessToJobObject(job, process). Fails for a process already in a
    // job that does not allow nesting (Windows 7 and older).
    virtual bool PutProcessInJob(ProcessHandle job, ProcessHandle process) = 0;
    // ResumeThread(thread) != (DWORD)-1: lets a process started suspended run.
    virtual bool ResumeStartedThread(ProcessHandle thread) = 0;
    // QueryInformationJobObject(job, JobObjectBasicAccountingInformation):
    // *active receives ActiveProcesses, which counts every process in the job,
    // the children it started included; false when the query fails.
    virtual bool CountJobProcesses(ProcessHandle job, std::uint32_t* active) = 0;
    // Sleep.
    virtual void Pause(std::uint32_t milliseconds) = 0;

    // --- Windows and dialogs (user32).

    // GetDesktopWindow.
    virtual WindowHandle DesktopWindow() = 0;
    // GetWindow(window, command); 0 when there is none.
    virtual WindowHandle RelatedWindow(WindowHandle window, std::uint32_t command) = 0;
    // IsWindow.
    virtual bool IsLiveWindow(WindowHandle window) = 0;
    // GetClassNameA(window, buffer, size): bytes copied without NUL, 0 on
    // failure (a vanished window). The copy is cut to size - 1 bytes.
    virtual int ClassNameOf(WindowHandle window, char* buffer, int size) = 0;
    // GetWindowTextA(window, buffer, size): same conventions.
    virtual int WindowTextOf(WindowHandle window, char* buffer, int size) = 0;
    // The same text in the system's ANSI code page, as an ANSI program of this
    // system set and reads it (949 bytes on a 1252 system come back as set);
    // 0 also for a text that code page cannot spell.
    virtual int SystemWindowTextOf(WindowHandle window, char* buffer, int size) = 0;
    // PostMessageA.
    virtual bool PostMessageTo(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) = 0;
    // MessageBoxA(owner, text, caption, style): the button id, 0 on failure.
    virtual int ShowMessageBox(WindowHandle owner, const std::string& text,
                               const std::string& caption, std::uint32_t style) = 0;
};

}  // namespace nuben
