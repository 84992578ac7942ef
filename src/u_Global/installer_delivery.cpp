#include <cstring>
#include <vector>

#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

constexpr const char* kInstallerFileName = "nuben_setup.exe";
constexpr const char* kPayloadType = "EXE";
constexpr const char* kPayloadName = "SETUP_FILE";
// The held file is read back in pieces of this size: memory stays flat
// however large the installer is.
constexpr std::uint32_t kCompareChunk = 256 * 1024;

// The resource's bytes, valid while *loaded lives; nullptr when it cannot be had.
const void* LockPayload(Platform& os, ModuleHandle module, const std::string& typeName,
                        const std::string& resourceName, unique_hresource* loaded,
                        std::uint32_t* size) {
    const ResourceInfo info = os.FindResourceIn(module, resourceName, typeName);
    if (info == 0) return nullptr;
    *loaded = unique_hresource(os, os.LoadResourceData(module, info));
    if (!*loaded) return nullptr;
    *size = os.ResourceSize(module, info);
    if (*size == 0) return nullptr;
    return os.LockResourceData(loaded->get());
}

// True when the handle holds a plain file at `path` itself, not one that a
// link above it led elsewhere. Compared in long, normalised form, as
// GetTempPathA often answers with 8.3 names. Where the system cannot say
// (before Vista), the byte check after the hold still stands.
bool IsFileAt(Platform& os, FileHandle file, const std::string& path) {
    if (!IsPlainFile(os.HeldAttributesOf(file))) return false;
    std::string final;
    if (!os.FinalPathOfHeld(file, &final)) return true;
    const std::string expected = os.FullPathOf(path);
    if (final.empty() || expected.empty()) return false;
    if (AsciiUpper(final) == AsciiUpper(expected)) return true;
    const std::string upper = os.UpperCaseText(final);
    return !upper.empty() && upper == os.UpperCaseText(expected);
}

// True when the held file holds exactly `size` bytes equal to `bytes`.
bool HoldsExactly(Platform& os, FileHandle file, const void* bytes, std::uint32_t size) {
    std::vector<char> chunk(kCompareChunk);
    const char* expected = static_cast<const char*>(bytes);
    std::uint32_t offset = 0;
    for (;;) {
        std::uint32_t read = 0;
        if (!os.ReadFromFile(file, chunk.data(), kCompareChunk, &read)) return false;
        if (read == 0) return offset == size;
        if (read > kCompareChunk || read > size - offset ||
            std::memcmp(chunk.data(), expected + offset, read) != 0) {
            return false;
        }
        offset += read;
    }
}

// Opens the written installer so that nobody can write, replace, rename or
// delete it until the hold ends, then checks that it is still the payload,
// every byte: between the write and the hold another process may have
// written its own program over it. Invalid when that cannot be made sure.
unique_hfile HoldDeliveredInstaller(Platform& os, const std::string& path) {
    std::uint32_t error = 0;
    unique_hfile held(os, os.OpenFileToHold(path, &error));
    if (!held || !IsFileAt(os, held.get(), path)) return unique_hfile();
    unique_hresource loaded;
    std::uint32_t size = 0;
    const void* bytes = LockPayload(os, os.OwnModule(), kPayloadType, kPayloadName, &loaded, &size);
    if (bytes == nullptr || !HoldsExactly(os, held.get(), bytes, size)) return unique_hfile();
    return held;
}

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
    // Run elevated from the temp folder, the installer must not load a DLL
    // that someone put there under a system DLL's name.
    request.preferSystem32Dlls = true;
    StartedProcess started;
    if (!os.StartProcess(request, &started)) {
        // Windows before 10 version 1607 knows no such policy: start it plainly, once.
        if (started.error != kErrorInvalidParameter) return;
        request.preferSystem32Dlls = false;
        if (!os.StartProcess(request, &started)) return;
    }
    // No wait of any kind: the bootstrapper ends while the installer runs.
    unique_process_information info;
    info.process = unique_handle(os, started.process);
    info.thread = unique_handle(os, started.thread);
}

}  // namespace

bool ExtractResourceToFile(Platform& os, ModuleHandle module, const std::string& typeName,
                           const std::string& resourceName, const std::string& filePath) {
    unique_hresource loaded;
    std::uint32_t size = 0;
    const void* bytes = LockPayload(os, module, typeName, resourceName, &loaded, &size);
    if (bytes == nullptr) return false;
    // Made new, never written through a link another process left under the
    // name: an earlier file or link goes first, as itself. One that cannot go
    // (an earlier installer still running) makes the create fail.
    RemoveEntryItself(os, filePath, os.FileAttributesOf(filePath));
    // Declared after `loaded`, so the file is closed before the resource is released.
    const unique_hfile file(os, os.CreateNewFileForWriting(filePath));
    if (!file || !IsFileAt(os, file.get(), filePath)) return false;
    std::uint32_t written = 0;
    // A short write would leave a truncated installer that must never be started.
    return os.WriteToFile(file.get(), bytes, size, &written) && written == size;
}

void DeliverInstaller(GlobalState& g) {
    Platform& os = g.os;
    g.TempDir = os.TempFolderPath();
    const std::string target = g.TempDir + kInstallerFileName;
    if (!ExtractResourceToFile(os, os.OwnModule(), kPayloadType, kPayloadName, target)) return;
    // Held until CreateProcessA has returned; the started image then keeps
    // the file from being changed itself.
    const unique_hfile held = HoldDeliveredInstaller(os, target);
    if (!held) return;
    // The installer inherits the temp folder as its working directory.
    os.ChangeCurrentDirectory(g.TempDir);
    StartInstaller(os, target);
}

}  // namespace nuben
