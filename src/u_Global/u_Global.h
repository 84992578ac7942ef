// The bootstrapper's routines and its two process-wide strings.
// Every routine reaches Windows only through the Platform it is handed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/platform.h"

namespace nuben {

// The process-wide state: one instance lives for the whole run (see the
// entry point); tests make their own.
struct GlobalState {
    explicit GlobalState(Platform& platform) : os(platform) {}
    Platform& os;
    // The beta's uninstall command line as its installer registered it.
    std::string UninstallCommand;
    // The temp folder exactly as GetTempPathA returned it.
    std::string TempDir;
};

// --- Installed-version probes.

// True when the beta's uninstall key opens and its DisplayName is exactly
// the product's Korean name. Each time the key opens, UninstallCommand
// takes its UninstallString ("" when missing), whatever the name was.
bool IsBetaInstalled(GlobalState& g);
// True when the "누벤 2.0" uninstall key exists.
bool IsVersion20Installed(GlobalState& g);

// --- Paths and text.

// Maps 'a'..'z' to 'A'..'Z' in every byte position, trail bytes included.
std::string AsciiUpper(const std::string& text);
// Appends a backslash unless the last byte is a backslash standing as a
// single-byte character (on DBCS systems a 0x5C after an odd run of
// lead-byte values is the second byte of a character).
std::string WithTrailingBackslash(Platform& os, const std::string& path);
// GetFileAttributesA succeeds and has the directory bit.
bool FolderExists(Platform& os, const std::string& path);
// An existing entry that is not a directory and whose last-write time
// converts to a local DOS date and time.
bool IsExistingFile(Platform& os, const std::string& path);

// --- Folder removal.

// Neither a folder nor a link, and not the failure value.
bool IsPlainFile(std::uint32_t attributes);
// Removes the entry at `path`, listed with `attributes`, as itself: a link as
// a link, never its target; a plain file once its attributes allow it. A plain
// folder is left alone, and so is what cannot be removed.
void RemoveEntryItself(Platform& os, const std::string& path, std::uint32_t attributes);

// Sets a file's attributes to FILE_ATTRIBUTE_NORMAL, so that DeleteFileA may
// remove it, through a handle on the entry itself: a link found there, also
// one put in its place since it was listed, is left as it is and never passes
// the change on to its target.
void ResetFileAttributes(Platform& os, const std::string& path);

// Empties a folder tree, read-only, hidden and system entries included.
// Refused paths are left alone, quietly; links are removed, never entered.
// Each folder is held open while it is emptied, so that no other process can
// put a link in its place; one that cannot be held as a plain folder is left.
void DeleteFolderContents(Platform& os, const std::string& path);
// Empties the folder, then removes it. Does nothing for a missing folder.
void RemoveFolder(Platform& os, const std::string& path);

// --- Version 2.0 clean-up.

// Removes the 2.0 install folder, the desktop shortcut, the Start-menu group
// and the registry keys, in that order. Reports nothing.
void RemoveVersion20(GlobalState& g);

// --- One run at a time.

// Claims the run for this copy with a named mutex, in the Global\ namespace,
// or the session's where global objects are refused; *claim owns it until the
// run ends. False when another copy holds the claim: this one must do nothing.
// True, owning nothing, when no mutex can be made at all.
bool ClaimSoleRun(Platform& os, unique_handle* claim);

// --- Process and window control.

// Posts WM_QUIT to every top-level window whose class (and, when `title`
// is not empty, text) match after AsciiUpper. False only for an empty class.
bool CloseAppWindows(Platform& os, const std::string& className, const std::string& title);
// Starts `commandLine` as given and waits, without limit, for it to go
// input-idle and then to end. Given `stillPending`, it then waits on, also
// without limit, while that answers true and a process the program started
// (directly or not) still runs: uninstallers that hand their work over to a
// copy of themselves end at once. False when it did not start, or could not
// be let run.
bool RunAndWait(Platform& os, const std::string& commandLine, std::uint16_t showCommand,
                const std::function<bool()>& stillPending = nullptr);

// --- Installer delivery.

// Writes the resource's bytes to `filePath`, made new: whatever stood under that name
// goes first, as itself (a link as a link). True only when all the bytes were written.
bool ExtractResourceToFile(Platform& os, ModuleHandle module, const std::string& typeName,
                           const std::string& resourceName, const std::string& filePath);

// The installer written into the temp folder, held with that folder, checked
// byte for byte and started suspended in a job that ends it with this run:
// until it is let run or dropped nobody can change, rename or replace it, nor
// lead its path elsewhere. Empty when delivery or the start failed.
class DeliveredInstaller {
  public:
    DeliveredInstaller() = default;
    // Out of line: the launch sequence's every return would otherwise carry the release.
    DeliveredInstaller(DeliveredInstaller&&) noexcept;
    DeliveredInstaller& operator=(DeliveredInstaller&&) noexcept;
    ~DeliveredInstaller();
    explicit operator bool() const { return process_.valid(); }
    // Unbinds the installer from this run and lets it run, without waiting.
    void LetRun(Platform& os);
    // Ends the installer unrun, then releases its file and removes it: it is
    // never started and not left behind.
    void Drop(Platform& os);

  private:
    friend DeliveredInstaller DeliverInstaller(GlobalState& g);
    unique_hfile folder_;
    unique_hfile file_;
    std::string asGiven_;  // TempDir, for a system that cannot say where the folder is
    unique_handle job_;
    unique_handle process_;
    unique_handle thread_;
};

// Writes the embedded installer into the temp folder, holds it, checks every
// byte and starts it suspended. Empty, leaving nothing behind, when any of that
// fails, a start that Windows refuses included.
DeliveredInstaller DeliverInstaller(GlobalState& g);

}  // namespace nuben
