#include <array>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

// Well-known folders that a registry value must never be able to empty:
// the machine's and the current user's, 32- and 64-bit variants alike.
// Without the core ones nothing can be judged safe: a guard that knew only
// the drive roots emptied C:\WINDOWS when the shell could not be loaded.
// The others may be absent (the x86 ones on 32-bit Windows).
struct ProtectedCsidl {
    int csidl;
    bool core;
};
constexpr std::array<ProtectedCsidl, 20> kProtectedCsidls = {{
    {0x0024, true},   // CSIDL_WINDOWS
    {0x0025, true},   // CSIDL_SYSTEM
    {0x0029, false},  // CSIDL_SYSTEMX86
    {0x0026, true},   // CSIDL_PROGRAM_FILES
    {0x002A, false},  // CSIDL_PROGRAM_FILESX86
    {0x002B, false},  // CSIDL_PROGRAM_FILES_COMMON
    {0x002C, false},  // CSIDL_PROGRAM_FILES_COMMONX86
    {0x0023, true},   // CSIDL_COMMON_APPDATA
    {0x0019, false},  // CSIDL_COMMON_DESKTOPDIRECTORY
    {0x002E, false},  // CSIDL_COMMON_DOCUMENTS
    {0x0016, false},  // CSIDL_COMMON_STARTMENU
    {0x0017, false},  // CSIDL_COMMON_PROGRAMS
    {0x0028, true},   // CSIDL_PROFILE
    {0x0010, true},   // CSIDL_DESKTOPDIRECTORY
    {0x0005, false},  // CSIDL_PERSONAL (documents)
    {0x000B, true},   // CSIDL_STARTMENU
    {0x0002, true},   // CSIDL_PROGRAMS
    {0x001A, true},   // CSIDL_APPDATA
    {0x001C, false},  // CSIDL_LOCAL_APPDATA
    {0x0020, false},  // CSIDL_INTERNET_CACHE
}};

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\" followed by anything: the only form a folder to be emptied may take.
bool IsDriveAbsolute(const std::string& path) {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

// An element such as "PROGRA~1" may be the short alias of a protected folder,
// and normalisation does not expand aliases of folders that do not exist.
bool HasShortNameAlias(const std::string& path) {
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i] == '~' && path[i + 1] >= '0' && path[i + 1] <= '9') return true;
    }
    return false;
}

// True when the folder or one above it is a folder link (junction, symbolic
// link, mount point): its real place, and so what it holds, is elsewhere.
bool ReachedThroughLink(Platform& os, const std::string& folder) {
    for (std::size_t end = 3; end < folder.size(); ++end) {
        if (folder[end] != '\\') continue;
        const std::uint32_t attributes = os.FileAttributesOf(folder.substr(0, end));
        if (attributes != INVALID_FILE_ATTRIBUTES_VALUE &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT_BIT) != 0) {
            return true;
        }
    }
    return false;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

// `outer` (with trailing backslash) is `inner` or one of the folders above it,
// in any letter case: "C:\USERS\ИВАН\" names the profile "C:\Users\Иван\".
bool ContainsOrEquals(Platform& os, const std::string& outer, const std::string& inner) {
    if (StartsWith(AsciiUpper(inner), AsciiUpper(outer))) return true;
    const std::string upperOuter = os.UpperCaseText(outer);
    const std::string upperInner = os.UpperCaseText(inner);
    // What cannot be compared cannot be cleared either.
    if (upperOuter.empty() || upperInner.empty()) return true;
    return StartsWith(upperInner, upperOuter);
}

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
    return attributes != INVALID_FILE_ATTRIBUTES_VALUE &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY_BIT) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT_BIT) == 0;
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
    os.ChangeFileAttributes(path, FILE_ATTRIBUTE_NORMAL_VALUE);
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
        const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY_BIT) != 0;
        if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT_BIT) != 0) {
            // A link goes as a link, never entered, its attributes untouched:
            // SetFileAttributesA would reach through it to its target.
            if (isFolder) {
                os.RemoveEmptyDirectory(full);
            } else {
                os.RemoveFile(full);
            }
        } else if (isFolder) {
            // Listed as a plain folder, but another process may have put a link
            // in its place since: only a folder that holds as plain is entered.
            unique_hfile held = HoldPlainFolder(os, full);
            if (held) RemoveHeldFolder(os, std::move(held), full, WithTrailingBackslash(os, full));
        } else {
            os.ChangeFileAttributes(full, FILE_ATTRIBUTE_NORMAL_VALUE);
            os.RemoveFile(full);
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
    if (!held || CheckRemovableFolder(os, path, folder) != FolderRefusal::kAllowed ||
        *folder != expected) {
        return unique_hfile();
    }
    return held;
}

}  // namespace

