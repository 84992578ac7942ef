// Processes, jobs and the one-run mutex; command lines and names in code
// page 949.
#include <cstring>
#include <string>

#include "platform/win32/text_949.h"
#include "platform/win32/win32_common.h"
#include "platform/win32/win32_platform.h"

namespace nuben {
using namespace win32;

namespace {

LateImport g_WaitForInputIdle(L"user32.dll", "WaitForInputIdle");
// From Vista on; imported late so that older systems still start.
LateImport g_InitializeProcThreadAttributeList(L"kernel32.dll",
                                               "InitializeProcThreadAttributeList");
LateImport g_UpdateProcThreadAttribute(L"kernel32.dll", "UpdateProcThreadAttribute");
LateImport g_DeleteProcThreadAttributeList(L"kernel32.dll", "DeleteProcThreadAttributeList");

// The one-attribute list that asks for System32 DLLs first, owned until the
// process has been created. Looked up at run time: Vista has attribute lists.
class MitigationAttribute {
  public:
    MitigationAttribute() = default;
    MitigationAttribute(const MitigationAttribute&) = delete;
    MitigationAttribute& operator=(const MitigationAttribute&) = delete;
    ~MitigationAttribute() {
        using DeleteFn = VOID(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);
        const auto deleteList = g_DeleteProcThreadAttributeList.Get<DeleteFn>();
        if (built_ && deleteList != nullptr) deleteList(list());
    }

    bool Build() {
        using InitializeFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
        using UpdateFn = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID,
                                       SIZE_T, PVOID, PSIZE_T);
        const auto initialize = g_InitializeProcThreadAttributeList.Get<InitializeFn>();
        const auto update = g_UpdateProcThreadAttribute.Get<UpdateFn>();
        if (initialize == nullptr || update == nullptr) return false;
        SIZE_T size = 0;
        initialize(nullptr, 1, 0, &size);  // fails by design, with the size it needs
        if (size == 0 || size > sizeof storage_) return false;
        if (!initialize(list(), 1, 0, &size)) return false;
        built_ = true;
        return update(list(), 0, PROC_THREAD_ATTRIBUTE_MITIGATION_POLICY, &policy_, sizeof policy_,
                      nullptr, nullptr) != FALSE;
    }

    LPPROC_THREAD_ATTRIBUTE_LIST list() {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_);
    }

  private:
    // One attribute needs 48 bytes on 32-bit Windows; room to spare, no heap.
    alignas(8) unsigned char storage_[128] = {};
    // The attribute points at this value until the list is deleted.
    DWORD64 policy_ = PROCESS_CREATION_MITIGATION_POLICY_IMAGE_LOAD_PREFER_SYSTEM32_ALWAYS_ON;
    bool built_ = false;
};

}  // namespace

