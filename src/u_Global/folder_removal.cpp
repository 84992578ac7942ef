#include <utility>

#include "platform/ansi_text.h"
#include "platform/handles.h"
#include "u_Global/folder_guard.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

// True for a name that is not one element of the folder it was listed in:
// "." and "..", other runs of dots and blanks (they resolve to a parent), or
// a name holding a separator. Windows keeps names in Unicode and the ANSI
// conversion turns characters the code page lacks into a best fit: the won
// sign (949) and the yen sign (932) arrive as 0x5C, so "..₩..₩WINDOWS"
// listed in a user's own folder would otherwise lead the walk out of the tree.
bool IsForeignName(Platform& os, const std::string& name) {
    return name.find_first_not_of(". ") == std::string::npos || HoldsSingleByte(os, name, "\\/");
}

bool IsPlainFolder(std::uint32_t attributes) {
    return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0 &&
           (attributes & kFileAttributeReparsePoint) == 0;
}

// Holds the folder at `path` (no trailing backslash) so that it cannot be
// renamed, replaced or removed while it is emptied: every path below it then
// stays what was checked. Invalid unless what is held is a plain folder, by
// handle (Windows opens a link itself) and by path (Wine 8 opens a Unix
// symbolic link's target, but lists the link as a reparse point).
unique_hfile HoldPlainFolder(Platform& os, const std::string& path) {
    unique_hfile held(os, os.OpenFolderToHold(path));
    if (held && (!IsPlainFolder(os.HeldAttributesOf(held.get())) ||
                 !IsPlainFolder(os.FileAttributesOf(path)))) {
        held.reset();
    }
    return held;
}

void EmptyTree(Platform& os, const std::string& folder);

// Empties and removes the held folder `path`.
void RemoveHeldFolder(Platform& os, unique_hfile held, const std::string& path,
                      const std::string& folder) {
    EmptyTree(os, folder);
    // Still held, so the path still names this folder and no link put in its place.
    os.ChangeFileAttributes(path, kFileAttributeNormal);
    // RemoveDirectoryA needs the delete access that the hold denies to all.
    held.reset();
    os.RemoveEmptyDirectory(path);
}

// Empties `folder` (which ends with a backslash and is held by the caller).
// Entries that cannot be removed stay, and so do the folders above them.
void EmptyTree(Platform& os, const std::string& folder) {
    FindEntry entry;
    const unique_hfind find(os, os.FindFirstEntry(folder + "*.*", &entry));
    if (!find) return;
    do {
        if (IsForeignName(os, entry.name)) continue;
        const std::string full = folder + entry.name;
        if (IsPlainFolder(entry.attributes)) {
            // Listed as a plain folder, but another process may have put a link
            // in its place since: only a folder that holds as plain is entered.
            unique_hfile held = HoldPlainFolder(os, full);
            if (held) RemoveHeldFolder(os, std::move(held), full, WithTrailingBackslash(os, full));
        } else {
            RemoveEntryItself(os, full, entry.attributes);
        }
    } while (os.FindNextEntry(find.get(), &entry));
}

// Holds the folder that `path` names, then asks the guard about it, so that
// the verdict holds for what is emptied. *folder receives the normalised
// path; invalid when the folder cannot be held or is refused.
unique_hfile HoldRemovableFolder(Platform& os, const std::string& path, std::string* folder) {
    // The guard refuses these anyway; a network path is then not even opened.
    if (!IsDriveAbsolute(path)) return unique_hfile();
    const std::string full = os.FullPathOf(path);
    if (full.empty()) return unique_hfile();
    const std::string expected = WithTrailingBackslash(os, full);
    unique_hfile held = HoldPlainFolder(
        os, expected.size() > 3 ? expected.substr(0, expected.size() - 1) : expected);
    if (!held || CheckRemovableFolder(os, path, folder, held.get()) != FolderRefusal::kAllowed ||
        *folder != expected) {
        return unique_hfile();
    }
    return held;
}

}  // namespace

bool IsPlainFile(std::uint32_t attributes) {
    return attributes != kInvalidFileAttributes &&
           (attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) == 0;
}

void RemoveEntryItself(Platform& os, const std::string& path, std::uint32_t attributes) {
    if (attributes == kInvalidFileAttributes) return;
    const bool isFolder = (attributes & kFileAttributeDirectory) != 0;
    if ((attributes & kFileAttributeReparsePoint) != 0) {
        // A link goes as a link, never entered, its attributes untouched:
        // SetFileAttributesA would reach through it to its target.
        if (isFolder) {
            os.RemoveEmptyDirectory(path);
        } else {
            os.RemoveFile(path);
        }
    } else if (!isFolder) {
        ResetFileAttributes(os, path);
        os.RemoveFile(path);
    }
}

void ResetFileAttributes(Platform& os, const std::string& path) {
    const unique_hfile entry(os, os.OpenEntryToChange(path));
    // By handle, as Windows opens a link itself; by path, as Wine 8 opens a
    // Unix symbolic link's target but shows the link as a reparse point.
    if (entry && IsPlainFile(os.HeldAttributesOf(entry.get())) &&
        IsPlainFile(os.FileAttributesOf(path))) {
        os.ChangeHeldAttributes(entry.get(), kFileAttributeNormal);
    }
}

void DeleteFolderContents(Platform& os, const std::string& path) {
    std::string folder;
    const unique_hfile held = HoldRemovableFolder(os, path, &folder);
    if (held) EmptyTree(os, folder);
}

void RemoveFolder(Platform& os, const std::string& path) {
    std::string folder;
    // The same refusals hold for the folder itself: an empty protected
    // folder must not go either. A missing folder is not held. Named by its
    // normalised path only: a spelling such as "X\." would name it through
    // an alias that the system may resolve otherwise.
    unique_hfile held = HoldRemovableFolder(os, path, &folder);
    if (held) {
        RemoveHeldFolder(os, std::move(held), folder.substr(0, folder.size() - 1), folder);
    }
}

}  // namespace nuben
