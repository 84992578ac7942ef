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

// A virus scanner opens each new program file on its own for a moment, the
// moment its writer closes it: a hold or a start refused for sharing or access
// is tried again, for about 3 s in all. Any other error, "virus detected"
// (225, 226) included, is final.
constexpr int kScannerTries = 30;
constexpr std::uint32_t kScannerPauseMs = 100;

template <typename Attempt>
bool TryPastAScanner(Platform& os, Attempt attempt) {
    for (int tries = 1;; ++tries) {
        std::uint32_t error = 0;
        if (attempt(&error)) return true;
        if (tries == kScannerTries ||
            (error != static_cast<std::uint32_t>(kErrorSharingViolation) &&
             error != static_cast<std::uint32_t>(kErrorAccessDenied)))
            return false;
        os.Pause(kScannerPauseMs);
    }
}

// Makes a new file with `create` and writes `size` bytes into it. An earlier
// file that a scanner still has open, with delete sharing, is only pending
// deletion, and its name refuses the create until the scanner lets go.
template <typename Create>
bool WriteNewFile(Platform& os, const void* bytes, std::uint32_t size, Create create) {
    unique_hfile file;
    TryPastAScanner(os, [&](std::uint32_t* error) {
        file = unique_hfile(os, create(error));
        return file.valid();
    });
    std::uint32_t written = 0;
    // A short write would leave a truncated installer that must never be started.
    return file && os.WriteToFile(file.get(), bytes, size, &written) && written == size;
}

// Opens the written installer in its folder so that nobody can write,
// replace, rename or delete it until the hold ends, then checks that it is
// still the payload, every byte: between the write and the hold another
// process may have written its own program over it. Invalid when that cannot
// be made sure.
unique_hfile HoldDeliveredInstaller(Platform& os, FileHandle folder, const std::string& asGiven) {
    unique_hfile held;
    TryPastAScanner(os, [&](std::uint32_t* error) {
        held = unique_hfile(os, os.OpenFileToHoldIn(folder, asGiven, kInstallerFileName, error));
        return held.valid();
    });
    if (!held || !IsPlainFile(os.HeldAttributesOf(held.get()))) return unique_hfile();
    unique_hresource loaded;
    std::uint32_t size = 0;
    const void* bytes = LockPayload(os, os.OwnModule(), kPayloadType, kPayloadName, &loaded, &size);
    if (bytes == nullptr || !HoldsExactly(os, held.get(), bytes, size)) return unique_hfile();
    return held;
}

// Bound to this run until let go: a bootstrapper that dies on the way (ended,
// crashed, logged off) leaves no suspended installer holding its file. Its own
// children never join the job, nor fail to start for it.
constexpr std::uint32_t kLetGoLimits =
    kJobObjectLimitBreakawayOk | kJobObjectLimitSilentBreakawayOk;
constexpr std::uint32_t kBoundLimits = kLetGoLimits | kJobObjectLimitKillOnJobClose;

// Starts the held installer suspended, where it really is, with its folder
// current. Windows makes its policy, image and scanner checks when it
// creates the process, so a refusal is known before anything is removed. The
// program is named explicitly and as a quoted first argument: an unquoted path
// with blanks ("C:\Documents and Settings\...") would let "C:\Documents.exe"
// start instead. The paths given serve only a system that cannot say where
// the held file and folder are.
bool StartInstaller(Platform& os, FileHandle file, FileHandle folder, const std::string& asGiven,
                    StartedProcess* started) {
    ProcessStart request;
    request.program = file;
    request.applicationName = asGiven + kInstallerFileName;
    request.commandLine = "\"" + request.applicationName + "\"";
    request.inheritHandles = false;
    request.creationFlags = kCreateSuspended;
    request.startup.size = kStartupInfoSize;
    request.startup.flags = kStartfUseShowWindow;
    request.startup.showWindow = kSwShowNormal;
    // The installer's current folder alone: this run keeps its own for the
    // beta's uninstaller, started later.
    request.currentFolder = folder;
    request.currentDirectory = asGiven;
    // Run elevated from the temp folder, the installer must not load a DLL
    // that someone put there under a system DLL's name.
    request.preferSystem32Dlls = true;
    return TryPastAScanner(os, [&](std::uint32_t* error) {
        if (os.StartProcess(request, started)) return true;
        // Windows before 10 version 1607 knows no such policy: start it plainly from now on.
        if (started->error == kErrorInvalidParameter && request.preferSystem32Dlls) {
            request.preferSystem32Dlls = false;
            if (os.StartProcess(request, started)) return true;
        }
        *error = started->error;
        return false;
    });
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
    return WriteNewFile(os, bytes, size, [&](std::uint32_t* error) {
        return os.CreateNewFileForWriting(filePath, error);
    });
}