bool Win32Platform::StartProcess(const ProcessStart& request, StartedProcess* started) {
    // Windows refuses longer command lines; Wine 8 starts the program with
    // the line cut to its length modulo 65,536 instead, a different command.
    if (request.commandLine.size() >= kMaxCommandLine) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        started->error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // A private, writable copy: CreateProcessW may write into its command
    // line. Text that is no code page 949 names nothing to start.
    WideCommandLine commandLine;
    WideBuffer<kCommandLineChars, true> application;
    WidePath folder;
    if (!commandLine.Assign(request.commandLine) ||
        (!request.applicationName.empty() && !application.Assign(request.applicationName)) ||
        (!request.currentDirectory.empty() && !folder.Assign(request.currentDirectory))) {
        started->error = GetLastError();
        return false;
    }

    // A held program and folder are named as Windows names them, wherever they
    // really are; the strings given serve where the system cannot say.
    std::wstring program;
    std::wstring programFolder;
    const bool heldProgram = request.program != 0 && HeldPath(request.program, &program);
    if (heldProgram) {
        if (program.size() + 2 >= kCommandLineChars) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            started->error = ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
        commandLine.get()[0] = L'"';
        program.copy(commandLine.get() + 1, program.size());
        commandLine.get()[program.size() + 1] = L'"';
        commandLine.get()[program.size() + 2] = L'\0';
    }
    const bool heldFolder =
        request.currentFolder != 0 && HeldPath(request.currentFolder, &programFolder);

    STARTUPINFOEXW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.StartupInfo.cb = request.startup.size;
    startup.StartupInfo.dwFlags = request.startup.flags;
    startup.StartupInfo.wShowWindow = request.startup.showWindow;
    DWORD flags = request.creationFlags;
    MitigationAttribute mitigation;
    if (request.preferSystem32Dlls) {
        if (!mitigation.Build()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            started->error = ERROR_INVALID_PARAMETER;
            return false;
        }
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = mitigation.list();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }

    PROCESS_INFORMATION info{};
    const wchar_t* applicationName = heldProgram                       ? program.c_str()
                                     : request.applicationName.empty() ? nullptr
                                                                       : application.get();
    const wchar_t* currentDirectory = heldFolder                         ? programFolder.c_str()
                                      : request.currentDirectory.empty() ? nullptr
                                                                         : folder.get();
    const BOOL ok = CreateProcessW(applicationName, commandLine.get(), nullptr, nullptr,
                                   request.inheritHandles ? TRUE : FALSE, flags, nullptr,
                                   currentDirectory, &startup.StartupInfo, &info);
    if (!ok) {
        started->error = GetLastError();
        return false;
    }
    started->process = FromPointer(info.hProcess);
    started->thread = FromPointer(info.hThread);
    return true;
}

std::uint32_t Win32Platform::WaitUntilInputIdle(ProcessHandle process, std::uint32_t timeoutMs) {
    auto waitForInputIdle = g_WaitForInputIdle.Get<decltype(&WaitForInputIdle)>();
    return waitForInputIdle ? waitForInputIdle(ToHandle(process), timeoutMs) : WAIT_FAILED;
}

std::uint32_t Win32Platform::WaitUntilSignalled(ProcessHandle handle, std::uint32_t timeoutMs) {
    return WaitForSingleObject(ToHandle(handle), timeoutMs);
}

bool Win32Platform::CloseProcessHandle(ProcessHandle handle) {
    return CloseHandle(ToHandle(handle)) != FALSE;
}

bool Win32Platform::EndStartedProcess(ProcessHandle process) {
    return TerminateProcess(ToHandle(process), 1) != FALSE;
}

ProcessHandle Win32Platform::CreateNamedMutex(const std::string& name, bool* alreadyExisted) {
    *alreadyExisted = false;
    // CreateMutexA takes names of fewer than MAX_PATH characters.
    WideBuffer<kAnsiPathChars> wide;
    if (!wide.Assign(name, MAX_PATH - 1)) return 0;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.get());
    *alreadyExisted = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    return FromPointer(mutex);
}

ProcessHandle Win32Platform::NewJob(std::uint32_t limits) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr && !ChangeJobLimits(FromPointer(job), limits)) {
        CloseHandle(job);
        return 0;
    }
    return FromPointer(job);
}

bool Win32Platform::ChangeJobLimits(ProcessHandle job, std::uint32_t limits) {
    // The extended class, as Wine takes no other for limits; Windows takes both.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    info.BasicLimitInformation.LimitFlags = limits;
    return SetInformationJobObject(ToHandle(job), JobObjectExtendedLimitInformation, &info,
                                   sizeof info) != FALSE;
}

bool Win32Platform::PutProcessInJob(ProcessHandle job, ProcessHandle process) {
    return AssignProcessToJobObject(ToHandle(job), ToHandle(process)) != FALSE;
}

bool Win32Platform::ResumeStartedThread(ProcessHandle thread) {
    return ResumeThread(ToHandle(thread)) != static_cast<DWORD>(-1);
}

bool Win32Platform::CountJobProcesses(ProcessHandle job, std::uint32_t* active) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(ToHandle(job), JobObjectBasicAccountingInformation, &info,
                                   sizeof info, nullptr))
        return false;
    *active = info.ActiveProcesses;
    return true;
}

void Win32Platform::Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace nuben
