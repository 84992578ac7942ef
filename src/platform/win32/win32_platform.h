// The real Platform: each method answers as the ANSI Win32 call (or the
// short, fixed sequence) that its contract in platform.h names answers on a
// system whose ANSI code page is 949, whatever the system's code page is:
// it calls the wide form and converts with code page 949 (text_949.h).
// Text that code page 949 cannot spell is never given a lookalike: the
// call fails as for a missing entry. This header does not include
// <windows.h>; the layer's files, one for each group of the seam, do.
#pragma once

#include "platform/platform.h"

namespace nuben {

class Win32Platform final : public Platform {
  public:
    long OpenRegistryKey(KeyHandle base, const std::string& path, std::uint32_t access,
                         KeyHandle* out) override;
    long QueryRegistryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override;
    long QueryRegistryKeyInfo(KeyHandle key, std::uint32_t* subkeys,
                              std::uint32_t* maxSubkeyLen) override;
    long EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override;
    long DeleteRegistryKey(KeyHandle base, const std::string& path) override;
    long CloseRegistryKey(KeyHandle key) override;

    bool IsWindowsNt() override;
    bool IsDbcsEnabled() override;
    bool IsLeadByte(std::uint8_t byte) override;
    std::string UpperCaseText(const std::string& text) override;

    std::uint32_t FileAttributesOf(const std::string& path) override;
    bool ChangeFileAttributes(const std::string& path, std::uint32_t attributes) override;
    FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry) override;
    bool FindNextEntry(FindHandle find, FindEntry* entry) override;
    bool CloseFind(FindHandle find) override;
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyDirectory(const std::string& path) override;
    FileHandle CreateNewFileForWriting(const std::string& path, std::uint32_t* error) override;
    bool WriteToFile(FileHandle file, const void* data, std::uint32_t size,
                     std::uint32_t* written) override;
    FileHandle OpenFileToHold(const std::string& path, std::uint32_t* error) override;
    bool ReadFromFile(FileHandle file, void* data, std::uint32_t size,
                      std::uint32_t* read) override;
    bool CloseFile(FileHandle file) override;
    FileHandle OpenFolderToHold(const std::string& path) override;
    FileHandle OpenFolderToHoldThroughLink(const std::string& path) override;
    std::uint32_t HeldAttributesOf(FileHandle file) override;
    bool FinalPathOfHeld(FileHandle file, std::string* path) override;
    FileHandle OpenEntryToChange(const std::string& path) override;
    bool ChangeHeldAttributes(FileHandle file, std::uint32_t attributes) override;
    FileHandle HoldTempFolder() override;
    FileHandle CreateNewFileIn(FileHandle folder, const std::string& asGiven,
                               const std::string& name, std::uint32_t* error) override;
    FileHandle OpenFileToHoldIn(FileHandle folder, const std::string& asGiven,
                                const std::string& name, std::uint32_t* error) override;
    bool RemoveEntryIn(FileHandle folder, const std::string& asGiven,
                       const std::string& name) override;
    std::string TempFolderPath() override;
    bool ChangeCurrentDirectory(const std::string& path) override;
    std::string FullPathOf(const std::string& path) override;
    bool ConvertsToLocalDosTime(std::uint64_t fileTime) override;

    std::string SpecialFolderPath(int csidl) override;
    std::string SpecialFolderOrAbove(int csidl) override;
    bool KnownFolderPaths(std::vector<std::string>* paths) override;

    ModuleHandle OwnModule() override;
    ResourceInfo FindResourceIn(ModuleHandle module, const std::string& name,
                                const std::string& type) override;
    ResourceData LoadResourceData(ModuleHandle module, ResourceInfo info) override;
    std::uint32_t ResourceSize(ModuleHandle module, ResourceInfo info) override;
    const void* LockResourceData(ResourceData data) override;
    void ReleaseResourceData(ResourceData data) override;

    bool StartProcess(const ProcessStart& request, StartedProcess* started) override;
    std::uint32_t WaitUntilInputIdle(ProcessHandle process, std::uint32_t timeoutMs) override;
    std::uint32_t WaitUntilSignalled(ProcessHandle handle, std::uint32_t timeoutMs) override;
    bool CloseProcessHandle(ProcessHandle handle) override;
    bool EndStartedProcess(ProcessHandle process) override;
    ProcessHandle CreateNamedMutex(const std::string& name, bool* alreadyExisted) override;
    ProcessHandle NewJob(std::uint32_t limits) override;
    bool ChangeJobLimits(ProcessHandle job, std::uint32_t limits) override;
    bool PutProcessInJob(ProcessHandle job, ProcessHandle process) override;
    bool ResumeStartedThread(ProcessHandle thread) override;
    bool CountJobProcesses(ProcessHandle job, std::uint32_t* active) override;
    void Pause(std::uint32_t milliseconds) override;

    WindowHandle DesktopWindow() override;
    WindowHandle RelatedWindow(WindowHandle window, std::uint32_t command) override;
    bool IsLiveWindow(WindowHandle window) override;
    int ClassNameOf(WindowHandle window, char* buffer, int size) override;
    int WindowTextOf(WindowHandle window, char* buffer, int size) override;
    int SystemWindowTextOf(WindowHandle window, char* buffer, int size) override;
    bool PostMessageTo(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) override;
    int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                       std::uint32_t style) override;

  private:
    // A system fact that cannot change while the process runs, asked once:
    // DeleteKeyTree asks for every key it visits. -1: not asked yet.
    int windowsNt_ = -1;
};

}  // namespace nuben