DeliveredInstaller DeliverInstaller(GlobalState& g) {
    Platform& os = g.os;
    g.TempDir = os.TempFolderPath();
    // The folder is held, and the installer written, checked and started in
    // it, as Windows names it: a Temp moved and linked, a SUBST or a mapped
    // drive, a name that code page 949 cannot spell all work, and no link above
    // it can be re-pointed before the start. TempDir as given serves only a
    // system that cannot say where a held folder is.
    DeliveredInstaller installer;
    installer.folder_ = unique_hfile(os, os.HoldTempFolder());
    if (!installer.folder_) return DeliveredInstaller();
    installer.asGiven_ = g.TempDir;
    const FileHandle folder = installer.folder_.get();
    unique_hresource loaded;
    std::uint32_t size = 0;
    const void* bytes = LockPayload(os, os.OwnModule(), kPayloadType, kPayloadName, &loaded, &size);
    // Made new, never written through a link: an earlier file or link under
    // the name goes first, as itself.
    if (bytes != nullptr) os.RemoveEntryIn(folder, g.TempDir, kInstallerFileName);
    if (bytes != nullptr && WriteNewFile(os, bytes, size, [&](std::uint32_t* error) {
            return os.CreateNewFileIn(folder, g.TempDir, kInstallerFileName, error);
        })) {
        installer.file_ = HoldDeliveredInstaller(os, folder, g.TempDir);
    }
    StartedProcess started;
    if (installer.file_ && StartInstaller(os, installer.file_.get(), folder, g.TempDir, &started)) {
        installer.process_ = unique_handle(os, started.process);
        installer.thread_ = unique_handle(os, started.thread);
        installer.job_ = unique_handle(os, os.NewJob(kBoundLimits));
        // Refused in a job that forbids nesting (Windows 7 and older): the
        // installer goes on unbound, as refusing it would refuse every install there.
        if (!os.PutProcessInJob(installer.job_.get(), installer.process_.get()))
            installer.job_.reset();
    }
    // Not written whole (a full disk), not the payload, not to be had, or
    // refused its start: it is never started, by us or by hand, nor left behind.
    if (!installer) installer.Drop(os);
    return installer;
}

DeliveredInstaller::DeliveredInstaller(DeliveredInstaller&&) noexcept = default;
DeliveredInstaller& DeliveredInstaller::operator=(DeliveredInstaller&&) noexcept = default;
DeliveredInstaller::~DeliveredInstaller() = default;

void DeliveredInstaller::LetRun(Platform& os) {
    if (!process_) return;
    // The installer must outlive this run: the kill goes before it runs. Where
    // it cannot go, this run's end would end the installer, so it waits for it.
    const bool stillBound = job_ && !os.ChangeJobLimits(job_.get(), kLetGoLimits);
    // One that cannot run is ended, never left suspended for good.
    if (!os.ResumeStartedThread(thread_.get())) {
        os.EndStartedProcess(process_.get());
    } else if (stillBound) {
        os.WaitUntilSignalled(process_.get(), kInfinite);
    }
}

void DeliveredInstaller::Drop(Platform& os) {
    // Ended unrun; its file can go once its image is gone.
    if (process_ && os.EndStartedProcess(process_.get()))
        os.WaitUntilSignalled(process_.get(), kInfinite);
    file_.reset();
    // The folder is still held: the name is removed as itself, in that folder.
    os.RemoveEntryIn(folder_.get(), asGiven_, kInstallerFileName);
    *this = DeliveredInstaller();
}

}  // namespace nuben
