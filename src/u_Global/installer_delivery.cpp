#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

constexpr const char* kInstallerFileName = "nuben_setup.exe";
constexpr const char* kPayloadType = "EXE";
constexpr const char* kPayloadName = "SETUP_FILE";

// Starts the installer and lets it run on. The path is both the explicit
// program and a quoted first argument: an unquoted path with blanks
// ("C:\Documents and Settings\...") would let "C:\Documents.exe" start instead.
void StartInstaller(Platform& os, const std::string& path) {
    ProcessStart request;
    request.applicationName = path;
    request.commandLine = "\"" + path + "\"";
    request.inheritHandles = false;
    request.startup.size = kStartupInfoSize;
    request.startup.flags = kStartfUseShowWindow;
    request.startup.showWindow = kSwShowNormal;
    StartedProcess started;
    if (!os.StartProcess(request, &started)) return;
    // No wait of any kind: the bootstrapper ends while the installer runs.
    unique_process_information info;
    info.process = unique_handle(os, started.process);
    info.thread = unique_handle(os, started.thread);
}

}  // namespace

bool ExtractResourceToFile(Platform& os, ModuleHandle module, const std::string& typeName,
                           const std::string& resourceName, const std::string& filePath) {
    const ResourceInfo info = os.FindResourceIn(module, resourceName, typeName);
    if (info == 0) return false;
    const unique_hresource loaded(os, os.LoadResourceData(module, info));
    if (!loaded) return false;
    const std::uint32_t size = os.ResourceSize(module, info);
    if (size == 0) return false;
    const void* bytes = os.LockResourceData(loaded.get());
    if (bytes == nullptr) return false;
    // Declared after `loaded`, so the file is closed before the resource is released.
    const unique_hfile file(os, os.CreateFileForWriting(filePath));
    if (!file) return false;
    std::uint32_t written = 0;
    // A short write would leave a truncated installer that must never be started.
    return os.WriteToFile(file.get(), bytes, size, &written) && written == size;
}

void DeliverInstaller(GlobalState& g) {
    Platform& os = g.os;
    g.TempDir = os.TempFolderPath();
    const std::string target = g.TempDir + kInstallerFileName;
    if (!ExtractResourceToFile(os, os.OwnModule(), kPayloadType, kPayloadName, target)) return;
    // The installer inherits the temp folder as its working directory.
    os.ChangeCurrentDirectory(g.TempDir);
    StartInstaller(os, target);
}

}  // namespace nuben