std::vector<std::string> ProtectedFolders(Platform& os) {
    std::vector<std::string> folders;
    for (const ProtectedCsidl& known : kProtectedCsidls) {
        const std::string path = os.SpecialFolderPath(known.csidl);
        if (path.empty() && known.core) return {};
        if (path.empty()) continue;
        const std::string full = os.FullPathOf(path);
        const std::string folder = WithTrailingBackslash(os, full.empty() ? path : full);
        folders.push_back(folder);
        // A 32-bit program on 64-bit Windows is told "Program Files (x86)" for
        // both Program Files folders; the native one needs the same protection.
        const std::string x86 = " (x86)";
        const std::size_t at = folder.find(x86 + "\\");
        if (at != std::string::npos) {
            folders.push_back(folder.substr(0, at) + folder.substr(at + x86.size()));
        }
    }
    return folders;
}

FolderRefusal CheckRemovableFolder(Platform& os, const std::string& path,
                                   std::string* normalised) {
    if (path.find(':') == std::string::npos) return FolderRefusal::kNoColon;
    // "C:foo" and "C:" name a place relative to the drive's current folder,
    // and "\\?\" or "\\.\" paths bypass normalisation: never guess.
    if (!IsDriveAbsolute(path)) return FolderRefusal::kNotDriveAbsolute;
    const std::string full = os.FullPathOf(path);
    if (full.empty()) return FolderRefusal::kUnresolvable;
    if (!IsDriveAbsolute(full)) return FolderRefusal::kNotDriveAbsolute;
    const std::string folder = WithTrailingBackslash(os, full);
    // Decided on the normalised form, so "C:\.", "C:\..\", "C:\foo\.." and
    // trailing dots or blanks are the root they resolve to.
    if (folder.size() <= 3) return FolderRefusal::kDriveRoot;
    if (HasShortNameAlias(folder)) return FolderRefusal::kShortNameAlias;
    if (ReachedThroughLink(os, folder)) return FolderRefusal::kReachedThroughLink;
    const std::vector<std::string> protectedFolders = ProtectedFolders(os);
    if (protectedFolders.empty()) return FolderRefusal::kCoreFolderUnknown;
    for (const std::string& keep : protectedFolders) {
        if (ContainsOrEquals(os, folder, keep)) return FolderRefusal::kProtectedFolder;
    }
    *normalised = folder;
    return FolderRefusal::kAllowed;
}

void DeleteFolderContents(Platform& os, const std::string& path) {
    std::string folder;
    const unique_hfile held = HoldRemovableFolder(os, path, &folder);
    if (held) EmptyTree(os, folder);
}

void RemoveFolder(Platform& os, const std::string& path) {
    if (!FolderExists(os, path)) return;
    std::string folder;
    // The same refusals hold for the folder itself: an empty protected
    // folder must not go either.
    unique_hfile held = HoldRemovableFolder(os, path, &folder);
    if (held) RemoveHeldFolder(os, std::move(held), path, folder);
}

}  // namespace nuben
